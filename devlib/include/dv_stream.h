/*
 * dv_stream.h — streams and buffers: the AbsFile stream interface over memory, files and transports,
 * the growable byte buffer MemBuf, the growable text buffer StrBuf, the fixed string table StrMap,
 * and the packet buffers (skb) with their queues.
 *
 * Every stream, buffer and table is created by its _new function and freed by its _delete function
 * (NULL is a no-op); a buffer handed in by the caller stays the caller's. A failed _new answers NULL
 * and leaves nothing to free.
 *
 * Nothing here ever ends the process: a print that does not fit grows an expandable buffer, and
 * answers -201 otherwise.
 *
 * Result codes: -2 print buffer missing (out of memory), -9 I/O failure, or a seek outside an
 * AbsFileMem, -23 nothing to step back, -25 not found, -36 index outside a StrMap, -51 no free slot
 * found, -81 bad seek target or whence, bad argument, -94 operation not offered, -201 buffer or table
 * full, -202 end of data; a socket stream also passes its transport's errors through.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_STREAM_H
#define DV_STREAM_H

#include "dv_export.h"
#include "dv_transport.h"

DV_BEGIN_DECLS

/* ---- AbsFile: the stream interface ----
 *
 * A stream is a pointer to a record that begins with a self word (the object behind it) followed by
 * 11 operation slots. Every operation takes the stream first. Memory streams (AbsFileMem, MemBuf)
 * share one position between reading and writing. */
typedef struct AbsFile AbsFile;

