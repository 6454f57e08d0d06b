// The vCard 2.1 reader: logical lines out of a stream, then name, parameters and value, then the
// value decoded back to UTF-8.
//
// A line ends with CR LF, LF alone (files written on Linux, macOS, many phones) or CR alone (old
// Macintosh files). Line rules, in the order they are tried when a line end arrives:
//  1. A line that holds ENCODING=QUOTED-PRINTABLE in its parameters and ends with "=" has a soft
//     line break (RFC 2045): the "=" and the line end go, and so does one TAB that follows (our
//     writer indents the next line with it); a blank there is data, as handsets that break lines
//     before a blank mean it. Trying this before folding matters: folding first would leave the "="
//     in front of the next escape and corrupt it.
//  2. A blank or TAB after the line end folds the line (vCard 2.1): the line end and that character
//     go.
//  3. Otherwise the line ends and the character read ahead is stepped back.
// Empty lines are passed over.

#include "vcard/vcard_int.h"

#include "charset/charset_int.h"

#include "dv_charset.h"
#include "dv_log.h"
#include "dv_result.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

using vcard::containsNoCase;
using vcard::equalsNoCase;

constexpr size_t kMaxName = 129;
constexpr size_t kMaxParams = 127;

const struct {
    const char *name;
    int32_t type;
} kTypes[] = {{"BEGIN", VCARD_TYPE_BEGIN}, {"END", VCARD_TYPE_END},     {"N", VCARD_TYPE_N},
              {"BDAY", VCARD_TYPE_BDAY},   {"TEL", VCARD_TYPE_TEL},     {"EMAIL", VCARD_TYPE_EMAIL},
              {"URL", VCARD_TYPE_URL},     {"ADR", VCARD_TYPE_ADR},     {"ORG", VCARD_TYPE_ORG},
              {"TITLE", VCARD_TYPE_TITLE}, {"NOTE", VCARD_TYPE_NOTE},   {"FN", VCARD_TYPE_FN},
              {"GRP", VCARD_TYPE_GRP}};

void appendChar(Vcard *v, char c) {
    v->lastChar = c;
    v->lastStored = v->line.size() < kVcardMaxLine;
    if (v->lastStored)
        v->line.push_back(c);
}

// The line's name and parameters (all before the first ":") ask for quoted-printable.
bool isQpLine(const std::string &line) {
    size_t colon = line.find(':');
    std::string_view head(line.data(), colon == std::string::npos ? 0 : colon);
    return containsNoCase(head, "QUOTED-PRINTABLE");
}

// Steps c back so that the next line starts with it: through the stream when it can, else kept here.
void stepBack(Vcard *v, int c, bool fromStream) {
    if (fromStream && AbsFile_ungetc(v->stream) >= 0)
        return;
    v->held = c;
}

// A line end has arrived: wait for the character after it, unless the line is empty (passed over
// without waiting).
void lineEnded(Vcard *v) { v->lineState = v->line.empty() ? 0 : 2; }

// 1 when a logical line is complete in v->line, 0 when the stream ran out first, or the stream's
// error. The state survives between calls.
int32_t readLogicalLine(Vcard *v) {
    for (;;) {
        int c;
        bool fromStream = v->held < 0;
        if (!fromStream) {
            c = v->held;
            v->held = -1;
        } else {
            c = AbsFile_getc(v->stream);
        }
        if (c < 0) {
            if (c != DV_E_EOF)
                return c;
            // A card's last line needs no character after it, nor a line end. A line end that
            // arrives later is then an empty line.
            if (vcard::isMarkerLine(v->line, "END:VCARD")) {
                v->lineState = 0;
                return 1;
            }
            return 0;
        }
        switch (v->lineState) {
        case 0:
            if (c == '\r')
                v->lineState = 1;
            else if (c == '\n')
                lineEnded(v);
            else
                appendChar(v, static_cast<char>(c));
            break;
        case 1:
            lineEnded(v);
            // CR LF is one line end; after a CR alone, c is already the next line's first character.
            if (c != '\n')
                stepBack(v, c, fromStream);
            break;
        default: // 2: after a line end
            v->lineState = 0;
            if (v->lastChar == '=' && isQpLine(v->line)) {
                if (v->lastStored)
                    v->line.pop_back();
                v->lastChar = 0;
                if (c != '\t')
                    stepBack(v, c, fromStream);
            } else if (c == ' ' || c == '\t') {
                // folded: the line goes on
            } else {
                stepBack(v, c, fromStream);
                return 1;
            }
            break;
        }
    }
}

