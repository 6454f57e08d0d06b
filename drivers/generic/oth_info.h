/*
 * oth_info.h — the generic phone-information object: InfoItf (id 15) over an AT terminal.
 *
 * OthInfo answers the interface's thirteen operations with the identity and status commands of
 * 3GPP 27.007: manufacturer, model pair, revision, IMEI, IMSI, own number ("+CNUM"), network code
 * (the first five digits of the IMSI), network name, battery ("+CBC"), signal ("+CSQ") and the
 * clock ("+CCLK"). The connection manager reads the IMEI through it after every connect and on
 * every idle step, the worker battery and signal every 120 s.
 *
 * A plug-in makes one per connection over the ConnHandle's terminal and hands out &obj->itf (the
 * address of the self word) as interface 15. Registered in an interface registry, the object has
 * no enter or leave routine: becoming current sends nothing, so the next use of a phone-book or
 * message object switches the handset back into its own mode.
 *
 * Ownership: OthInfo_new allocates the record unless it is given a buffer; it keeps the registry and
 * the terminal without owning them (both must outlive it). OthInfo_delete frees only what
 * OthInfo_new allocated. Buffers and records passed to the operations stay the caller's.
 *
 * Result codes of the operations: a length or 0; -9 the handset refused the command ("ERROR",
 * "+CME ERROR"); -12, -71, -92 link faults and malformed replies; -81 a NULL argument or a deleted
 * object; -95 getFirmVer; a registry error from the mode switch.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_OTH_INFO_H
#define PL_OTH_INFO_H

#include "dv_at.h"
#include "dv_util.h"
#include "itf.h"
#include "ms_itf.h"
#include "pl_export.h"

PL_BEGIN_DECLS

#define OTH_INFO_MAGIC 0x329E7EA9u

typedef struct OthInfo {
    PlItfHead head; /* magic OTH_INFO_MAGIC (0 once deleted), owned flag, registry, entry index */
    AtTe *te;       /* not owned */
    InfoItf itf;    /* self word (this object) and the 13 slots: the interface pointer is &itf */
} OthInfo;

/* A new information object over te. buf, when given, holds at least sizeof(OthInfo) bytes suitably
 * aligned for a pointer and is used in place of an allocation (it stays the caller's). mng may be
 * NULL: the operations then run without any mode switch. NULL for a NULL te, out of memory, or a
 * registry with no free slot (nothing stays allocated or registered then). */
PL_API OthInfo *OthInfo_new(void *buf, ItfMng *mng, AtTe *te);

/* Leaves the registry, clears the magic word and frees the record when OthInfo_new allocated it.
 * 0; -81 for NULL or an object that is not alive (already deleted), which is left untouched. */
PL_API int32_t OthInfo_delete(OthInfo *info);

PL_END_DECLS

#endif
