/*
 * ringbuf.h — the byte ring: the transports' receive queue and the AT terminal's push-back.
 *
 * A ring of `capacity` bytes kept in capacity + 1 slots (one slot stays empty so that a full ring
 * and an empty ring differ). Bytes come out in the order they went in. The ring never overwrites:
 * a write stores only what fits and says how much.
 *
 * Indices outside the slots can only come from memory corruption; every operation checks them and
 * stops the process (non-zero exit code) after logging
 * "fault err(<difference>,t=<write>,h=<read>,bs=<slots>,p=<ring>)".
 *
 * Runs on the caller's thread and takes no lock. Internal to the library.
 */
#ifndef DV_RINGBUF_H
#define DV_RINGBUF_H

#include "dv_export.h"

DV_BEGIN_DECLS

typedef struct RingBuf {
    uint8_t *buf;
    int32_t owned;    /* 1 when RingBuf_new allocated buf */
    int32_t slots;    /* capacity + 1 */
    int32_t capacity;
    int32_t read;     /* next slot to read */
    int32_t write;    /* next slot to write */
} RingBuf;

/* The process exit code of the fatal index fault. */
#define RINGBUF_FAULT_EXIT 1

/* An empty ring of capacity bytes (capacity >= 1); NULL otherwise or out of memory. Free with
 * RingBuf_delete (NULL is a no-op). */
RingBuf *RingBuf_new(int32_t capacity);
void RingBuf_delete(RingBuf *rb);
/* Sets up rb over the caller's storage of `slots` bytes (slots >= 2; capacity slots - 1), not owned.
 * 0, or -81. RingBuf_delete must not be called on such a ring. */
int32_t RingBuf_init(RingBuf *rb, uint8_t *storage, int32_t slots);

/* Stores min(n, free) bytes of src: the count stored (0 when full or n <= 0). */
int32_t RingBuf_write(RingBuf *rb, const void *src, int32_t n);
/* Takes min(n, used) bytes into dst: the count taken (0 when empty or n <= 0). */
int32_t RingBuf_read(RingBuf *rb, void *dst, int32_t n);
/* One byte: 0 stored / the byte (0-255) taken, or -1 when full / empty. */
int32_t RingBuf_push(RingBuf *rb, uint8_t byte);
int32_t RingBuf_pop(RingBuf *rb);
int32_t RingBuf_used(const RingBuf *rb);
int32_t RingBuf_free(const RingBuf *rb);
void RingBuf_clear(RingBuf *rb);

DV_END_DECLS

#endif
