/*
 * dv_irmc.h — the IrMC client (IrMC 1.1) and the phone-book store built on it.
 *
 * What it does: McClt reaches a handset's IrMC object store over the OBEX client (dv_obex.h), with
 * the Target "IRMC-SYNC": the store information ("telecom/<kind>/info.log": record counts, the
 * access levels offered, the field limits), whole-store reads (level 2, "telecom/<kind>.<ext>",
 * cut into single cards), reads, writes and deletes by static index (level 3,
 * "telecom/<kind>/<n>.<ext>") and by record id (level 4, "telecom/<kind>/luid/<id>.<ext>", with the
 * change counter in Application-Parameters). Object kinds: 1 phone book ("pb", "vcf"), 2 calendar
 * ("cal", "vcs"), 3 messages ("msg", "vmg"), 4 notes ("nt", "vnt").
 *
 * McVcf wraps the phone book as a store with the seventeen operation slots of the phone-book
 * interface (the shape of the drivers' PbItf): entries go in and out as vCard 2.1 texts. Registered
 * in an interface registry (dv_util.h), it connects (opens the transport, OBEX connect, reads the
 * store information) when it becomes current and disconnects when another entry takes over; every
 * slot that talks to the handset first makes it current. Under record-id access it keeps a map of
 * record ids (at most MC_LUID_MAX characters each), one slot per store position, so a position
 * stays tied to its record for the life of the connection.
 *
 * What it owns: McClt owns its OBEX client, card splitter and cached store information, never the
 * transport. McVcf owns its McClt, store information, record-id map and read and write buffers,
 * never the transport or the registry (both must outlive it). Streams, buffers and records passed
 * in stay the caller's.
 *
 * Result codes: -81 bad kind or argument, -94 an access level the handset does not offer, -95 not
 * implemented (level-2 writes), -112 no record id for the position, -201 the record-id map is full
 * (or a card or an info.log over 1 MiB), -92 malformed reply (a card without X-IRMC-LUID under
 * record-id access, a record id longer than MC_LUID_MAX or holding a zero byte, a PUT by record id
 * answered without one), -51 map failure,
 * -23 no read or write buffer, -2 out of memory; the OBEX client's and the transport's errors pass
 * through (-9 the handset refused, -7, -12, -71, -5). A McClt request that fails part-way is
 * dropped without a word to the handset: the OBEX client is then idle and must connect again.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef DV_IRMC_H
#define DV_IRMC_H

#include "dv_export.h"
#include "dv_stream.h"
#include "dv_transport.h"
#include "dv_util.h"

DV_BEGIN_DECLS

/* Object kinds. */
enum { MC_KIND_PB = 1, MC_KIND_CAL = 2, MC_KIND_MSG = 3, MC_KIND_NT = 4 };

/* Access flags from the info.log's IEL: bit 1 always, then whole-store (level 2), static index
 * (level 3) and record id (level 4). IEL 0x1 gives 1, 0x2 3, 0x4 7, 0x8 11, 0x10 15. */
enum { MC_ACCESS_BASIC = 1, MC_ACCESS_WHOLE = 2, MC_ACCESS_INDEX = 4, MC_ACCESS_LUID = 8 };

/* The longest record id kept. */
#define MC_LUID_MAX 40

/* One field description of X-IRMC-FIELDS: 44 bytes, laid out as the phone-book interface's
 * TFieldParam (type, flags, maximum length, then 32 bytes), so a table of them is handed out as
 * the interface's field limits. */
typedef struct McFieldDesc {
    int32_t type;      /* vCard property code: 3 N, 4 BDAY, 5 TEL, 6 EMAIL, 7 URL, 8 ADR, 10 ORG, 11 TITLE, 12 NOTE */
    int32_t flags;     /* vCard parameter flags (dv_vcard.h VCARD_FLAG_*) */
    int32_t maxLen;    /* -1 when not given */
    int32_t sub[7];    /* limits of sub-fields 1-7 (0 when not given) */
    int32_t reserved;  /* 0 */
} McFieldDesc;

#ifdef __cplusplus
static_assert(sizeof(McFieldDesc) == 44, "McFieldDesc is the 44-byte field limit record");
#else
_Static_assert(sizeof(McFieldDesc) == 44, "McFieldDesc is the 44-byte field limit record");
#endif

/* The store information. The caller provides the field table (fields, fieldCapacity); descriptions
 * beyond its capacity are dropped. */
typedef struct McStoreInfo {
    int32_t maxRecords;    /* Maximum-Records; -1 when not given or "*" */
    int32_t totalRecords;  /* Total-Records; -1 when not given or "*" */
    int32_t freeRecords;   /* Free-Records; -1 when not given or "*" */
    int32_t access;        /* MC_ACCESS_* */
    McFieldDesc *fields;   /* the caller's table, or NULL */
    int32_t fieldCapacity;
    int32_t fieldCount;
} McStoreInfo;

