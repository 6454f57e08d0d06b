/*
 * oth_pb.h — the generic phone-book object: PbItf (ids 12, 13, 14) over an AT terminal.
 *
 * OthPb answers the interface's seventeen operations with the phone-book commands of 3GPP 27.007
 * (+CPBS, +CPBR, +CPBW): it selects a storage ("SM", "ME"), reports its counts and index range,
 * lists its entries in batches of ten locations and hands each out as a vCard 2.1 text (N and TEL),
 * reads single positions, writes an entry from a vCard (its first N and first TEL), empties one
 * position or the whole storage, and reports the longest name and number the storage takes.
 *
 * When the object becomes current in its interface registry (the first operation after another
 * object was used) it chooses the handset's character set: "UCS2" when the handset offers it, else
 * "UTF-8", else "GSM". Names travel in that set (GSM 03.38 codes for "GSM"); UTF-8 on our side,
 * and only valid UTF-8 is handed out. The index range ("+CPBR=?") is asked once per storage
 * selection; the counts of a status query serve the listing or delete-all that follows it.
 *
 * A plug-in makes one per connection over the ConnHandle's terminal and hands out &obj->itf (the
 * address of the self word) as a PbItf.
 *
 * Ownership: OthPb_new allocates the record unless it is given a buffer; the record owns its AT
 * context and its read and write buffers; it keeps the registry and the terminal without owning
 * them (both must outlive it). OthPb_delete frees only what OthPb_new allocated. Buffers passed to
 * the operations stay the caller's; the field table handed out by getFieldInfo belongs to the
 * object and lives until its next getFieldInfo or its deletion.
 *
 * Result codes of the operations: 1 / 0 for readNext and readAt (entry / none); a count for
 * readData and writeData; otherwise 0. -9 the handset refused a command; -12, -71, -92 (also an
 * unparsable reply), -5, -7 link faults; -23 readData without a current entry, writeData or
 * commitWrite without beginWrite; -81 a bad argument, a deleted object, a write not taken whole,
 * or an entry whose name or number cannot be sent (a '"' or a control byte in it, or under "GSM" a
 * character the alphabet lacks); -94 beginWrite
 * in the message mode, and reserved slot 17; -251 commitWrite of data that holds no vCard; a
 * registry error from the character-set switch.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_OTH_PB_H
#define PL_OTH_PB_H

#include "dv_at.h"
#include "dv_stream.h"
#include "dv_util.h"
#include "itf.h"
#include "ms_itf.h"
#include "pl_export.h"

PL_BEGIN_DECLS

#define OTH_PB_MAGIC 0xF9E07BA1u

struct PbAtCtx;

typedef struct OthPb {
    PlItfHead head;          /* magic OTH_PB_MAGIC (0 once deleted), owned flag, registry, entry index */
    PbItf itf;               /* self word (this object) and the 17 slots: the interface pointer is &itf */
    AtTe *te;                /* not owned */
    struct PbAtCtx *ctx;     /* AT context: character set, listing state, line buffer; owned */
    AbsFile *readBuf;        /* MemBuf holding the current entry's vCard, or NULL; owned */
    AbsFile *writeBuf;       /* MemBuf collecting the vCard to write, or NULL; owned */
    int32_t writeIndex;      /* position of the write (negative: the first free one) */
    TFieldParam fields[2];   /* name and number limits, as getFieldInfo hands them out */
    int32_t textLen;         /* longest text and number from "+CPBR=?" (0 unknown) */
    int32_t numLen;
} OthPb;

/* A new phone-book object over te. buf, when given, holds at least sizeof(OthPb) bytes suitably
 * aligned for a pointer and is used in place of an allocation (it stays the caller's). mng may be
 * NULL: the operations then run without any character-set switch. NULL for a NULL te, out of
 * memory, or a registry with no free slot (nothing stays allocated or registered then). */
PL_API OthPb *OthPb_new(void *buf, ItfMng *mng, AtTe *te);

/* Leaves the registry, frees the AT context and both buffers, clears the magic word and frees the
 * record when OthPb_new allocated it. 0; -81 for NULL or an object that is not alive (already
 * deleted), which is left untouched. */
PL_API int32_t OthPb_delete(OthPb *pb);

PL_END_DECLS

#endif
