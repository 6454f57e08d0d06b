/*
 * sms_at.h — the short-message AT layer of the generic driver (3GPP 27.005, PDU mode).
 *
 * What it does: puts the handset in PDU mode, selects and reads the message storage ("+CPMS"),
 * walks the stored messages with "+CMGL" (or, when the handset refuses the listing, position by
 * position with "+CMGR"), stores and sends SUBMIT TPDUs through the "> " prompt ("+CMGW",
 * "+CMGS"), sends from storage ("+CMSS"), deletes ("+CMGD") and reads and sets the service centre
 * ("+CSCA"). Every exchange uses the extended-error prefix "+CMS".
 *
 * Replies are read line by line with every line tested as a final result, so handsets that leave
 * out the blank line before "OK" are read as well as those that follow V.250. A command is never
 * sent before the final result of the previous one has been read: a listing left unfinished is
 * read through its final result first.
 *
 * What it owns: its token buffer and lexer stream. The AT terminal stays the caller's and must
 * outlive the context. Buffers and records passed in stay the caller's.
 *
 * Result codes: 0 or more success (1: an entry is current); -9 final result ERROR or an extended
 * error; -12, -5, -71, -92 link faults from the terminal; -81 bad argument (storage code, service
 * centre too long or holding a quote or control byte, TPDU length); -92 also a reply that does not
 * parse; -2 out of memory.
 *
 * Internal to the driver. Runs on the caller's thread and takes no lock.
 */
#ifndef PL_SMS_AT_H
#define PL_SMS_AT_H

#include "dv_at.h"
#include "dv_stream.h"
#include "ms_itf.h"
#include "pl_export.h"

PL_BEGIN_DECLS

/* The error prefix of 27.005 replies ("+CMS ERROR: <n>"). */
#define SMS_AT_CMS "+CMS"

enum {
    SMS_AT_LIST_ALL = 4,          /* +CMGL status filter: all messages */
    SMS_AT_LIST_LINE = 380,       /* line buffer of a +CMGL reply */
    SMS_AT_READ_LINE = 400,       /* line buffer of a +CMGR reply */
    SMS_AT_SEND_TIMEOUT = 30000,  /* receive time-out of a whole +CMGS / +CMGW / +CMSS exchange */
    SMS_AT_DRAIN_TIMEOUT = 1000,  /* waiting for the answer to ESC after an abandoned prompt */
    SMS_AT_SCA_MAX_SEND = 30,     /* longest service centre put in front of a TPDU */
    SMS_AT_SCA_MAX_SET = 32,      /* longest service centre "+CSCA" takes */
    SMS_AT_PDU_BUF = 256          /* TPDU buffer handed to SmsAt_readNext */
};

typedef struct SmsAt {
    AtTe *te;          /* not owned */
    StrBuf *tok;       /* token buffer of the reply lexer */
    AbsFile *lex;      /* lexer stream over a reply text */
    int32_t total;     /* of the selected storage */
    int32_t used;
    int32_t walkRead;  /* messages found by the +CMGR walk */
    int32_t walkNext;  /* next position of the +CMGR walk */
    int32_t fallback;  /* the listing runs as a +CMGR walk */
    int32_t filter;    /* status filter of the walk (4: all) */
    int32_t listing;   /* a +CMGL reply is being read: its final result is still due */
    int32_t sendTimeoutMs; /* SMS_AT_SEND_TIMEOUT; tests shorten it */
    char storName[16];     /* the read storage as last selected or reported ("" unknown), for the log */
} SmsAt;

/* A context over te (not owned); NULL for a NULL te or out of memory. Free with SmsAt_delete. */
SmsAt *SmsAt_new(AtTe *te);
/* Frees the token buffer, the lexer stream and the context. NULL is a no-op. */
void SmsAt_delete(SmsAt *at);

/* PDU mode: "+CSMS=0", then "+CMGF=0"; the first error, else 0. Run when the message object
 * becomes current again, so a listing left unfinished before is forgotten (another object's
 * commands have taken the line since). */
int32_t SmsAt_enter(SmsAt *at);

/* "+CPMS?": the read storage's code (MsStor_nameToType; 0 for a name it does not know), used and
 * total; each out-value may be NULL. 0, -92 for a reply that does not parse, or the exchange's
 * error. */