struct Parsed {
    std::string name;   // upper-cased, at most kMaxName
    std::string params; // upper-cased, at most kMaxParams
    std::string_view value;
};

// Splits a logical line; false for a line without ";" or ":" (skipped).
bool parseLine(const std::string &line, Parsed &p) {
    size_t sep = line.find_first_of(";:");
    if (sep == std::string::npos)
        return false;
    p.name.assign(line, 0, std::min(sep, kMaxName));
    size_t colon = line.find(':', sep);
    if (line[sep] == ';') {
        size_t end = colon == std::string::npos ? line.size() : colon;
        p.params.assign(line, sep + 1, std::min(end - (sep + 1), kMaxParams));
    } else {
        p.params.clear();
    }
    for (char &ch : p.name)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    for (char &ch : p.params)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    p.value = colon == std::string::npos ? std::string_view() : std::string_view(line).substr(colon + 1);
    return true;
}

int32_t typeOf(const std::string &name) {
    for (const auto &t : kTypes)
        if (name == t.name)
            return t.type;
    return VCARD_TYPE_OTHER;
}

int32_t flagsOf(int32_t type, const std::string &params) {
    auto has = [&](const char *w) { return params.find(w) != std::string::npos; };
    int32_t flags = 0;
    if (has("WORK"))
        flags |= VCARD_FLAG_WORK;
    if (has("HOME") || has("DOM"))
        flags |= VCARD_FLAG_HOME;
    if (has("PREF"))
        flags |= VCARD_FLAG_PREF;
    if (type == VCARD_TYPE_TEL) {
        if (has("CELL"))
            flags |= VCARD_FLAG_CELL;
        if (has("PAGER"))
            flags |= VCARD_FLAG_PAGER;
        if (has("FAX"))
            flags |= VCARD_FLAG_FAX;
    }
    bool typed = type == VCARD_TYPE_TEL || type == VCARD_TYPE_EMAIL || type == VCARD_TYPE_URL || type == VCARD_TYPE_ADR;
    if (typed && !(flags & (VCARD_FLAG_HOME | VCARD_FLAG_WORK | VCARD_FLAG_PREF)))
        flags |= VCARD_FLAG_GENERAL;
    if (type == VCARD_TYPE_TEL && !(flags & (VCARD_FLAG_CELL | VCARD_FLAG_PAGER | VCARD_FLAG_FAX)))
        flags |= VCARD_FLAG_VOICE;
    return flags;
}

