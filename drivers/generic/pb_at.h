/*
 * pb_at.h — the AT phone-book layer of the generic driver (3GPP 27.007 8.11-8.14: +CPBS, +CPBR,
 * +CPBW), under the phone-book object OthPb.
 *
 * What it does: parses the replies to "+CPBS?" and "+CPBR=?" and the "+CPBR:" entry lines, turns
 * entry texts from the selected character set into UTF-8 and back, selects a storage, lists a
 * storage in batches of ten locations, reads, writes and empties single locations, and chooses the
 * handset's character set.
 *
 * Untrusted input: every reply is read line by line into a buffer sized from the lengths the
 * storage announces (at least 1024 bytes, at most 64 KiB); a line that fills it was cut and is
 * dropped. A line is parsed within its length only, entries with a malformed shape are skipped,
 * counts and indexes are range-checked, and a batch reply that runs on without end is cut off
 * (-92). Control bytes (below 0x20, 0x7F) never reach a caller's text. Replies are read with every
 * line tested as a final result, so they may carry the blank line before their OK or not.
 *
 * Handset quirks survived: names as unquoted UCS2 hex, names as 8-bit hex while UCS2 is selected
 * (also with a terminating 00 byte), extra trailing fields after the text, an empty type field, an
 * empty field in front of the number, entries reported under another index than the one asked,
 * control bytes or bytes that are no text inside the number, numbers of type 145 without their
 * "+", an e-mail address in the number field, GSM names with V.250 escapes; ranges and totals
 * far beyond any real storage (walks stop at position 65535); "+CPBR=?" answered as a
 * range without parentheses, as "()", as a single location, with extra fields, or with its line
 * after the OK. An empty range or position may be answered with OK or with an error ("+CME ERROR:
 * 21/22", plain ERROR): both mean "nothing there".
 *
 * What it owns: a PbAtCtx owns its line buffer and the entries of the batch being handed out; it
 * does not own the AT terminal.
 *
 * Result codes: 0 or more success; -9 an error reply; -12, -71, -5, -7 and -92 link faults (and -92
 * a reply that does not parse); -81 a bad argument or a text that cannot be sent inside quotes;
 * -2 no memory.
 *
 * Runs on the caller's thread and takes no lock.
 */
#ifndef PL_PB_AT_H
#define PL_PB_AT_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "dv_at.h"

/* Character-set codes: which +CSCS set governs entry texts. */
enum { PB_CS_GSM = 1, PB_CS_UCS2 = 2, PB_CS_UTF8 = 3 };

/* Locations in one "+CPBR=<from>,<to>" batch. */
enum { PB_BATCH = 10 };

/* The error prefix of every phone-book exchange. */
#define PB_CME "+CME"

/* The reply to "+CPBR=?": the index range (empty when first > last) and the longest number and
 * text (0 when not given). */
struct PbRange {
    int32_t first = 1;
    int32_t last = 0;
    int32_t numLen = 0;
    int32_t textLen = 0;
    bool empty() const { return first > last; }
};

/* The reply to "+CPBS?": storage code (MsStor, 0 when unknown), used and total (-1 when absent). */
struct PbStorInfo {
    int32_t stor = 0;
    int32_t used = -1;
    int32_t total = -1;
};

/* One "+CPBR:" entry line as the handset wrote it: the text is still in the wire character set. */
struct PbEntry {
    int32_t index = 0;
    std::string number; /* control bytes removed */
    int32_t type = 0;
    std::string text;   /* raw field, quotes removed */
};

/* ---- parsers (pure; a line is given without its line end and may hold zero bytes) ---- */

/* "+CPBR: (first-last),nlength,tlength" and the shapes handsets use instead. 0, or -92 when no
 * range can be read. "()" gives an empty range. */
int32_t PbAt_parseRange(std::string_view line, PbRange *out);
/* "+CPBS: "SM",used,total" (the prefix is optional). 0, or -92 when the storage name is not a
 * quoted string. */
int32_t PbAt_parseStor(std::string_view line, PbStorInfo *out);
/* One entry line ("+CPBR: index,number,[type][,text[,...]]", or "+CPBR: index,,number,..."). The
 * number comes out as valid UTF-8 without control bytes or zero bytes, with "+" in front for type 145; an empty
 * type is 0. 0, or -92 for a line that is no entry. */
int32_t PbAt_parseEntry(std::string_view line, PbEntry *out);

/* The text field of an entry in valid UTF-8, control bytes removed, invalid bytes as U+FFFD. UCS2:
 * hex of UCS-2 units; a field whose hex length is not a multiple of four, or that ends in a 00 byte
 * after printable 8-bit characters, is 8-bit hex (Latin-1), and once a field of the first kind was
 * seen (*hex8 set) ambiguous fields are read that way too; a field that is no hex is taken as it is. GSM: GSM
 * 03.38 codes ("\XX" escapes allowed). UTF-8: as it is. Outside GSM a zero byte ("\00" from the
 * terminal) is padding and goes. hex8 may be NULL. */
