// The short-message AT layer: PDU mode, storages, the +CMGL reader with its +CMGR fallback, the
// "> " prompt exchange and the service centre (3GPP 27.005 chapter 3, PDU mode).

#include "sms_at.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "dv_charset.h"
#include "dv_log.h"
#include "dv_result.h"
#include "dv_util.h"
#include "gsm_text.h"
#include "sms_pdu.h"

namespace {

// No walk or delete-all goes past this position, whatever total a handset announces: 999,999,999
// must not become half a day of commands.
constexpr int32_t kMaxPosition = 65535;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int hexVal(char c) { return isDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

// Decimal digits at *p (blanks first); *p moves past them. def when there are none. Values are
// capped well inside int32_t: no handset has a billion positions.
int32_t takeNumber(const char *&p, int32_t def) {
    while (isBlank(*p))
        ++p;
    if (!isDigit(*p))
        return def;
    int32_t v = 0;
    while (isDigit(*p)) {
        if (v < 100000000)
            v = v * 10 + (*p - '0');
        ++p;
    }
    return v;
}

// The value of a token of the AT lexer that must be a number; false for anything else.
bool tokenNumber(int32_t tok, StrBuf *sb, int32_t *out) {
    if (tok != AT_TOK_NUMBER)
        return false;
    const char *p = StrBuf_buf(sb);
    if (std::strlen(p) > 9)
        return false;
    *out = takeNumber(p, 0);
    return true;
}

// One reply line, every line tested as a final result: handsets that put no blank line before
// "OK" (and blank lines inside a listing) are read the same way. 2 a line, 1 a final result
// (*ok 1 for "OK"), or the read error.
int32_t readLine(AtTe *te, char *buf, int32_t len, int32_t *ok) {
    int32_t lineLen = 0, okv = 0, code = 0;
    const int32_t r = AtTe_recvFrmLineExt(te, SMS_AT_CMS, 1, buf, len, &lineLen, &okv, &code);
    if (ok)
        *ok = okv;
    return r;
}

// Reads through the final result: 0 for "OK", -9 for an error result, or the read error.
int32_t readFinal(AtTe *te) {
    for (;;) {
        int32_t ok = 0;
        const int32_t r = readLine(te, nullptr, 0, &ok);
        if (r < 0)
            return r;
        if (r == 1)
            return ok == 1 ? 0 : DV_E_IO;
    }
}

// A listing handed out part of its entries and was left: read its reply through the final result
// before anything else is sent, or the next command would take the rest as its own reply.
int32_t finishListing(SmsAt *at) {
    if (!at->listing)
        return 0;
    at->listing = 0;
    const int32_t r = readFinal(at->te);
    return NetUtil_isFaultErr(r) ? r : 0;
}

int32_t command(SmsAt *at, const char *cmd) {
    int32_t r = finishListing(at);
    if (r < 0)
        return r;
    r = AtTe_sendCmd(at->te, cmd);
    if (r < 0)
        return r;
    return readFinal(at->te);
}

// Sends cmd and places the value of the reply's first line in buf (prefix and leading blanks
// dropped); the rest is read through the final result. The value length; 0 with an empty buf when
// the handset answered a bare "OK"; -9 for an error result; or the read error.
int32_t query(SmsAt *at, const char *cmd, const char *prefix, char *buf, int32_t len) {
    buf[0] = '\0';
    int32_t r = finishListing(at);
    if (r < 0)
        return r;
    r = AtTe_sendCmd(at->te, cmd);
    if (r < 0)
        return r;
    int32_t ok = 0;
    r = readLine(at->te, buf, len, &ok);
    if (r < 0 || r == 1) {
        buf[0] = '\0';
        return r < 0 ? r : (ok == 1 ? 0 : DV_E_IO);
    }
    const char *p = buf;
    while (isBlank(*p))
        ++p;
    const size_t plen = std::strlen(prefix);
    if (StrUtil_strincmp(p, prefix, static_cast<int32_t>(plen)) == 0)
        p += plen;
    while (isBlank(*p))
        ++p;
    std::memmove(buf, p, std::strlen(p) + 1);
    r = readFinal(at->te);
    if (r < 0) {
        buf[0] = '\0';
        return r;
    }
    return static_cast<int32_t>(std::strlen(buf));
}

// Points the lexer at text (which must stay put while it is read).
void lexOver(SmsAt *at, char *text) {
    const auto n = static_cast<int32_t>(std::strlen(text));
    AbsFileMem_reset(at->lex, text, n, n, 0);
}

// "<name>,<used>,<total>..." of a +CPMS? reply.
int32_t parseCpms(SmsAt *at, char *value, int32_t *stor, int32_t *used, int32_t *total) {
    lexOver(at, value);
    int32_t tok = AtLex_do(at->lex, at->tok);
    // Some handsets leave the storage name unquoted.
    if (tok != AT_TOK_STRING && tok != AT_TOK_WORD)
        return DV_E_MALFORMED;
    const int32_t s = MsStor_nameToType(StrBuf_buf(at->tok));
    std::snprintf(at->storName, sizeof at->storName, "%s", StrBuf_buf(at->tok));
    int32_t u = 0, t = 0;
    if (AtLex_do(at->lex, at->tok) != ',' || !tokenNumber(AtLex_do(at->lex, at->tok), at->tok, &u) ||
        AtLex_do(at->lex, at->tok) != ',' || !tokenNumber(AtLex_do(at->lex, at->tok), at->tok, &t))
        return DV_E_MALFORMED;
    if (stor)
        *stor = s;
    if (used)
        *used = u;
    if (total)
        *total = t;
    return 0;
}

// ---- listing ----

struct Header {
    int32_t index;
    int32_t status;
    const char *pdu; // the PDU when the handset put it on the header line, else NULL
};

// Some handsets put a blank where the line break before the PDU belongs ("+CMGL: 1,0,,23 0791...",
// sometimes with a stray '"' after the hex): the PDU is then the last blank-separated word of the
// header, a run of hex digits behind the length field.
const char *pduOnHeaderLine(const char *line) {
    size_t end = std::strlen(line);
    while (end > 0 && (isBlank(line[end - 1]) || line[end - 1] == '"'))
        --end;
    bool quoted = false;
    size_t lastBlank = SIZE_MAX;
    for (size_t i = 0; i < end; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (!quoted && isBlank(line[i]))
            lastBlank = i;
    }
    if (lastBlank == SIZE_MAX || end - (lastBlank + 1) < 4)
        return nullptr;
    for (size_t i = lastBlank + 1; i < end; ++i)
        if (!isHex(line[i]))
            return nullptr;
    size_t before = lastBlank;
    while (before > 0 && isBlank(line[before - 1]))
        --before;
    if (before == 0 || !isDigit(line[before - 1]))
        return nullptr;
    return line + lastBlank + 1;
}

bool startsWithI(const char *line, const char *prefix) {
    while (isBlank(*line))
        ++line;
    return StrUtil_strincmp(line, prefix, static_cast<int32_t>(std::strlen(prefix))) == 0;
}

// A 27.005 <stat> (0..3) in one header field, or -1 for anything else.
int32_t statusOf(const char *field, size_t len) {
    while (len > 0 && isBlank(*field))
        ++field, --len;
    while (len > 0 && isBlank(field[len - 1]))
        --len;
    return len == 1 && field[0] >= '0' && field[0] <= '3' ? field[0] - '0' : -1;
}

// "+CMGL: <index>,<stat>,[<alpha>],<length>" (withIndex) or "+CMGR: <stat>,[<alpha>],<length>".
// A missing index is -1; the status is taken only from a field that holds one, else it is -1
// (unknown): "+CMGR: ,,27", "+CMGR: 27" and "+CMGR: 5,1,,27" (with the index in front) must not
// give the length or the index as a status. The length is not used: handsets get it wrong, and the
// PDU is judged by its own hex.
Header parseHeader(const char *line, const char *prefix, bool withIndex) {
    Header h{-1, -1, pduOnHeaderLine(line)};
    const char *p = line;
    while (isBlank(*p))
        ++p;
    const auto plen = static_cast<int32_t>(std::strlen(prefix));
    if (StrUtil_strincmp(p, prefix, plen) == 0)
        p += plen;
    // The fields, split at commas outside quotes.
    const char *start[8];
    size_t len[8];
    size_t n = 0;
    bool quoted = false;
    const char *f = p;
    for (const char *q = p;; ++q) {
        if (*q == '"')
            quoted = !quoted;
        if ((*q == ',' && !quoted) || *q == '\0') {
            if (n < 8) {
                start[n] = f;
                len[n] = static_cast<size_t>(q - f);
                ++n;
            }
            if (*q == '\0')
                break;
            f = q + 1;
        }
    }
    if (withIndex) {
        const char *ip = start[0];
        h.index = takeNumber(ip, -1);
        if (n >= 2)
            h.status = statusOf(start[1], len[1]);
        return h;
    }
    // +CMGR: <stat>,[<alpha>],<length>; some handsets put the index in front (four fields), some
    // leave the alpha out (two), and a lone field is the length.
    if (n >= 4)
        h.status = statusOf(start[1], len[1]);
    else if (n >= 2)
        h.status = statusOf(start[0], len[0]);
    return h;
}

// The list status of an entry: the header's, or for a header without one "read" (received) or
// "sent" (stored submit), so that no message turns up as new.
int32_t listStatusOf(const Header &h, const SmsRecord *rec) {
    if (h.status >= 0)
        return h.status;
    return rec->kind == SMS_KIND_SUBMITTED ? 3 : 1;
}

// An entry that does not decode is passed over, but not without a trace: the download compares
// what it got with the storage's used count.
void logSkipped(const SmsAt *at, int32_t index, int32_t why) {
    Stdout_printf("SMS entry skipped: storage %s index %d does not decode (%d)\n",
                  at->storName[0] ? at->storName : "(current)", static_cast<int>(index), static_cast<int>(why));
}

// The PDU hex (service-centre field first) into the TPDU at the start of pdu, decoded into rec.
// 0; -92 when the hex holds no whole service-centre field; -51 when the TPDU does not decode.
int32_t toEntry(const char *hex, uint8_t *pdu, SmsRecord *rec) {
    const int32_t n = IraUtil_iraToBuf(hex, pdu, SMS_AT_PDU_BUF);
    if (n <= 0)
        return DV_E_MALFORMED;
    const int32_t sca = GsmUtil_getNoPduLen(pdu, n, 0);
    if (sca < 0 || sca >= n)
        return DV_E_MALFORMED;
    const int32_t len = n - sca;
    std::memmove(pdu, pdu + sca, static_cast<size_t>(len));
    std::memset(pdu + len, 0, static_cast<size_t>(SMS_AT_PDU_BUF - len));
    return SmsPdu_decodeRecord(pdu, static_cast<size_t>(len), rec) < 0 ? DV_E_FAIL : 0;
}

// The rest of a +CMGL reply: the next entry (1), the end (0 for "OK", -9 for an error result), or
// a read error. Entries that do not convert are skipped, never fatal: the reply is always read to
// its final result, so the next command stays in step.
int32_t listNext(SmsAt *at, uint8_t *pdu, SmsRecord *rec, int32_t *index) {
    char line[SMS_AT_LIST_LINE];
    char pduLine[SMS_AT_LIST_LINE];
    bool haveHeader = false;
    for (;;) {
        int32_t ok = 0, r = 0;
        if (!haveHeader) {
            r = readLine(at->te, line, sizeof line, &ok);
            if (r < 0 || r == 1) {
                at->listing = 0;
                return r < 0 ? r : (ok == 1 ? 0 : DV_E_IO);
            }
        }
        haveHeader = false;
        // Where a header is due, any other line (a stray result code, a PDU whose header was lost)
        // is no entry.
        if (!startsWithI(line, "+CMGL:"))
            continue;
        const Header h = parseHeader(line, "+CMGL:", true);
        const char *hex = h.pdu;
        if (!hex) {
            r = readLine(at->te, pduLine, sizeof pduLine, &ok);
            if (r < 0 || r == 1) {
                at->listing = 0;
                return r < 0 ? r : (ok == 1 ? 0 : DV_E_IO);
            }
            if (startsWithI(pduLine, "+CMGL:")) {
                // A header without its PDU: the line read is the next header.
                std::memcpy(line, pduLine, sizeof line);
                haveHeader = true;
                continue;
            }
            hex = pduLine;
        }
        const int32_t conv = toEntry(hex, pdu, rec);
        if (conv == 0) {
            rec->listStatus = listStatusOf(h, rec);
            if (index)
                *index = h.index;
            return 1;
        }
        logSkipped(at, h.index, conv);
    }
}

// The +CMGR walk over positions walkNext..total until `used` messages were found. Empty
// positions answer ERROR, +CMS ERROR 321 or a bare OK depending on the handset; all are passed.
int32_t walkNext(SmsAt *at, uint8_t *pdu, SmsRecord *rec, int32_t *index) {
    char line[SMS_AT_READ_LINE];
    char pduLine[SMS_AT_READ_LINE];
    char cmd[32];
    const int32_t last = at->total < kMaxPosition ? at->total : kMaxPosition;
    while (at->walkNext <= last && at->walkRead < at->used) {
        const int32_t pos = at->walkNext++;
        std::snprintf(cmd, sizeof cmd, "+CMGR=%d", static_cast<int>(pos));
        int32_t r = AtTe_sendCmd(at->te, cmd);
        if (r < 0)
            return r;
        int32_t ok = 0;
        r = readLine(at->te, line, sizeof line, &ok);
        if (r < 0)
            return r;
        if (r == 1)
            continue;
        const Header h = parseHeader(line, "+CMGR:", false);
        if (at->filter != SMS_AT_LIST_ALL && h.status >= 0 && h.status != at->filter) {
            r = readFinal(at->te);
            if (r < 0 && r != DV_E_IO)
                return r;
            continue;
        }
        const char *hex = h.pdu;
        if (!hex) {
            r = readLine(at->te, pduLine, sizeof pduLine, &ok);
            if (r < 0)
                return r;
            if (r == 1)
                continue;
            hex = pduLine;
        }
        r = readFinal(at->te);
        if (r == DV_E_IO)
            continue;
        if (r < 0)
            return r;
        const int32_t conv = toEntry(hex, pdu, rec);
        if (conv != 0) {
            logSkipped(at, pos, conv);
            continue;
        }
        rec->listStatus = listStatusOf(h, rec);
        ++at->walkRead;
        if (index)
            *index = pos;
        return 1;
    }
    return 0;
}

// ---- the prompt exchange ----

// The handset may still be taking PDU text: ESC abandons the message (27.005 3.5.1), and its
// answer is read so that the next command is not taken as PDU text or answered by stale lines.
// The caller restores the receive time-out.
void abandonPdu(SmsAt *at) {
    static const char esc = 0x1b;
    if (AtTe_sendData(at->te, &esc, 1) < 0)
        return;
    AtTe_setRxTimeout(at->te, SMS_AT_DRAIN_TIMEOUT, nullptr);
    for (int i = 0; i < 16; ++i) {
        int32_t ok = 0;
        const int32_t r = readLine(at->te, nullptr, 0, &ok);
        if (r < 0 || r == 1)
            break;
    }
}

// A failed prompt wait leaves the handset taking PDU text unless a final result came instead
// (-9, or -92 for "OK") or the link is gone.
bool mayAwaitPdu(int32_t r) {
    return r != DV_E_IO && r != DV_E_MALFORMED && r != DV_E_CLOSED && r != DV_E_DISABLED;
}

int32_t promptExchange(SmsAt *at, const char *cmd, const char *data, int32_t dataLen, bool store,
                       int32_t *index) {
    int32_t r = AtTe_sendCmd(at->te, cmd);
    if (r < 0)
        return r;
    int32_t code = 0;
    r = AtTe_waitUntil(at->te, "\r\n> ", SMS_AT_CMS, &code);
    if (r < 0) {
        if (mayAwaitPdu(r))
            abandonPdu(at);
        return r;
    }
    r = AtTe_sendData(at->te, data, dataLen);
    if (r < dataLen) {
        if (r != DV_E_CLOSED)
            abandonPdu(at);
        return r < 0 ? r : DV_E_TIMEOUT; // the port took only part of the text
    }
    char line[64];
    for (;;) {
        int32_t ok = 0;
        r = readLine(at->te, line, sizeof line, &ok);
        if (r < 0) {
            if (r != DV_E_CLOSED)
                abandonPdu(at);
            return r;
        }
        if (r == 1)
            return ok == 1 ? 0 : DV_E_IO;
        if (store && index && *index < 0)
            *index = SmsAt_storedIndex(line);
    }
}

// Runs fn with the long receive time-out of a message send and restores the previous one.
template <class Fn>
int32_t withSendTimeout(SmsAt *at, Fn fn) {
    int32_t old = 0;
    const bool restore = AtTe_setRxTimeout(at->te, at->sendTimeoutMs, &old) >= 0;
    const int32_t r = fn();
    if (restore)
        AtTe_setRxTimeout(at->te, old, nullptr);
    return r;
}

bool isUcs2Digit(const char *u) {
    if (u[0] != '0' || u[1] != '0')
        return false;
    return (u[2] == '2' && (u[3] == 'B' || u[3] == 'b')) || (u[2] == '3' && isDigit(u[3]));
}
bool isIraDigit(const char *p) { return (p[0] == '2' && (p[1] == 'B' || p[1] == 'b')) || (p[0] == '3' && isDigit(p[1])); }

} // namespace

extern "C" {

SmsAt *SmsAt_new(AtTe *te) {
    if (!te)
        return nullptr;
    auto *at = new (std::nothrow) SmsAt{};
    if (!at)
        return nullptr;
    at->te = te;
    at->tok = StrBuf_new(128);
    at->lex = AbsFileMem_new(nullptr, 0, 0, 0);
    at->total = 50;
    at->filter = SMS_AT_LIST_ALL;
    at->sendTimeoutMs = SMS_AT_SEND_TIMEOUT;
    if (!at->tok || !at->lex) {
        SmsAt_delete(at);
        return nullptr;
    }
    return at;
}

void SmsAt_delete(SmsAt *at) {
    if (!at)
        return;
    StrBuf_delete(at->tok);
    AbsFileMem_delete(at->lex);
    delete at;
}

int32_t SmsAt_enter(SmsAt *at) {
    if (!at)
        return DV_E_ARG;
    // Another object talked to the handset since this one was current: whatever was left of a
    // listing went to its commands, and no final result is due any more.
    at->listing = 0;
    int32_t r = command(at, "+CSMS=0");
    if (r < 0)
        return r;
    r = command(at, "+CMGF=0");
    return r < 0 ? r : 0;
}

int32_t SmsAt_getStor(SmsAt *at, int32_t *stor, int32_t *used, int32_t *total) {
    if (!at)
        return DV_E_ARG;
    char value[128];
    const int32_t r = query(at, "+CPMS?", "+CPMS:", value, sizeof value);
    if (r < 0)
        return r;
    return parseCpms(at, value, stor, used, total);
}

int32_t SmsAt_setStor(SmsAt *at, int32_t stor) {
    if (!at)
        return DV_E_ARG;
    if (stor == 0)
        return 0;
    if (stor != 1 && stor != 2)
        return DV_E_ARG;
    at->total = 50;
    at->used = 0;
    const char *name = MsStor_typeToName(stor);
    std::snprintf(at->storName, sizeof at->storName, "%s", name);
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "+CPMS=\"%s\",\"%s\"", name, name);
    char value[128];
    int32_t r = query(at, cmd, "+CPMS:", value, sizeof value);
    if (r <= 0)
        return r; // a bare "OK": selected, counts unknown
    lexOver(at, value);
    int32_t used = 0, total = 0;
    if (!tokenNumber(AtLex_do(at->lex, at->tok), at->tok, &used) || AtLex_do(at->lex, at->tok) != ',' ||
        !tokenNumber(AtLex_do(at->lex, at->tok), at->tok, &total))
        return DV_E_MALFORMED;
    at->used = used;
    at->total = total;
    return 0;
}

int32_t SmsAt_readNext(SmsAt *at, int32_t first, uint8_t *pdu, SmsRecord *rec, int32_t *index) {
    if (!at || !pdu || !rec)
        return DV_E_ARG;
    if (!first) {
        if (at->fallback)
            return walkNext(at, pdu, rec, index);
        return at->listing ? listNext(at, pdu, rec, index) : 0;
    }
    int32_t r = finishListing(at);
    if (r < 0)
        return r;
    at->fallback = 0;
    r = AtTe_sendCmd(at->te, "+CMGL=4");
    if (r >= 0) {
        at->listing = 1;
        r = listNext(at, pdu, rec, index);
    }
    if (r >= 0 || NetUtil_isFaultErr(r))
        return r;
    // The handset refused the listing (text mode, or no +CMGL at all): read position by position.
    at->fallback = 1;
    at->walkRead = 0;
    // Some handsets number their positions from 0: asking there costs one command.
    at->walkNext = 0;
    at->filter = SMS_AT_LIST_ALL;
    int32_t used = 0, total = 0;
    r = SmsAt_getStor(at, nullptr, &used, &total);
    if (r == 0) {
        at->used = used;
        at->total = total;
    } else if (NetUtil_isFaultErr(r)) {
        return r;
    }
    return walkNext(at, pdu, rec, index);
}

int32_t SmsAt_sendPdu(SmsAt *at, const uint8_t *tpdu, int32_t n, const char *sca, int32_t store,
                      int32_t status, int32_t *index) {
    if (index)
        *index = -1;
    if (!at || !tpdu || n < 1 || n > 255)
        return DV_E_ARG;
    const size_t scaLen = sca ? strnlen(sca, SMS_AT_SCA_MAX_SEND + 1) : 0;
    if (scaLen > SMS_AT_SCA_MAX_SEND || (scaLen > 0 && SmsAt_checkSca(sca, SMS_AT_SCA_MAX_SEND) < 0))
        return DV_E_ARG;
    // Everything that follows the prompt is built first: nothing may fail between the prompt and
    // the Ctrl-Z that ends the text.
    char data[2 * 32 + 2 * 256 + 2];
    int32_t pos = 0;
    if (scaLen == 0) {
        std::memcpy(data, "00", 2);
        pos = 2;
    } else {
        uint8_t field[32];
        const int32_t m = GsmUtil_encNo(field, sizeof field, sca, 0);
        if (m <= 0)
            return DV_E_ARG;
        pos = IraUtil_bufToIra(field, m, data, static_cast<int32_t>(sizeof data));
    }
    pos += IraUtil_bufToIra(tpdu, n, data + pos, static_cast<int32_t>(sizeof data) - pos);
    data[pos] = '\0';
    StrUtil_strupr(data); // some handsets take upper-case hex only
    data[pos++] = 0x1a;

    char cmd[32];
    if (store)
        std::snprintf(cmd, sizeof cmd, "+CMGW=%d,%d", static_cast<int>(n), static_cast<int>(status));
    else
        std::snprintf(cmd, sizeof cmd, "+CMGS=%d", static_cast<int>(n));
    const int32_t r = finishListing(at);
    if (r < 0)
        return r;
    return withSendTimeout(at, [&] { return promptExchange(at, cmd, data, pos, store != 0, index); });
}

int32_t SmsAt_sendFromStor(SmsAt *at, int32_t index) {
    if (!at)
        return DV_E_ARG;
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "+CMSS=%d", static_cast<int>(index));
    // The handset answers once the network took the message, as slowly as for +CMGS.
    return withSendTimeout(at, [&] { return command(at, cmd); });
}