typedef struct McClt McClt;

/* ---- McClt ---- */

/* A client over sock (not owned); rxSize and txLimit go to the OBEX client (dv_obex.h: 0 gives 255
 * and 240; a receive size under 255 is raised to 255). NULL for a NULL sock or out of memory.
 * Free it with McClt_delete. */
DV_API McClt *McClt_new(CnsSock *sock, int32_t rxSize, int32_t txLimit);
/* Disconnects when connected and frees the client, never the transport. NULL is a no-op. */
DV_API void McClt_delete(McClt *m);
/* OBEX connect with the Target "IRMC-SYNC" (the transport must be open). 0 or an error. */
DV_API int32_t McClt_conn(McClt *m);
/* OBEX disconnect: 0 or an error (-7 when not connected). */
DV_API int32_t McClt_disc(McClt *m);

/* GETs the kind's info.log and parses it into info (counts -1 and access 1 until given; the
 * caller's field table filled up to its capacity). 0 or an error. */
DV_API int32_t McClt_getInfo(McClt *m, int32_t kind, McStoreInfo *info);
/* The kind's access flags into *flags, from its information (read once per client and kept).
 * 0 or an error. */
DV_API int32_t McClt_getSupp(McClt *m, int32_t kind, int32_t *flags);

/* Whole-store read, one card a call: first != 0 starts the GET of "telecom/<kind>.<ext>" (ending a
 * read still in progress). 1 with the next card written to stream (its lines with CR LF) and its
 * number (0, 1, 2 ...) in *index; 0 at the end of the store; or an error. A card over 1 MiB is
 * -201. Any other request first reads an unfinished whole-store read to its end. */
DV_API int32_t McClt_read2(McClt *m, int32_t kind, int32_t *index, AbsFile *stream, int32_t first);
/* GET of one record by static index n, or by record id, into stream: 1, or an error (-9 when the
 * handset has no such record). */
DV_API int32_t McClt_read3(McClt *m, int32_t kind, int32_t n, AbsFile *stream);
DV_API int32_t McClt_read4(McClt *m, int32_t kind, const char *id, AbsFile *stream);
/* PUT of the record at static index n: a Length header (the stream's size) and the stream's bytes
 * from its start as Body. 0 or an error. */
DV_API int32_t McClt_write3(McClt *m, int32_t kind, int32_t n, AbsFile *stream);
/* PUT without a body: deletes the record at static index n, or (clear2) the whole store. */
DV_API int32_t McClt_clear3(McClt *m, int32_t kind, int32_t n);
DV_API int32_t McClt_clear2(McClt *m, int32_t kind);

/* PUT by record id (an empty id for insert). maxChangeCounter != 0 sends it in decimal under
 * Application-Parameters tag 0x11; hardDelete sends tag 0x12. A stream (NULL for none) is sent
 * from its start as Body, with a Length header when its size is not 0. The response's
 * Application-Parameters fill the caller's outputs, each optional: tag 1 replaces the text of id,
 * tag 2 sets *changeCounter, tag 3 replaces the text of extra. 0 or an error. */
DV_API int32_t McClt_insert4(McClt *m, int32_t kind, AbsFile *stream, StrBuf *id, int32_t *changeCounter,
                             StrBuf *extra);
DV_API int32_t McClt_write4(McClt *m, int32_t kind, const char *id, int32_t maxChangeCounter, AbsFile *stream,
                            int32_t *changeCounter, StrBuf *extra);
DV_API int32_t McClt_clear4(McClt *m, int32_t kind, const char *id, int32_t maxChangeCounter, int32_t hardDelete,
                            int32_t *changeCounter, StrBuf *extra);

/* Level-2 writes: -95. */
DV_API int32_t McClt_write2Beg(McClt *m, int32_t kind);
DV_API int32_t McClt_write2Data(McClt *m, const void *data, int32_t length);

/* Self-test over sock (opened when closed, left open): connects, writes the phone book's
 * information to "info-dec.log" ("Capacity: %d\r\n", "Used: %d\r\n", "Freed: %d\r\n",
 * "IEL: %02x\r\n", "VcfFieldInfo:\r\n" and one line per field description) and each card to
 * "mc3rx-%d.vcf" in the working directory (by static index 0 .. Total-Records - 1 where level 3 is
 * offered, else from the whole-store read), then disconnects. 0 or the first error. */
DV_API int32_t McClt_test(CnsSock *sock);

/* ---- McVcf: the phone-book store ---- */

typedef struct McPbItf McPbItf;