std::string PbAt_decodeText(int32_t cs, std::string_view raw, bool *hex8);
/* The name as sent inside the quotes of +CPBW: UCS2 as upper-case hex of UCS-2 units; GSM as GSM
 * 03.38 codes, those that cannot stand inside quotes as "\XX" ("" and *ok false when the alphabet
 * lacks a character); UTF-8 as it is. ok may be NULL. */
std::string PbAt_encodeText(int32_t cs, std::string_view utf8, bool *ok = nullptr);
/* 0 when s can stand between double quotes of a command line: no '"', no byte below 0x20, no 0x7F
 * (a quote would end the argument early and let the rest run as further commands); else -81. */
int32_t PbAt_checkQuotable(std::string_view s);
/* Whether a handset's error reply to a read means the range or position is merely empty. The
 * lock and SIM-state errors (3GPP 27.007 9.2: 5-8, 10-18 and 40-48, phone or SIM locked, SIM
 * missing, failed or busy) and a memory failure (23) do not. */
bool PbAt_meansEmpty(int32_t cmeCode);

/* ---- the listing state and the exchanges ---- */

struct PbAtCtx {
    AtTe *te = nullptr;
    int32_t cs = PB_CS_GSM; /* the set last selected with success */
    bool hex8 = false;      /* this handset writes UCS2 names as 8-bit hex */
    /* the listing */
    bool listing = false;
    int64_t first = 1, last = 0; /* range being walked */
    int64_t next = 1;            /* start of the next batch */
    int32_t used = -1, total = -1;
    int32_t read = 0;            /* entries handed out in this listing */
    std::deque<PbEntry> pending; /* entries of the current batch not yet handed out */
    /* what the handset said of the selected storage: the range holds until another storage is
     * selected, the counts until they are used once (a listing, delete-all) or a write */
    bool haveRange = false;
    PbRange range;
    bool haveStor = false;
    PbStorInfo stor;
    /* the line buffer, sized from the storage's lengths */
    std::vector<char> line;
};

/* A context over te (not owned), character set GSM, line buffer 1024. NULL when out of memory. */
PbAtCtx *PbAt_new(AtTe *te);
void PbAt_delete(PbAtCtx *ctx); /* NULL is a no-op */

/* Sizes the line buffer for the longest entry the range announces (1024 to 64 KiB). */
void PbAt_sizeFor(PbAtCtx *ctx, const PbRange &range);

/* "+CPBR=?" into *range (and sizes the line buffer), asked once per storage selection. 0, -9, -92
 * or a link fault. */
int32_t PbAt_queryRange(PbAtCtx *ctx, PbRange *range);
/* "+CPBS?" into *info (kept for the next PbAt_takeStor). 0, -9, -92 or a link fault. */
int32_t PbAt_queryStor(PbAtCtx *ctx, PbStorInfo *info);
/* The counts kept from the last "+CPBS?" (dropped once taken), or a fresh "+CPBS?". */
int32_t PbAt_takeStor(PbAtCtx *ctx, PbStorInfo *info);
/* "+CPBS="<name>"" for a storage code 1..3 (-81 for another). 0, -9 or a link fault. */
int32_t PbAt_selectStor(PbAtCtx *ctx, int32_t code);
/* The range a walk should cover: the announced one, or 1..total when the handset announced none
 * but says how many locations it has; never past position 65535. */
PbRange PbAt_walkRange(const PbRange &range, const PbStorInfo &info);

/* "+CPBR=from,to" (or "+CPBR=from" when to < from): the entries answered, at most max of them
 * (further lines are read and dropped). 0 also for an empty answer (OK, or an error that means
 * empty); *cme receives the extended error number (may be NULL). Otherwise -9, -92 or a link
 * fault. */
int32_t PbAt_readRange(PbAtCtx *ctx, int32_t from, int32_t to, size_t max, std::vector<PbEntry> *out,
                       int32_t *cme);

/* Starts a listing: "+CPBR=?" then "+CPBS?". 1 when there is something to walk, 0 when the range
 * is empty or the storage holds nothing, or an error. */
int32_t PbAt_listBegin(PbAtCtx *ctx);
/* The next entry of the listing into *out: 1, 0 at its end, or an error (the listing then ends). */
int32_t PbAt_listNext(PbAtCtx *ctx, PbEntry *out);

/* Writes an entry: "+CPBW=index,"number",type,"name"" (index < 0: the first free position, no
 * index sent); both texts empty: "+CPBW=index" empties the position. The number is lower-cased;
 * type 145 when it begins with "+", else 129; name is UTF-8 and goes out in ctx->cs. -81 (nothing
 * sent) when a text cannot stand inside quotes or when both are empty for index < 0; else the
 * handset's answer (0, -9) or a link fault. */
int32_t PbAt_write(PbAtCtx *ctx, int32_t index, std::string_view number, std::string_view name);

/* Chooses the character set: "+CSCS=?", then "UCS2" when listed, else "UTF-8" when listed, else
 * "GSM"; ctx->cs changes only when the handset took the set. 0, or a link fault (other failures
 * keep the current set and answer 0). */
int32_t PbAt_chooseCs(PbAtCtx *ctx);

#endif