// Base64 (RFC 2045): blanks, TABs and line ends are not data; a last group without its "=" padding
// is padded so that its bytes are not lost.
std::string decodeBase64(std::string_view raw) {
    std::string text;
    text.reserve(raw.size() + 3);
    for (char c : raw)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0')
            text.push_back(c);
    if (text.size() % 4 == 2)
        text += "==";
    else if (text.size() % 4 == 3)
        text += "=";
    std::string out(text.size() / 4 * 3 + 3, '\0');
    int32_t used = 0;
    int32_t n = Base64_decodeBuf(text.c_str(), &used, reinterpret_cast<uint8_t *>(out.data()),
                                 static_cast<int32_t>(out.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

// Quoted-printable: what cannot be decoded (an "=" too near the end) is kept as it stands.
std::string decodeQp(std::string_view raw) {
    std::string text(raw.substr(0, raw.find('\0')));
    std::string out(text.size() + 1, '\0');
    int32_t used = 0;
    int32_t n = Qp_decodeBuf(text.c_str(), &used, reinterpret_cast<uint8_t *>(out.data()),
                             static_cast<int32_t>(out.size()));
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (used >= 0 && static_cast<size_t>(used) < text.size())
        out.append(text, static_cast<size_t>(used), std::string::npos);
    return out;
}

// The name a CHARSET parameter gives ("CHARSET=SHIFT_JIS" -> "SHIFT_JIS"), empty without one.
std::string charsetName(const std::string &params) {
    static const char kKey[] = "CHARSET=";
    size_t at = params.find(kKey);
    if (at == std::string::npos)
        return {};
    at += sizeof kKey - 1;
    size_t end = params.find_first_of(";:", at);
    return params.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string localToUtf8(const std::string &bytes) {
    std::string text(bytes.c_str()); // the converters take zero-terminated text
    std::vector<char> buf(3 * text.size() + 4);
    int32_t n = CsUtil_localToUtf8(text.c_str(), buf.data(), static_cast<int32_t>(buf.size()));
    return std::string(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::string toUtf8(const std::string &bytes, const std::string &params) {
    if (params.find("UTF-8") != std::string::npos)
        return bytes;
    if (params.find("UCS2") != std::string::npos) {
        int32_t units = static_cast<int32_t>(bytes.size() / 2);
        std::vector<char> buf(3 * static_cast<size_t>(units) + 1);
        int32_t n = CsUtil_ucs2ToUtf8(reinterpret_cast<const uint8_t *>(bytes.data()), units, buf.data(),
                                      static_cast<int32_t>(buf.size()));
        return std::string(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
    }
    if (params.find("UTF-7") != std::string::npos) {
        std::string text(bytes.c_str());
        std::vector<char> buf(2 * text.size() + 4);
        int32_t n = CsUtil_utf7ToUtf8(text.c_str(), buf.data(), static_cast<int32_t>(buf.size()));
        return std::string(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
    }
    // Any other named character set (SHIFT_JIS, ISO-8859-1, BIG5 ...) is converted by its name; only
    // a name the conversion library does not know falls back to the local code page.
    std::string charset = charsetName(params);
    if (!charset.empty() && !bytes.empty()) {
        std::vector<char> buf(4 * bytes.size() + 4);
        int32_t n = CsUtil_charsetToUtf8(charset.c_str(), bytes.data(), static_cast<int32_t>(bytes.size()),
                                         buf.data(), static_cast<int32_t>(buf.size()));
        if (n >= 0)
            return std::string(buf.data(), static_cast<size_t>(n));
    }
    return localToUtf8(bytes);
}

// "\;" and "\\" lose their backslash; any other backslash, a trailing one included, stays.
std::string unescape(const std::string &s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == ';' || s[i + 1] == '\\'))
            ++i;
        out.push_back(s[i]);
    }
    return out;
}

// Some handsets keep a web address in a TEL entry as "Website: host".
bool takeWebsite(std::string &value) {
    static const char kPrefix[] = "Website:";
    if (value.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
        return false;
    size_t b = sizeof kPrefix - 1;
    size_t e = value.size();
    while (b < e && (value[b] == ' ' || value[b] == '\t'))
        ++b;
    while (e > b && (value[e - 1] == ' ' || value[e - 1] == '\t'))
        --e;
    value = value.substr(b, e - b);
    return true;
}

void clearOutputs(int32_t *type, int32_t *flags, char *out, int32_t *outSize) {
    if (type)
        *type = 0;
    if (flags)
        *flags = 0;
    if (out && outSize && *outSize > 0)
        out[0] = '\0';
    if (outSize)
        *outSize = 0;
}

int32_t getProperty(Vcard *v, int32_t *type, int32_t *flags, char *out, int32_t *outSize, char *nameOut,
                    int32_t nameSize) {
    if (v->line.capacity() < kVcardLineStart)
        v->line.reserve(kVcardLineStart);
    Parsed p;
    int32_t t;
    for (;;) {
        int32_t r = readLogicalLine(v);
        if (r <= 0)
            return r;
        bool ok = parseLine(v->line, p);
        t = ok ? typeOf(p.name) : VCARD_TYPE_OTHER;
        if (ok && p.name != "VERSION" && p.name != "UID")
            break;
        v->line.clear();
    }

    bool base64 = p.params.find("BASE64") != std::string::npos;
    bool qp = !base64 && p.params.find("QUOTED-PRINTABLE") != std::string::npos;
    bool hasCharset = p.params.find("UTF-8") != std::string::npos || p.params.find("UCS2") != std::string::npos ||
                      p.params.find("UTF-7") != std::string::npos || !charsetName(p.params).empty();
    // A BASE64 value with no character set is binary (PHOTO, LOGO, SOUND): no text conversion.
    bool binary = base64 && !hasCharset;

    std::string bytes = base64 ? decodeBase64(p.value) : qp ? decodeQp(p.value) : std::string(p.value);
    std::string value = binary ? std::move(bytes) : toUtf8(bytes, p.params);
    if (t == VCARD_TYPE_TEL && takeWebsite(value)) {
        t = VCARD_TYPE_URL;
    } else if (t == VCARD_TYPE_TEL && (v->decodeBits & VCARD_DECODE_TEL_NO_DASH)) {
        value.erase(std::remove(value.begin(), value.end(), '-'), value.end());
    }
    // N and ADR stay escaped: VcardName_dec and VcardAddr_dec need "\;" to tell a ";" inside a part
    // from the separator.
    if (!binary && t != VCARD_TYPE_N && t != VCARD_TYPE_ADR)
        value = unescape(value);

    if (type)
        *type = t;
    if (flags)
        *flags = flagsOf(t == VCARD_TYPE_URL && p.name == "TEL" ? VCARD_TYPE_TEL : t, p.params);
    if (outSize) {
        size_t n = 0;
        if (out && *outSize > 0) {
            size_t room = static_cast<size_t>(*outSize) - 1;
            n = binary ? std::min(room, value.size()) : vcard::utf8Cut(value, room);
            std::memcpy(out, value.data(), n);
            out[n] = '\0';
        }
        *outSize = static_cast<int32_t>(n);
    }
    if (t == VCARD_TYPE_OTHER && nameOut && nameSize > 0)
        vcard::copyCut(p.name, nameOut, nameSize);

    if (t == VCARD_TYPE_END) {
        std::string().swap(v->line); // the card is over: give the line buffer back
    } else {
        v->line.clear();
    }
    return 1;
}

} // namespace

extern "C" DV_API int32_t Vcard_get(Vcard *v, int32_t *type, int32_t *flags, char *out, int32_t *outSize,
                                    char *nameOut, int32_t nameSize) {
    if (!v) {
        clearOutputs(type, flags, out, outSize);
        return DV_E_ARG;
    }
    int32_t r;
    try {
        r = getProperty(v, type, flags, out, outSize, nameOut, nameSize);
    } catch (const std::bad_alloc &) {
        r = DV_E_NOMEM;
    } catch (...) {
        r = DV_E_FAIL;
    }
    if (r != 1)
        clearOutputs(type, flags, out, outSize);
    return r;
}

extern "C" DV_API const char *Vcard_getParamName(int32_t flags) {
    // Rows: home, work, pref, none; columns: mobile, pager, fax, none.
    static const char *const kNames[4][4] = {
        {"home & mobile", "home & pager", "home & fax", "home"},
        {"work & mobile", "work & pager", "work & fax", "work"},
        {"pref & mobile", "pref & pager", "pref & fax", "pref"},
        {"mobile", "pager", "fax", "general"}};
    int row = (flags & VCARD_FLAG_HOME) ? 0 : (flags & VCARD_FLAG_WORK) ? 1 : (flags & VCARD_FLAG_PREF) ? 2 : 3;
    int col = (flags & VCARD_FLAG_CELL) ? 0 : (flags & VCARD_FLAG_PAGER) ? 1 : (flags & VCARD_FLAG_FAX) ? 2 : 3;
    return kNames[row][col];
}

extern "C" DV_API int32_t Vcard_test(void) {
    static const char kSample[] = "BEGIN:VCARD\r\n"
                                  "VERSION:2.1\r\n"
                                  "N;CHARSET=UTF-8:Kowal;Jan;Maria;Dr.;Jr.\r\n"
                                  "TEL;CELL:+48 600 100 200\r\n"
                                  "TEL;HOME;VOICE:+48 22 100 20 30\r\n"
                                  "EMAIL;INTERNET:jan@example.com\r\n"
                                  "NOTE;ENCODING=QUOTED-PRINTABLE:first line=0d=0a=\r\n\tsecond line\r\n"
                                  "END:VCARD\r\n";
    try {
        std::vector<char> buf(kSample, kSample + sizeof kSample - 1);
        AbsFile *f = AbsFileMem_new(buf.data(), static_cast<int32_t>(buf.size()), static_cast<int32_t>(buf.size()), 0);
        if (!f)
            return DV_E_NOMEM;
        Vcard *v = Vcard_new(f);
        if (!v) {
            AbsFileMem_delete(f);
            return DV_E_NOMEM;
        }
        int32_t count = 0;
        char value[256];
        int32_t r;
        for (;;) {
            int32_t type = 0, flags = 0, size = sizeof value;
            r = Vcard_get(v, &type, &flags, value, &size, nullptr, 0);
            if (r != 1)
                break;
            ++count;
            if (type == VCARD_TYPE_N) {
                Stdout_printf("N:%s\n", value);
                VcardName name;
                VcardName_dec(&name, value);
                Stdout_printf("name-1: %s\n", name.family);
                Stdout_printf("name-2: %s\n", name.given);
                Stdout_printf("name-3: %s\n", name.middle);
                Stdout_printf("name-4: %s\n", name.prefix);
                Stdout_printf("name-5: %s\n", name.suffix);
            } else {
                Stdout_printf("N;%08x:%s\n", static_cast<unsigned>(flags), value);
            }
        }
        Vcard_delete(v);
        AbsFileMem_delete(f);
        return r < 0 ? r : count;
    } catch (...) {
        return DV_E_NOMEM;
    }
}