/* The seventeen slots, in the order and with the arguments of the phone-book interface. Slots 1,
 * 2, 6, 8 and 10 only touch the store's own state; every other slot first makes the store current
 * in its registry and connects when it is not connected (a link that dropped is reopened), and
 * answers the failure of that when there is one. Results: 4 total (the store size), used
 * (Total-Records), first 0 and last; 5 1 and the position (the record id's map slot under record-id
 * access, else the card's number), 0 at the end; 7 1, or 0 for a position without a record id;
 * 9 a negative index or isNew asks for a new record (record-id access only); 11 the position
 * written (also in *index); 6 and 8 the bytes copied (6 goes on, 8 starts over). */
struct McPbItf {
    void *self;                                                                    /* the McVcf */
    int32_t (*getStor)(McPbItf *itf, int32_t *stor);                               /* 1: 2 into *stor */
    int32_t (*setStor)(McPbItf *itf, int32_t stor);                                /* 2: 0 or 2, else -94 */
    int32_t (*getCaps)(McPbItf *itf, int32_t *caps);                               /* 3 */
    int32_t (*getStat)(McPbItf *itf, int32_t reserved, int32_t *total, int32_t *used, int32_t *first,
                       int32_t *last);                                             /* 4 */
    int32_t (*readNext)(McPbItf *itf, int32_t reserved, int32_t *index, int32_t first); /* 5 */
    int32_t (*readData)(McPbItf *itf, void *buf, int32_t size);                    /* 6 */
    int32_t (*readAt)(McPbItf *itf, int32_t reserved, int32_t index);              /* 7 */
    int32_t (*readDataAgain)(McPbItf *itf, void *buf, int32_t size);               /* 8 */
    int32_t (*beginWrite)(McPbItf *itf, int32_t reserved, int32_t index, int32_t isNew); /* 9 */
    int32_t (*writeData)(McPbItf *itf, const void *buf, int32_t len);              /* 10 */
    int32_t (*commitWrite)(McPbItf *itf, int32_t *index);                          /* 11 */
    int32_t (*del)(McPbItf *itf, int32_t reserved, int32_t index);                 /* 12 */
    int32_t (*delAll)(McPbItf *itf);                                               /* 13 */
    int32_t (*getFieldInfo)(McPbItf *itf, const McFieldDesc **table, int32_t *count); /* 14 */
    int32_t (*reserved15)(McPbItf *itf);                                           /* 15: 0 */
    int32_t (*reserved16)(McPbItf *itf);                                           /* 16: 0 */
    int32_t (*reserved17)(McPbItf *itf);                                           /* 17: -94 */
};

#define MC_VCF_MAGIC 0x1E927D15u

/* The store's record; its fields are the store's own (read them, never write them). */
typedef struct McVcf {
    uint32_t magic;        /* MC_VCF_MAGIC; 0 once deleted */
    uint16_t owned;        /* 1 when McVcf_new allocated the record */
    McPbItf itf;           /* the interface pointer handed out is &itf */
    ItfMng *mng;           /* not owned; NULL for none */
    int32_t entry;         /* registry index, -1 when not registered */
    CnsSock *sock;         /* not owned */
    McClt *clt;            /* receive size 192 (raised to 255), transmit limit 208 */
    McStoreInfo info;      /* its field table has fieldCapacity entries */
    int32_t defaultSize;   /* store size when the information gives none */
    int32_t storeSize;     /* positions 0 .. storeSize - 1 */
    StrMap *map;           /* record ids by position (record-id access), or NULL */
    AbsFile *readBuf;      /* MemBuf: the current entry's vCard, or NULL */
    AbsFile *writeBuf;     /* MemBuf: the vCard being written, or NULL */
    int32_t writePos;
    int32_t writeNew;
    int32_t connected;
    int32_t infoRead;
} McVcf;

/* A store over sock. record, when given, holds at least sizeof(McVcf) bytes suitably aligned and
 * is used in place of an allocation (it stays the caller's). mng may be NULL: the store then
 * connects on its first operation and stays connected until deleted. defaultSize is the store
 * size when the information gives none; fieldCapacity the room for field descriptions. NULL for a
 * NULL sock, out of memory, or a registry with no free slot (nothing stays allocated then). */
DV_API McVcf *McVcf_new(void *record, ItfMng *mng, CnsSock *sock, int32_t defaultSize, int32_t fieldCapacity);
/* Disconnects when connected (closing the transport it opened), leaves the registry, frees the
 * client, field table, map and buffers, clears the magic and frees the record when McVcf_new
 * allocated it. NULL or a deleted store is a no-op. */
DV_API void McVcf_delete(McVcf *s);

DV_END_DECLS

#endif