struct AbsFile {
    void *self;
    /* 1: frees the stream (the same as its module's _delete). */
    void (*del)(AbsFile *f);
    /* 2: writes one byte; the byte (0-255) or an error. */
    int32_t (*putChar)(AbsFile *f, int32_t ch);
    /* 3: reads one byte: 0-255, -202 at the end of data, or an error. */
    int32_t (*getChar)(AbsFile *f);
    /* 4: steps the read position back one byte: 0, or -23 when nothing can be stepped back. */
    int32_t (*ungetChar)(AbsFile *f);
    /* 5: reads up to n bytes: the count, 0 at the end of data, or an error. */
    int32_t (*read)(AbsFile *f, void *dst, int32_t n);
    /* 6: writes up to n bytes: the count written, or an error. */
    int32_t (*write)(AbsFile *f, const void *src, int32_t n);
    /* 7: formats and writes: the count written; -94 without a print buffer, -2 when it is missing,
     * -201 when the text does not fit (nothing is written). */
    int32_t (*print)(AbsFile *f, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
    /* 8: whence 0 start, 1 current, 2 end: 0 or an error. */
    int32_t (*seek)(AbsFile *f, int32_t offset, int32_t whence);
    /* 9: the position. 10: flushes; 0. 11: the length of the data. */
    int32_t (*tell)(AbsFile *f);
    int32_t (*flush)(AbsFile *f);
    int32_t (*size)(AbsFile *f);
};

#define ABSFILE_EOF (-202)

static inline void AbsFile_delete(AbsFile *f) { if (f) f->del(f); }
static inline int32_t AbsFile_putc(AbsFile *f, int32_t ch) { return f->putChar(f, ch); }
static inline int32_t AbsFile_getc(AbsFile *f) { return f->getChar(f); }
static inline int32_t AbsFile_ungetc(AbsFile *f) { return f->ungetChar(f); }
static inline int32_t AbsFile_read(AbsFile *f, void *dst, int32_t n) { return f->read(f, dst, n); }
static inline int32_t AbsFile_write(AbsFile *f, const void *src, int32_t n) { return f->write(f, src, n); }
static inline int32_t AbsFile_seek(AbsFile *f, int32_t offset, int32_t whence) { return f->seek(f, offset, whence); }
static inline int32_t AbsFile_tell(AbsFile *f) { return f->tell(f); }
static inline int32_t AbsFile_flush(AbsFile *f) { return f->flush(f); }
static inline int32_t AbsFile_size(AbsFile *f) { return f->size(f); }
/* Printing goes through the slot: f->print(f, "%d", n). */

/* ---- AbsFileMem: a stream over the caller's buffer ----
 * getc stops at the length (-202), putc and write at the capacity (-201); seek targets 0..length
 * (-9 outside, -81 for another whence). */

/* A stream over buffer (not owned; capacity bytes, of which the first length hold data; length is
 * clamped to 0..capacity). printSize < 0 gives a 256-byte print buffer, 0 none. NULL when out of
 * memory. Free with AbsFileMem_delete. */
DV_API AbsFile *AbsFileMem_new(void *buffer, int32_t capacity, int32_t length, int32_t printSize);
/* Length := length (clamped), position := 0; a non-NULL buffer replaces buffer and capacity; a
 * positive printSize that differs replaces the print buffer. 0, or -81 when stream is not an
 * AbsFileMem, -2 when the new print buffer cannot be had (the old one is kept). */
DV_API int32_t AbsFileMem_reset(AbsFile *stream, void *buffer, int32_t capacity, int32_t length, int32_t printSize);
/* The capacity; -81 when stream is not an AbsFileMem. */
DV_API int32_t AbsFileMem_capacity(AbsFile *stream);
/* Frees the print buffer and the stream, never the caller's buffer. NULL is a no-op. */
DV_API void AbsFileMem_delete(AbsFile *stream);

/* ---- AbsFileFile: a buffered file ----
 * getc at the end -202; ungetc steps the file position back one byte (-23 when it cannot); read 0
 * at the end and -9 on an error; other failures -9; a bad seek target or whence -81. */

/* Opens path with fopen(path, mode); NULL when that fails or out of memory. The stream owns the
 * file: AbsFileFile_delete closes it. */
DV_API AbsFile *AbsFileFile_new(const char *path, const char *mode);
DV_API void AbsFileFile_delete(AbsFile *stream);

/* ---- AbsFileSock: a transport read through a buffer ----
 * getc and read take bytes from the receive buffer and refill it with one transport receive of up
 * to its size when it is used up (a receive answering 0 is the end of data: -202, read 0; errors
 * such as -12, -5 and -71 pass through). putc and write send straight through the transport; ungetc
 * steps back within the buffered bytes; seek, tell, flush and size answer -94. */

/* A stream over sock (not owned). rxSize <= 0 means 256; printSize < 0 gives a 256-byte print
 * buffer, 0 none. NULL when out of memory. Free with AbsFileSock_delete (not the transport). */
DV_API AbsFile *AbsFileSock_new(CnsSock *sock, int32_t rxSize, int32_t printSize);
DV_API void AbsFileSock_delete(AbsFile *stream);

/* ---- MemBuf: an owned, growable byte buffer behind the AbsFile interface ----
 * The data is always followed by a zero byte. Writes at the position first make room for the data
 * and that zero byte: an expandable buffer grows to the needed size raised to the next multiple of
 * 16 (a need that already is one gets 16 more), otherwise the write answers -201 and writes
 * nothing. Seek targets 0..length (-81 outside or for another whence). */

/* capacity <= 0: no buffer, not owned, not expandable; otherwise an owned, expandable, empty buffer
 * of capacity bytes (the zero byte included). printSize < 0 gives a 256-byte print buffer, 0 none.
 * NULL when out of memory. Free with MemBuf_delete. */
DV_API AbsFile *MemBuf_new(int32_t capacity, int32_t printSize);
/* The data (zero-terminated; valid until the next write or delete; NULL without a buffer). NULL when
 * mb is not a live MemBuf. */
DV_API char *MemBuf_buf(AbsFile *mb);
/* Length and capacity; -81 when mb is not a live MemBuf. */
DV_API int32_t MemBuf_len(AbsFile *mb);
DV_API int32_t MemBuf_capacity(AbsFile *mb);
/* Length and position := 0 when there is a buffer. 0, or -81. */
DV_API int32_t MemBuf_clear(AbsFile *mb);
/* 0; -9 when the buffer is not owned (enable only), -81 when mb is not a live MemBuf. */
DV_API int32_t MemBuf_enableExpand(AbsFile *mb);
DV_API int32_t MemBuf_disableExpand(AbsFile *mb);
/* Frees the buffer and the record and clears its magic word. NULL is a no-op. */
DV_API void MemBuf_delete(AbsFile *mb);

/* ---- StrBuf: a zero-terminated, growable text ----
 * Growth follows MemBuf's rule; an append that does not fit a buffer that may not grow is skipped
 * without an error. The append functions answer sb. */
typedef struct StrBuf StrBuf;

/* capacity <= 0: no buffer, not expandable; otherwise an owned, expandable, empty buffer of capacity
 * bytes (the terminator included). NULL when out of memory. Free with StrBuf_delete. */
DV_API StrBuf *StrBuf_new(int32_t capacity);
/* Frees an owned buffer and the record. NULL is a no-op. */
DV_API void StrBuf_delete(StrBuf *sb);
DV_API StrBuf *StrBuf_appendChar(StrBuf *sb, char c);
DV_API StrBuf *StrBuf_appendChars(StrBuf *sb, const char *s);          /* NULL s appends nothing */
DV_API StrBuf *StrBuf_appendBuf(StrBuf *sb, const void *bytes, int32_t n); /* n <= 0 appends nothing */
DV_API StrBuf *StrBuf_appendStrBuf(StrBuf *sb, const StrBuf *other);
/* Frees an owned buffer and adopts the caller's (not owned, not expandable) of capacity bytes whose
 * first length bytes are text (length is clamped to 0..capacity - 1 and the text is terminated
 * there). 0, or -81 for a NULL sb. */
DV_API int32_t StrBuf_setBuf(StrBuf *sb, char *buffer, int32_t capacity, int32_t length);
/* 0; -9 unless the buffer is owned (enable only); -81 for a NULL sb. */
DV_API int32_t StrBuf_enableExpand(StrBuf *sb);
DV_API int32_t StrBuf_disableExpand(StrBuf *sb);
DV_API int32_t StrBuf_len(const StrBuf *sb);      /* 0 for NULL */
DV_API int32_t StrBuf_capacity(const StrBuf *sb); /* 0 for NULL */
/* The text, owned by sb and valid until the next append, setBuf or delete; "" without a buffer. */
DV_API char *StrBuf_buf(StrBuf *sb);
DV_API void StrBuf_clear(StrBuf *sb);

/* ---- StrMap: a fixed table of texts whose keys are slot indices ----
 * count slots of width bytes (at most width - 1 characters each); a slot whose text is empty is free.
 * The used count always equals the number of used slots. */
typedef struct StrMap StrMap;

/* NULL for width < 1, count < 0, a table too large, or out of memory. Free with StrMap_delete. */
DV_API StrMap *StrMap_new(int32_t width, int32_t count);
DV_API void StrMap_delete(StrMap *map); /* NULL is a no-op */
/* Copies s (cut to width - 1 characters) into the first free slot: 0 and *index (index may be NULL);
 * -201 when every slot is used; -81 for a NULL map or s. An empty s changes nothing and answers 0
 * with the first free slot's index. */
DV_API int32_t StrMap_add(StrMap *map, const char *s, int32_t *index);
/* 0 and the index of s, adding it only when StrMap_find does not find it; else StrMap_add's error. */
DV_API int32_t StrMap_uadd(StrMap *map, const char *s, int32_t *index);
/* Frees slot index: 0 (also when it was free), -36 outside the table. */
DV_API int32_t StrMap_del(StrMap *map, int32_t index);
/* Sets slot index to s directly (an empty or NULL s frees it): 0, -36 outside the table. */
DV_API int32_t StrMap_set(StrMap *map, int32_t index, const char *s);
/* The slot's text (owned by the map, valid until the slot changes), or NULL when free or outside. */
DV_API const char *StrMap_get(const StrMap *map, int32_t index);
/* 1 and the index (may be NULL) of the first used slot equal to s (case-sensitive), else -25. */
DV_API int32_t StrMap_find(const StrMap *map, const char *s, int32_t *index);
/* Frees every slot. */
DV_API void StrMap_clear(StrMap *map);
/* Used slots and slot count (0 for NULL). */
DV_API int32_t StrMap_used(const StrMap *map);
DV_API int32_t StrMap_count(const StrMap *map);

/* ---- skb: packet buffers and queues ----
 * A packet's data lies between data and tail inside the area head..end; an allocation of n bytes
 * leaves 16 bytes of headroom in front of the data and at least n bytes of tailroom. A clone shares
 * its original's data area; the area is freed with the last header that uses it. */
typedef struct SkBuffHead SkBuffHead;
typedef struct SkBuff {
    struct SkBuff *next;
    struct SkBuff *prev;
    SkBuffHead *list;  /* the queue holding the packet, or NULL */
    uint8_t *data;
    uint32_t len;
    uint32_t truesize;
    uint8_t *head;
    uint8_t *tail;
    uint8_t *end;
    uint16_t users;
    uint16_t cloned;
} SkBuff;

/* A queue: first, last, count. Initialise with skb_queue_head_init (or zero-fill). */
struct SkBuffHead {
    SkBuff *next;
    SkBuff *prev;
    uint32_t qlen;
};

/* A packet for n bytes (n + 16 rounded up to a multiple of 16); NULL for n < 0 or out of memory.
 * Free with CFI_dev_kfree_skb. */
DV_API SkBuff *CFI_dev_alloc_skb(int32_t n);
/* Drops one user of the packet; the header goes with its last user, the data area with the last
 * header sharing it. NULL is a no-op. A packet must be off its queue before it is freed. */
DV_API void CFI_dev_kfree_skb(SkBuff *skb);
/* A second header over the same data (both marked cloned); NULL when out of memory. */
DV_API SkBuff *CFI_skb_clone(SkBuff *skb);
/* Appends n bytes at the tail: the old tail, or NULL (nothing changed) when n < 0 or they do not fit
 * before end. */
DV_API uint8_t *skb_put(SkBuff *skb, int32_t n);
/* Prepends n bytes: the new data pointer, or NULL (nothing changed) when n < 0 or the headroom is
 * too small. */
DV_API uint8_t *skb_push(SkBuff *skb, int32_t n);
/* Removes n bytes from the front: the new data pointer, or NULL (nothing changed) when n < 0 or the
 * packet holds fewer than n bytes. */
DV_API uint8_t *skb_pull(SkBuff *skb, int32_t n);
DV_API int32_t skb_headroom(const SkBuff *skb);
DV_API int32_t skb_tailroom(const SkBuff *skb);

DV_API void skb_queue_head_init(SkBuffHead *list);
/* Queue at the end or the front; a packet already on a queue is left where it is. */
DV_API void skb_queue_tail(SkBuffHead *list, SkBuff *skb);
DV_API void skb_queue_head(SkBuffHead *list, SkBuff *skb);
/* Removes and answers the first (last) packet, or NULL when the queue is empty. */
DV_API SkBuff *skb_dequeue(SkBuffHead *list);
DV_API SkBuff *skb_dequeue_tail(SkBuffHead *list);
/* The first (last) packet without removing it, or NULL. */
DV_API SkBuff *skb_peek(const SkBuffHead *list);
DV_API SkBuff *skb_peek_tail(const SkBuffHead *list);

DV_END_DECLS

#endif