int32_t SmsAt_del(SmsAt *at, int32_t index) {
    if (!at)
        return DV_E_ARG;
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "+CMGD=%d", static_cast<int>(index));
    return command(at, cmd);
}

int32_t SmsAt_delAll(SmsAt *at) {
    if (!at)
        return DV_E_ARG;
    int32_t used = 0, total = 0;
    int32_t r = SmsAt_getStor(at, nullptr, &used, &total);
    if (r < 0)
        return r;
    const int32_t last = total < kMaxPosition ? total : kMaxPosition;
    int32_t deleted = 0;
    // From 0: some handsets number their positions from there (elsewhere it costs one error).
    for (int32_t i = 0; i <= last && used > 0; ++i) {
        r = SmsAt_del(at, i);
        if (r < 0 && r != DV_E_IO)
            return r;
        if (r == 0 && ++deleted >= used) {
            // As many positions emptied as messages were stored; as handsets answer OK for an
            // empty position too, ask whether any are left before going on.
            r = SmsAt_getStor(at, nullptr, &used, nullptr);
            if (r < 0)
                return r;
            deleted = 0;
        }
    }
    return 0;
}

int32_t SmsAt_setSca(SmsAt *at, const char *sca) {
    if (!at || !sca)
        return DV_E_ARG;
    if (SmsAt_checkSca(sca, SMS_AT_SCA_MAX_SET) < 0)
        return DV_E_ARG;
    char cmd[64];
    std::snprintf(cmd, sizeof cmd, "+CSCA=\"%s\",%d", sca, sca[0] == '+' ? 145 : 129);
    return command(at, cmd);
}