int32_t SmsAt_getStor(SmsAt *at, int32_t *stor, int32_t *used, int32_t *total);
/* Selects storage 1 ("SM") or 2 ("ME") for reading and writing and takes its used and total
 * counts from the reply (total 50 and used 0 when the handset answers a bare "OK"). 0 answers 0
 * and sends nothing; another code -81 (the cached counts stay as they were). */
int32_t SmsAt_setStor(SmsAt *at, int32_t stor);

/* The next stored message. first = 1 starts a listing ("+CMGL=4"; when the handset refuses it,
 * a "+CMGR" walk over positions 0 to total, never past 65535, that stops once `used` messages were
 * found); first = 0 continues it. A line that is no "+CMGL:" header where one is due is no entry.
 * Entries whose PDU does not convert or decode are skipped and logged with their storage and
 * position. The list status comes only from a header field that holds one (0..3); without one a
 * message counts as read (received) or sent (submit). For an entry: the TPDU
 * (service-centre field removed) in pdu (SMS_AT_PDU_BUF bytes), the decoded record in rec with
 * its list status set, the position in *index; answers 1. 0 at the end of the listing, or an
 * error (the +CMGL reply's final result ERROR after entries were handed out: -9). */
int32_t SmsAt_readNext(SmsAt *at, int32_t first, uint8_t *pdu, SmsRecord *rec, int32_t *index);

/* Stores (store 1: "+CMGW=<n>,<status>") or sends (store 0: "+CMGS=<n>") the TPDU of n bytes
 * behind the service centre sca (NULL or empty: the handset's default, "00"). The receive time-out
 * is sendTimeoutMs for the whole exchange and restored afterwards. When the handset may still be
 * waiting for PDU text after a failure, ESC cancels it and its answer is read. For a store, the
 * position from "+CMGW: <index>" goes to *index (-1 when the reply has none). 0, -81 for a service
 * centre over 30 characters or failing SmsAt_checkSca, or n outside 1..255, -9 when the prompt or the reply is an error, -92
 * when the prompt is answered "OK", or a link fault. */
int32_t SmsAt_sendPdu(SmsAt *at, const uint8_t *tpdu, int32_t n, const char *sca, int32_t store,
                      int32_t status, int32_t *index);
/* "+CMSS=<index>", with the send time-out. */
int32_t SmsAt_sendFromStor(SmsAt *at, int32_t index);
/* "+CMGD=<index>". */
int32_t SmsAt_del(SmsAt *at, int32_t index);
/* "+CPMS?" for used and total, then "+CMGD" for positions 0 to total (never past 65535) while
 * messages are left: once as many positions were emptied as were used, "+CPMS?" tells whether any
 * remain. -9 of one position is passed over, any other error ends with it; 0. */
int32_t SmsAt_delAll(SmsAt *at);

/* "+CSCA=\"<sca>\",<145 with a leading '+', else 129>". -81 for NULL, more than 32 characters,
 * a double quote or a control byte (the text goes into a quoted argument). */
int32_t SmsAt_setSca(SmsAt *at, const char *sca);
/* "+CSCA?": the number into buf (size bytes, terminated). A number the handset shows as UCS2 or
 * as hex of its characters is turned back into text; a number of type 145 shown without "+" gets
 * it; the text is valid UTF-8. 0, -92 without a value, -81 for a NULL buf
 * or size <= 0. */
int32_t SmsAt_getSca(SmsAt *at, char *buf, int32_t size);

/* 0 when sca (at most maxLen characters) can stand inside the quotes of a command: no '"', '\\' or
 * control byte; -81 otherwise or for NULL. */
int32_t SmsAt_checkSca(const char *sca, int32_t maxLen);
/* 0 when number (read within maxLen bytes) is a number a message can go to: an optional "+" and
 * one or more decimal digits; -81 for anything else ("", "+", blanks, letters, '*', '#', quotes,
 * control bytes), which must never reach the handset. */
int32_t SmsAt_checkNumber(const char *number, size_t maxLen);

/* The position in a "+CMGW: <index>" line; -1 for any other line. */
int32_t SmsAt_storedIndex(const char *line);
/* A service-centre value as "+CSCA?" shows it (quotes already removed) into plain text: UCS2 hex
 * (units "002B", "0030".."0039") and hex of the characters ("2B", "30".."39") are decoded, anything
 * else is copied. out is terminated within size. */
void SmsAt_scaText(const char *value, char *out, int32_t size);

PL_END_DECLS

#endif
