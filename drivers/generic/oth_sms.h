/*
 * oth_sms.h — OthSms, the generic driver's short-message object (SmsItf, interface 11).
 *
 * What it does: implements the 18 operations of SmsItf (ms_itf.h) over the PDU-mode commands of
 * 3GPP 27.005 (sms_at.h): storage selection and counts, listing the stored messages as SmsRecord
 * entries (decoded by sms_pdu.h), storing and sending a SmsSendRec or a decoded SUBMIT, sending
 * from storage, deleting, and the service centre. When the object becomes current in its interface
 * registry the handset is put in PDU mode ("+CSMS=0", "+CMGF=0"); this happens again after another
 * object (a phone book) was used, and on the next operation after a failed switch.
 *
 * What it owns: its AT context, its two memory streams, the PDU, send and record buffers inside
 * the record, and the record itself when OthSms_new allocated it. The AT terminal and the registry
 * stay the caller's and must outlive the object. The interface pointer handed out is &sms->itf;
 * it is valid until OthSms_delete.
 *
 * Operations and their results. Any operation that talks to the handset may also answer the
 * registry's code when the switch to PDU mode failed (it runs again on the next operation), -9
 * for an error result, and the link faults -12, -71, -92, -5 of the terminal.
 *   1 getStor       0 and the storage code; -92 a reply that does not parse
 *   2 setStor       0 (code 0 sends nothing); -81 a code other than 0, 1, 2; -92
 *   3 getCaps       0 and 58
 *   4 getStat       0: total, used, first 1, last = total (-1 for a storage without positions); -92
 *   5 readNext      1 an entry is current, 0 the end of the listing; entries whose PDU does not
 *                   decode are skipped; a refused +CMGL is read position by position with +CMGR
 *   6 readData      bytes of the current SmsRecord copied (292 in all, then 0); -23 without one
 *   7 readAt, 8 readDataAgain   -94
 *   9 beginWrite    0 for mode 1 (a SmsSendRec follows), -94 for mode 0
 *  10 writeData     the length; -81 when not all was taken (308 bytes in all); -23 without
 *                   beginWrite
 *  11 commitWrite   0 and the position the handset used (-1 when its reply names none); -23
 *                   without beginWrite; -251 a message that cannot be encoded; -81 a service
 *                   centre over 30 characters or holding a quote, backslash or control byte, or a
 *                   number that is not an optional "+" and digits (nothing is sent then)
 *  12 del, 13 delAll  0 (delAll passes over positions that answer an error and ends once the
 *                   storage's messages are gone, never past position 65535)
 *  14 send, 16 sendPdu  0; -251; -81 as for commitWrite; -92 a prompt answered "OK"
 *  15 sendFromStor  0
 *  17 setSca        0; -81 over 32 characters, or holding a quote, backslash or control byte
 *  18 getSca        0 and the number as text; -92 no number in the reply
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_OTH_SMS_H
#define PL_OTH_SMS_H

#include "dv_at.h"
#include "dv_stream.h"
#include "itf.h"
#include "ms_itf.h"
#include "pl_export.h"
#include "sms_at.h"

PL_BEGIN_DECLS

#define OTH_SMS_MAGIC 0xB71DF0E9u

enum { OTH_SMS_PDU_BUF = 256 };

typedef struct OthSms {
    PlItfHead head;          /* magic OTH_SMS_MAGIC (0 once deleted), owned flag, registry, entry */
    SmsItf itf;              /* the interface handed out; itf.stor.self points at this record */
    AtTe *te;                /* not owned */
    SmsAt *at;               /* the AT context */
    uint8_t pdu[OTH_SMS_PDU_BUF]; /* the TPDU of the current entry */
    uint8_t sendBuf[sizeof(SmsSendRec)];
    AbsFile *wr;             /* write stream over sendBuf */
    int32_t writing;         /* beginWrite was called and no commitWrite yet */
    int32_t hasEntry;        /* rd holds the current entry */
    SmsRecord rec;
    AbsFile *rd;             /* read stream over rec */
} OthSms;

/* A new object: in buffer (at least sizeof(OthSms) bytes, zero-filled here; not owned) or, for a
 * NULL buffer, allocated (freed by OthSms_delete). Registered in mng with the PDU-mode switch as
 * its enter routine (mng NULL: no registry, no switching). NULL for a NULL te, a full registry or
 * out of memory; nothing is left to free then. */
PL_API OthSms *OthSms_new(void *buffer, ItfMng *mng, AtTe *te);
/* Deletes the streams and the AT context, unregisters, clears the magic word and frees the record
 * when OthSms_new allocated it. 0; -81 for NULL or an object that is not alive (already deleted),
 * which is left untouched. */
PL_API int32_t OthSms_delete(OthSms *sms);

PL_END_DECLS

#endif