int32_t SmsAt_getSca(SmsAt *at, char *buf, int32_t size) {
    if (!at || !buf || size <= 0)
        return DV_E_ARG;
    buf[0] = '\0';
    char value[128];
    int32_t r = query(at, "+CSCA?", "+CSCA:", value, sizeof value);
    if (r < 0)
        return r;
    // A zero byte inside the number's quotes is padding.
    const std::string padded = value;
    std::snprintf(value, sizeof value, "%s", gsmtext::withoutZeroEscapes(padded).c_str());
    char text[128];
    int32_t type = 0;
    if (value[0] == '"') {
        lexOver(at, value);
        if (AtLex_do(at->lex, at->tok) != AT_TOK_STRING)
            return DV_E_MALFORMED;
        SmsAt_scaText(StrBuf_buf(at->tok), text, sizeof text);
        if (AtLex_do(at->lex, at->tok) != ',' || !tokenNumber(AtLex_do(at->lex, at->tok), at->tok, &type))
            type = 0;
    } else {
        // Some handsets show the number without quotes: it runs up to the type field.
        char *comma = std::strchr(value, ',');
        if (comma) {
            *comma = '\0';
            const char *t = comma + 1;
            type = takeNumber(t, 0);
        }
        StrUtil_strtrim(value);
        if (!value[0])
            return DV_E_MALFORMED;
        SmsAt_scaText(value, text, sizeof text);
    }
    // Only valid text leaves the driver; an international number shown without its "+" gets it.
    std::string number = gsmtext::cleanUtf8(text);
    if (type == 145 && !number.empty() && number[0] != '+')
        number.insert(number.begin(), '+');
    StrUtil_strxfrm(buf, number.c_str(), size);
    return 0;
}

