/*
 * sms_pdu.h — the SMS PDU codec of the generic driver (3GPP 23.040 TPDUs, 23.038 alphabets).
 *
 * What it does: encodes an outgoing message as a SMS-SUBMIT TPDU (no service-centre field: the
 * caller puts that in front) and decodes the TPDUs a handset lists (SMS-DELIVER, SMS-SUBMIT,
 * SMS-STATUS-REPORT) into an SmsPduRec, and that into the SmsRecord the main program reads.
 * Texts are UTF-8 both ways: 7-bit text is read through the GSM default alphabet and its
 * extension table, UCS2 data as UTF-16 (surrogate pairs included).
 *
 * What it owns: nothing. Every function works on the caller's buffers and records, keeps no
 * pointer to them and allocates nothing.
 *
 * Untrusted input: the decoder reads only the len bytes it is given, whatever the counts inside
 * the TPDU say; a field that announces more than is there answers -51 and leaves the record
 * zero-filled. Decoded texts are cut, on a character boundary, to the record's fields.
 *
 * Result codes: >= 0 success (a length or a message type); -51 (DV_E_FAIL) a TPDU that does not
 * decode; -81 (DV_E_ARG) a NULL pointer, a buffer too small, a message that does not fit in one
 * SUBMIT, or message type 3; -251 (DV_E_TOOLONG) from SmsPdu_encodeSendRec for a message that
 * cannot be encoded.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_SMS_PDU_H
#define PL_SMS_PDU_H

#include "ms_itf.h"
#include "pl_export.h"

PL_BEGIN_DECLS

/* TP-MTI of a decoded TPDU (first octet AND 3). */
enum { SMS_PDU_DELIVER = 0, SMS_PDU_SUBMIT = 1, SMS_PDU_STATUS_REPORT = 2 };

/* The longest text an SmsPduRec holds (its data field less the terminator), and the longest
 * address. */
enum { SMS_PDU_TEXT_MAX = 210, SMS_PDU_ADDR_MAX = 40 };

/* The PDU buffer of the short-message object; the longest SUBMIT is 1 + 1 + 12 + 1 + 1 + 1 + 1 +
 * 140 octets. */
enum { SMS_PDU_SUBMIT_BUF = 256 };

/* TP-VP (relative format) for a validity of `minutes`: 0 or less gives 0xA9 (three days, the
 * handsets' usual default); then 5-minute steps to 12 h, 30-minute steps to 24 h, days to 30 days,
 * and 255 beyond. */
uint8_t SmsPdu_validityOctet(int32_t minutes);

/* Fills rec (zeroed first) from a message to send: address, text, status-report request, validity.
 * 0, or -81 for a NULL pointer, a number longer than 40 characters or a text longer than 210
 * bytes (refused rather than cut: a cut message would be sent as if whole). */
int32_t SmsPdu_fromSendRec(const SmsSendRec *msg, SmsPduRec *rec);

/* Encodes rec as a SUBMIT TPDU into out (outSize bytes, at least 141 left after the validity
 * octet; SMS_PDU_SUBMIT_BUF is enough). Text that uses only characters that are the same in ASCII
 * and the GSM default alphabet (letters, digits, blank, CR, LF, !"#$%&'()*+,-./:;<=>?@_) goes out in
 * 7 bits, any other text in UCS2; binary data (rec->binary) with coding 4. rec->dcs is OR-ed into
 * TP-DCS. Answers the TPDU length, or -81 (out too small, header over 139 octets, user data over
 * 140 octets, address that does not fit an address field, unterminated fields, rec->dcs bits that
 * change the alphabet or mark compression). out is zeroed. */
int32_t SmsPdu_encodeSubmit(const SmsPduRec *rec, uint8_t *out, size_t outSize);

/* SmsPdu_fromSendRec and SmsPdu_encodeSubmit in one: the TPDU length, or -251 for any message
 * that cannot be encoded (-81 only for NULL pointers or an out smaller than SMS_PDU_SUBMIT_BUF). */
int32_t SmsPdu_encodeSendRec(const SmsSendRec *msg, uint8_t *out, size_t outSize);

/* Decodes the TPDU of len bytes at tpdu (no service-centre field in front) into rec (zeroed
 * first). Answers the message type (SMS_PDU_DELIVER, SMS_PDU_SUBMIT, SMS_PDU_STATUS_REPORT),
 * -81 for message type 3 or a NULL pointer, -51 for a TPDU that is cut short or whose lengths do
 * not agree (rec then stays zeroed). Bytes after the user data are ignored: SIM records are padded
 * with 0xFF. */
int32_t SmsPdu_decode(const uint8_t *tpdu, size_t len, SmsPduRec *rec);

/* Fills out (zeroed first) from a decoded message of the given type; the list status stays 0 for
 * the listing to set. 0, or -81 for a NULL pointer or an unknown type. */
int32_t SmsPdu_buildRecord(const SmsPduRec *rec, int32_t type, SmsRecord *out);

/* SmsPdu_decode and SmsPdu_buildRecord in one: 0, or -51 for a TPDU that does not decode (out then
 * stays zeroed). */
int32_t SmsPdu_decodeRecord(const uint8_t *tpdu, size_t len, SmsRecord *out);

PL_END_DECLS

#endif
