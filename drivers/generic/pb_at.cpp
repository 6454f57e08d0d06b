// The AT phone-book layer: reply parsers, text conversion and the +CPBS/+CPBR/+CPBW exchanges.

#include "pb_at.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "dv_charset.h"
#include "dv_result.h"
#include "dv_util.h"
#include "gmc_te.h"
#include "gsm_text.h"

namespace {

constexpr size_t kLineMin = 1024;
constexpr size_t kLineMax = 64 * 1024;
// Announced lengths beyond this are not believed when sizing the line buffer.
constexpr int64_t kLenCap = 4096;
// A batch reply of more lines than this (for at most PB_BATCH locations) never ends by itself.
constexpr size_t kBatchLineLimit = PB_BATCH * 4 + 16;
// How long to wait for a "+CPBR:" range line that a handset sends after its OK.
constexpr int32_t kLateLineMs = 500;
// No walk goes past this position, whatever range or total a handset announces (the IrMC store
// has the same bound): "(1-2000000000)" must not become hours of +CPBR commands.
constexpr int64_t kMaxPosition = 65535;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

using gsmtext::hexValue;

// A cursor over one reply line; every read stays within the line.
class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[pos_]; }
    void skipBlanks() {
        while (!atEnd() && isBlank(s_[pos_]))
            ++pos_;
    }
    bool take(char c) {
        skipBlanks();
        if (peek() != c)
            return false;
        ++pos_;
        return true;
    }
    // "+CPBR:" and the like, any case, with the blanks after it.
    bool takePrefix(std::string_view prefix) {
        skipBlanks();
        if (s_.size() - pos_ < prefix.size())
            return false;
        for (size_t i = 0; i < prefix.size(); ++i) {
            char a = s_[pos_ + i], b = prefix[i];
            if (a >= 'a' && a <= 'z')
                a = static_cast<char>(a - 'a' + 'A');
            if (a != b)
                return false;
        }
        pos_ += prefix.size();
        skipBlanks();
        return true;
    }
    // A decimal number that fits int32_t.
    bool number(int32_t *out) {
        skipBlanks();
        if (!isDigit(peek()))
            return false;
        int64_t v = 0;
        while (isDigit(peek())) {
            v = v * 10 + (s_[pos_++] - '0');
            if (v > INT32_MAX)
                return false;
        }
        *out = static_cast<int32_t>(v);
        skipBlanks();
        return true;
    }
    // A field up to the next comma or the end: a quoted string (no escapes: 27.007 strings carry
    // none) or a bare word with its blanks trimmed. False for a string without its closing quote or
    // with something other than a comma after it.
    bool field(std::string *out) {
        skipBlanks();
        out->clear();
        if (peek() == '"') {
            size_t close = s_.find('"', pos_ + 1);
            if (close == std::string_view::npos)
                return false;
            out->assign(s_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            skipBlanks();
            return atEnd() || peek() == ',';
        }
        size_t end = s_.find(',', pos_);
        if (end == std::string_view::npos)
            end = s_.size();
        std::string_view word = s_.substr(pos_, end - pos_);
        while (!word.empty() && isBlank(word.back()))
            word.remove_suffix(1);
        out->assign(word);
        pos_ = end;
        return true;
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
};

// UCS-2 hex to UTF-8; false when raw is not a whole number of units of hex digits.
bool ucs2HexToUtf8(std::string_view raw, std::string *out) {
    if (raw.empty() || raw.size() % 4 != 0)
        return false;
    std::vector<uint8_t> bytes(raw.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = hexValue(raw[2 * i]), lo = hexValue(raw[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    const int32_t units = static_cast<int32_t>(bytes.size() / 2);
    std::string utf8(static_cast<size_t>(units) * 3 + 1, '\0');
    int32_t n = CsUtil_ucs2ToUtf8(bytes.data(), units, utf8.data(), static_cast<int32_t>(utf8.size()));
    utf8.resize(n > 0 ? static_cast<size_t>(n) : 0);
    *out = std::move(utf8);
    return true;
}

// 8-bit hex (each pair one Latin-1 byte) to UTF-8; false when raw is not pairs of hex digits.
bool hex8ToUtf8(std::string_view raw, std::string *out) {
    if (raw.empty() || raw.size() % 2 != 0)
        return false;
    std::string utf8;
    for (size_t i = 0; i < raw.size(); i += 2) {
        int hi = hexValue(raw[i]), lo = hexValue(raw[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        const unsigned b = static_cast<unsigned>(hi << 4 | lo);
        if (b < 0x80) {
            utf8.push_back(static_cast<char>(b));
        } else {
            utf8.push_back(static_cast<char>(0xC0 | b >> 6));
            utf8.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    *out = std::move(utf8);
    return true;
}

// A UCS-2 hex field that an 8-bit hex field cannot be: a zero high byte (plain Latin text in
// UCS-2) or a byte outside printable ASCII.
bool surelyUcs2(std::string_view raw) {
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const int b = hexValue(raw[i]) << 4 | hexValue(raw[i + 1]);
        if (b < 0x20 || b > 0x7E)
            return true;
    }
    return false;
}

// Hex of 8-bit characters closed by a 00 byte ("4A6F6500" for "Joe"): every byte before the last
// is a printable Latin-1 character. A UCS-2 text ends in "0000" when it is terminated at all.
bool hex8Terminated(std::string_view raw) {
    if (raw.size() < 4 || raw.size() % 2 != 0 || raw.substr(raw.size() - 2) != "00")
        return false;
    for (size_t i = 0; i + 2 < raw.size(); i += 2) {
        const int hi = hexValue(raw[i]), lo = hexValue(raw[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        const int b = hi << 4 | lo;
        if (b < 0x20 || (b >= 0x7F && b < 0xA0))
            return false;
    }
    return true;
}

// Reads lines of the reply to the command just sent, up to its final result. Each intermediate
// line goes to onLine. 0 for OK, -9 (and *cme) for an error, -92 when the reply runs past maxLines,
// or a read error. Every line is tested as a final result and blank lines are skipped, so the
// reply may have the blank line before its OK or not: "+CPBR:" and "+CPBS:" lines never read as
// a final result.
template <typename F>
int32_t readReply(PbAtCtx *ctx, size_t maxLines, int32_t *cme, F &&onLine) {
    std::vector<char> &buf = ctx->line;
    for (size_t lines = 0;; ++lines) {
        int32_t len = 0, ok = 0, code = 0;
        int32_t r = AtTe_recvFrmLineExt(ctx->te, PB_CME, 1, buf.data(), static_cast<int32_t>(buf.size()), &len, &ok,
                                        &code);
        if (r < 0)
            return r;
        if (r == 1) {
            if (cme)
                *cme = code;
            return ok == 1 ? 0 : DV_E_IO;
        }
        if (lines >= maxLines)
            return DV_E_MALFORMED;
        const size_t n = std::min(static_cast<size_t>(len > 0 ? len : 0), buf.size() - 1);
        // A line that filled the buffer was cut: half an entry is no entry.
        if (n < buf.size() - 1)
            onLine(std::string_view(buf.data(), n));
    }
}

} // namespace

/* ---- parsers ---- */

int32_t PbAt_parseRange(std::string_view line, PbRange *out) {
    if (!out)
        return DV_E_ARG;
    Cursor c(line);
    c.takePrefix("+CPBR:");
    PbRange r;
    const bool paren = c.take('(');
    if (paren && c.take(')')) {
        r.first = 1; // "()": no locations
        r.last = 0;
    } else {
        if (!c.number(&r.first))
            return DV_E_MALFORMED;
        r.last = r.first; // "(1)": a single location
        if (c.take('-') && !c.number(&r.last))
            return DV_E_MALFORMED;
        if (paren && !c.take(')'))
            return DV_E_MALFORMED;
    }
    // The lengths are optional; fields after them (seen on some handsets) are ignored.
    if (c.take(',')) {
        if (!c.number(&r.numLen))
            r.numLen = 0;
        if (c.take(',') && !c.number(&r.textLen))
            r.textLen = 0;
    }
    *out = r;
    return 0;
}

int32_t PbAt_parseStor(std::string_view line, PbStorInfo *out) {
    if (!out)
        return DV_E_ARG;
    Cursor c(line);
    c.takePrefix("+CPBS:");
    if (c.peek() != '"')
        return DV_E_MALFORMED;
    std::string name;
    if (!c.field(&name))
        return DV_E_MALFORMED;
    PbStorInfo info;
    info.stor = MsStor_nameToType(name.c_str());
    if (c.take(',') && c.number(&info.used) && c.take(','))
        c.number(&info.total);
    *out = info;
    return 0;
}

int32_t PbAt_parseEntry(std::string_view line, PbEntry *out) {
    if (!out)
        return DV_E_ARG;
    Cursor c(line);
    if (!c.takePrefix("+CPBR:"))
        return DV_E_MALFORMED;
    PbEntry e;
    std::string number;
    if (!c.number(&e.index) || !c.take(',') || !c.field(&number) || !c.take(','))
        return DV_E_MALFORMED;
    // Some handsets put an empty field in front of the number (and a date-time field after the
    // text): "+CPBR: 1,,"123",129,"Name","05/03/17,14:30"".
    c.skipBlanks();
    if (number.empty() && c.peek() == '"' && (!c.field(&number) || !c.take(',')))
        return DV_E_MALFORMED;
    // The type may be left empty ("+CPBR: 1,"",,"Name""): unknown, the entry is still there.
    if (!c.number(&e.type)) {
        c.skipBlanks();
        if (!c.atEnd() && c.peek() != ',')
            return DV_E_MALFORMED;
        e.type = 0;
    }
    // An entry without a text field is a number without a name.
    if (c.take(',') && !c.field(&e.text))
        return DV_E_MALFORMED;
    // Control bytes in the number are no part of it, and only valid text leaves the driver.
    e.number = gsmtext::cleanUtf8(gsmtext::withoutZeroEscapes(number));
    // An international number shown without its "+" keeps it: written back, it stays type 145.
    if (e.type == 145 && !e.number.empty() && e.number[0] != '+')
        e.number.insert(e.number.begin(), '+');
    *out = std::move(e);
    return 0;
}

std::string PbAt_decodeText(int32_t cs, std::string_view field, bool *hex8) {
    std::string out;
    if (cs == PB_CS_GSM)
        return gsmtext::cleanUtf8(gsmtext::fieldToUtf8(field));
    const std::string kept = gsmtext::withoutZeroEscapes(field);
    const std::string_view raw = kept;
    if (cs != PB_CS_UCS2)
        return gsmtext::cleanUtf8(raw);
    // With UCS2 selected some handsets still write names as 8-bit hex ("4A6F" for "Jo"), often
    // with a terminating 00 byte. A field of an odd number of bytes can only be that, and so is
    // taken one that ends in a 00 byte after printable 8-bit characters; another even one is UCS-2
    // unless this handset was already seen doing it and the field could not be UCS-2 text of
    // Latin letters. Only the odd length teaches the habit: a UCS-2 name whose last character is
    // U+xx00 ("674E4E00") looks terminated too, and must not turn every later name into 8-bit.
    const bool oddBytes = raw.size() % 4 == 2;
    bool asHex8 = oddBytes || hex8Terminated(raw);
    if (!asHex8 && hex8 && *hex8 && !surelyUcs2(raw))
        asHex8 = true;
    if (asHex8 && hex8ToUtf8(raw, &out)) {
        if (hex8 && oddBytes)
            *hex8 = true;
        return gsmtext::cleanUtf8(out);
    }
    if (ucs2HexToUtf8(raw, &out))
        return gsmtext::cleanUtf8(out);
    // Not hex at all: the handset wrote the text as it is.
    return gsmtext::cleanUtf8(raw);
}

std::string PbAt_encodeText(int32_t cs, std::string_view utf8, bool *ok) {
    if (ok)
        *ok = true;
    if (cs == PB_CS_GSM) {
        std::string field;
        if (!gsmtext::utf8ToField(utf8, &field)) {
            if (ok)
                *ok = false;
            return {};
        }
        return field;
    }
    if (cs != PB_CS_UCS2)
        return std::string(utf8);
    std::string in(utf8);
    std::vector<uint8_t> ucs2((in.size() + 1) * 2);
    const int32_t units = CsUtil_utf8ToUcs2(in.c_str(), ucs2.data(), static_cast<int32_t>(in.size() + 1));
    std::string hex;
    hex.reserve(static_cast<size_t>(units > 0 ? units : 0) * 4);
    static const char kHex[] = "0123456789ABCDEF";
    for (int32_t i = 0; i < units * 2; ++i) {
        hex.push_back(kHex[ucs2[static_cast<size_t>(i)] >> 4]);
        hex.push_back(kHex[ucs2[static_cast<size_t>(i)] & 0xF]);
    }
    return hex;
}

int32_t PbAt_checkQuotable(std::string_view s) {
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || isControl(c))
            return DV_E_ARG;
    }
    return 0;
}

bool PbAt_meansEmpty(int32_t cmeCode) {
    // A phone or SIM that is locked (5-8, 10-18, 40-48: PIN, PUK and personalisation codes), missing
    // or busy, or whose memory failed (23), has not said the position is empty: taken as "nothing
    // there", a delete would report success with the entry still stored.
    if ((cmeCode >= 5 && cmeCode <= 8) || (cmeCode >= 10 && cmeCode <= 18) || cmeCode == 23 ||
        (cmeCode >= 40 && cmeCode <= 48))
        return false;
    return true;
}

/* ---- context ---- */

PbAtCtx *PbAt_new(AtTe *te) {
    if (!te)
        return nullptr;
    try {
        auto *ctx = new PbAtCtx;
        ctx->te = te;
        ctx->line.assign(kLineMin, '\0');
        return ctx;
    } catch (...) {
        return nullptr;
    }
}

void PbAt_delete(PbAtCtx *ctx) { delete ctx; }

void PbAt_sizeFor(PbAtCtx *ctx, const PbRange &range) {
    // "+CPBR: " index "," number "," type "," text, where a number may come as UCS2 hex and a
    // text of tlength characters as UCS2 hex or UTF-8 (4 bytes each at most), plus room for the
    // trailing fields some handsets add.
    const int64_t n = std::clamp<int64_t>(range.numLen, 0, kLenCap);
    const int64_t t = std::clamp<int64_t>(range.textLen, 0, kLenCap);
    const size_t want = std::clamp<size_t>(static_cast<size_t>(128 + 4 * (n + t)), kLineMin, kLineMax);
    if (ctx->line.size() < want)
        ctx->line.assign(want, '\0');
}

/* ---- exchanges ---- */

int32_t PbAt_queryRange(PbAtCtx *ctx, PbRange *range) {
    // The range and lengths of a storage do not change while it stays selected.
    if (ctx->haveRange) {
        *range = ctx->range;
        return 0;
    }
    int32_t r = AtTe_sendCmd(ctx->te, "+CPBR=?");
    if (r < 0)
        return r;
    bool found = false;
    int32_t parsed = DV_E_MALFORMED;
    PbRange got;
    r = readReply(ctx, 8, nullptr, [&](std::string_view line) {
        if (!found) {
            found = true;
            parsed = PbAt_parseRange(line, &got);
        }
    });
    if (r == 0 && !found) {
        // Some handsets put the "+CPBR:" line after the OK; it is not left for the next command to
        // take as its reply.
        int32_t old = 0;
        const bool restore = AtTe_setRxTimeout(ctx->te, kLateLineMs, &old) >= 0;
        int32_t len = 0;
        int32_t late = AtTe_recvFrmLineExt(ctx->te, PB_CME, 1, ctx->line.data(),
                                           static_cast<int32_t>(ctx->line.size()), &len, nullptr, nullptr);
        if (restore)
            AtTe_setRxTimeout(ctx->te, old, nullptr);
        if (late == 2) {
            found = true;
            parsed = PbAt_parseRange(std::string_view(ctx->line.data(), static_cast<size_t>(len)), &got);
        } else if (late < 0 && late != DV_E_TIMEOUT) {
            return late;
        }
    }
    if (r < 0)
        return r;
    if (parsed < 0)
        return parsed;
    PbAt_sizeFor(ctx, got);
    *range = got;
    ctx->range = got;
    ctx->haveRange = true;
    return 0;
}

int32_t PbAt_queryStor(PbAtCtx *ctx, PbStorInfo *info) {
    int32_t r = AtTe_sendCmd(ctx->te, "+CPBS?");
    if (r < 0)
        return r;
    bool found = false;
    int32_t parsed = 0;
    PbStorInfo got;
    r = readReply(ctx, 8, nullptr, [&](std::string_view line) {
        if (!found) {
            found = true;
            parsed = PbAt_parseStor(line, &got);
        }
    });
    if (r < 0)
        return r;
    if (!found)
        return DV_E_IO; // OK where the value was due
    if (parsed < 0)
        return parsed;
    *info = got;
    ctx->stor = got;
    ctx->haveStor = true;
    return 0;
}

int32_t PbAt_takeStor(PbAtCtx *ctx, PbStorInfo *info) {
    if (ctx->haveStor) {
        *info = ctx->stor;
        ctx->haveStor = false;
        return 0;
    }
    const int32_t r = PbAt_queryStor(ctx, info);
    ctx->haveStor = false;
    return r;
}

int32_t PbAt_selectStor(PbAtCtx *ctx, int32_t code) {
    if (code < 1 || code > 3)
        return DV_E_ARG;
    ctx->haveRange = false;
    ctx->haveStor = false;
    char cmd[32];
    std::snprintf(cmd, sizeof cmd, "+CPBS=\"%s\"", MsStor_typeToName(code));
    return AtTe_setAny(ctx->te, cmd, PB_CME, nullptr);
}

PbRange PbAt_walkRange(const PbRange &range, const PbStorInfo &info) {
    PbRange r = range;
    // "+CPBR: ()" from a storage that does report its size: walk 1..total.
    if (r.empty() && info.total > 0) {
        r.first = 1;
        r.last = info.total;
    }
    if (r.first < 0)
        r.first = 0;
    if (r.last > kMaxPosition)
        r.last = static_cast<int32_t>(kMaxPosition);
    return r;
}

int32_t PbAt_readRange(PbAtCtx *ctx, int32_t from, int32_t to, size_t max, std::vector<PbEntry> *out,
                       int32_t *cme) {
    char cmd[48];
    if (to >= from)
        std::snprintf(cmd, sizeof cmd, "+CPBR=%d,%d", static_cast<int>(from), static_cast<int>(to));
    else
        std::snprintf(cmd, sizeof cmd, "+CPBR=%d", static_cast<int>(from));
    out->clear();
    int32_t r = AtTe_sendCmd(ctx->te, cmd);
    if (r < 0)
        return r;
    int32_t code = 0;
    r = readReply(ctx, kBatchLineLimit, &code, [&](std::string_view line) {
        PbEntry e;
        if (out->size() < max && PbAt_parseEntry(line, &e) == 0)
            out->push_back(std::move(e));
    });
    if (cme)
        *cme = code;
    if (r == DV_E_IO) {
        // Handsets answer an empty range or position with an error (+CME ERROR: 21 or 22, or a
        // plain ERROR) as often as with a bare OK.
        out->clear();
        return PbAt_meansEmpty(code) ? 0 : r;
    }
    if (r < 0)
        out->clear();
    return r;
}

int32_t PbAt_listBegin(PbAtCtx *ctx) {
    ctx->listing = false;
    ctx->pending.clear();
    ctx->read = 0;
    PbRange range;
    int32_t r = PbAt_queryRange(ctx, &range);
    if (r < 0)
        return r;
    PbStorInfo info;
    r = PbAt_takeStor(ctx, &info);
    if (r < 0)
        return r;
    range = PbAt_walkRange(range, info);
    ctx->first = range.first;
    ctx->last = range.last;
    ctx->next = range.first;
    ctx->used = info.used;
    ctx->total = info.total;
    if (range.empty() || info.used == 0)
        return 0;
    ctx->listing = true;
    return 1;
}

int32_t PbAt_listNext(PbAtCtx *ctx, PbEntry *out) {
    while (ctx->listing) {
        if (!ctx->pending.empty()) {
            *out = std::move(ctx->pending.front());
            ctx->pending.pop_front();
            ++ctx->read;
            return 1;
        }
        // The batch is used up: the listing ends when the range is, or when as many entries as
        // the storage holds were read.
        if (ctx->next > ctx->last || (ctx->used >= 0 && ctx->read >= ctx->used))
            break;
        const int64_t from = ctx->next;
        const int64_t to = std::min<int64_t>(from + PB_BATCH - 1, ctx->last);
        ctx->next = to + 1;
        std::vector<PbEntry> batch;
        int32_t r = PbAt_readRange(ctx, static_cast<int32_t>(from), static_cast<int32_t>(to),
                                   static_cast<size_t>(to - from + 1), &batch, nullptr);
        if (r < 0) {
            ctx->listing = false;
            return r;
        }
        for (auto &e : batch)
            ctx->pending.push_back(std::move(e));
    }
    ctx->listing = false;
    ctx->pending.clear();
    return 0;
}

int32_t PbAt_write(PbAtCtx *ctx, int32_t index, std::string_view number, std::string_view name) {
    ctx->haveStor = false; // the used count may change
    std::string cmd;
    if (number.empty() && name.empty()) {
        if (index < 0)
            return DV_E_ARG; // nothing to write, and no position to empty
        cmd = "+CPBW=" + std::to_string(index);
    } else {
        std::string num(number);
        StrUtil_strlwr(num.data());
        bool encoded = true;
        std::string text = PbAt_encodeText(ctx->cs, name, &encoded);
        if (!encoded || PbAt_checkQuotable(num) < 0 || PbAt_checkQuotable(text) < 0)
            return DV_E_ARG;
        const int type = !num.empty() && num[0] == '+' ? 145 : 129;
        cmd = "+CPBW=";
        if (index >= 0)
            cmd += std::to_string(index);
        cmd += ",\"" + num + "\"," + std::to_string(type) + ",\"" + text + "\"";
    }
    return AtTe_setAny(ctx->te, cmd.c_str(), PB_CME, nullptr);
}

int32_t PbAt_chooseCs(PbAtCtx *ctx) {
    char list[128];
    int32_t r = GmcTe_testCs(ctx->te, list, sizeof list);
    if (r < 0) {
        if (NetUtil_isFaultErr(r))
            return r;
        list[0] = '\0';
    }
    int32_t code = PB_CS_GSM;
    const char *name = "GSM";
    if (StrUtil_stristr(list, "UCS2")) {
        code = PB_CS_UCS2;
        name = "UCS2";
    } else if (StrUtil_stristr(list, "UTF-8")) {
        code = PB_CS_UTF8;
        name = "UTF-8";
    }
    r = GmcTe_setCs(ctx->te, name);
    if (r < 0)
        return NetUtil_isFaultErr(r) ? r : 0;
    if (ctx->cs != code)
        ctx->hex8 = false;
    ctx->cs = code;
    return 0;
}