int32_t SmsAt_checkSca(const char *sca, int32_t maxLen) {
    if (!sca || maxLen < 0)
        return DV_E_ARG;
    const size_t len = strnlen(sca, static_cast<size_t>(maxLen) + 1);
    if (len > static_cast<size_t>(maxLen))
        return DV_E_ARG;
    // The text goes inside a quoted argument: a quote, a backslash (27.007 string escapes) or a
    // control byte (CR ends the command line) would change the command itself.
    for (size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(sca[i]);
        if (c == '"' || c == '\\' || c < 0x20 || c == 0x7f)
            return DV_E_ARG;
    }
    return 0;
}

int32_t SmsAt_checkNumber(const char *number, size_t maxLen) {
    if (!number)
        return DV_E_ARG;
    const size_t len = strnlen(number, maxLen);
    size_t i = number[0] == '+' ? 1 : 0;
    if (len <= i)
        return DV_E_ARG; // "" or "+" alone
    for (; i < len; ++i)
        if (!isDigit(number[i]))
            return DV_E_ARG;
    return 0;
}

int32_t SmsAt_storedIndex(const char *line) {
    if (!line)
        return -1;
    const char *p = line;
    while (isBlank(*p))
        ++p;
    if (StrUtil_strincmp(p, "+CMGW:", 6) != 0)
        return -1;
    p += 6;
    return takeNumber(p, -1);
}

void SmsAt_scaText(const char *value, char *out, int32_t size) {
    if (!out || size <= 0)
        return;
    out[0] = '\0';
    if (!value)
        return;
    const size_t n = std::strlen(value);
    char text[128];
    const char *result = value;
    bool ucs2 = n >= 4 && n % 4 == 0 && n / 4 < sizeof text;
    for (size_t i = 0; ucs2 && i < n; i += 4)
        ucs2 = isUcs2Digit(value + i);
    bool ira = !ucs2 && n >= 4 && n % 2 == 0 && n / 2 < sizeof text;
    for (size_t i = 0; ira && i < n; i += 2)
        ira = isIraDigit(value + i);
    if (ucs2 || ira) {
        const size_t step = ucs2 ? 4 : 2;
        size_t k = 0;
        for (size_t i = 0; i < n; i += step)
            text[k++] = static_cast<char>(hexVal(value[i + step - 2]) * 16 + hexVal(value[i + step - 1]));
        text[k] = '\0';
        result = text;
    }
    StrUtil_strxfrm(out, result, size);
}

} // extern "C"
