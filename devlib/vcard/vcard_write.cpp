// The vCard 2.1 writer: one property per call, built whole in memory and written with one stream
// write.
//
// A value goes through three layers, and the reader undoes them in the reverse order: escaping
// (";" and "\" get a backslash), the character set (local code page, UCS-2, UTF-8 or UTF-7), and the
// transfer encoding (quoted-printable or none). Escaping comes first so that it never lands inside a
// multi-byte character: a GBK trail byte can be 0x5C, and a UCS-2 unit can hold 0x3B.

#include "vcard/vcard_int.h"

#include "dv_charset.h"
#include "dv_result.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace {

using vcard::appendEscaped;
using vcard::fieldView;

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

int32_t writeAll(AbsFile *f, const std::string &s) {
    if (s.size() > INT32_MAX)
        return DV_E_ARG;
    int32_t n = static_cast<int32_t>(s.size());
    int32_t w = AbsFile_write(f, s.data(), n);
    if (w < 0)
        return w;
    return w < n ? DV_E_FULL : 0;
}

// UTF-7 (RFC 2152): printable ASCII other than "+", "\" and "~" stands for itself, as do CR, LF and
// TAB; "+" is "+-"; everything else goes as modified Base64 of its UCS-2 units between "+" and "-".
// Characters outside the basic plane are "?" (UCS-2 cannot hold them).
std::string toUtf7(const std::string &utf8) {
    static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<uint8_t> ucs2(2 * (utf8.size() + 1));
    int32_t units = CsUtil_utf8ToUcs2(utf8.c_str(), ucs2.data(), static_cast<int32_t>(utf8.size() + 1));
    std::string out;
    auto direct = [](uint32_t u) {
        return (u >= 0x20 && u < 0x7F && u != '+' && u != '\\' && u != '~') || u == '\r' || u == '\n' ||
               u == '\t';
    };
    int32_t i = 0;
    while (i < units) {
        uint32_t u = (static_cast<uint32_t>(ucs2[2 * i]) << 8) | ucs2[2 * i + 1];
        if (direct(u)) {
            out.push_back(static_cast<char>(u));
            ++i;
            continue;
        }
        if (u == '+') {
            out += "+-";
            ++i;
            continue;
        }
        out.push_back('+');
        uint32_t bits = 0;
        int nbits = 0;
        while (i < units) {
            u = (static_cast<uint32_t>(ucs2[2 * i]) << 8) | ucs2[2 * i + 1];
            if (direct(u) || u == '+')
                break;
            bits = (bits << 16) | u;
            nbits += 16;
            while (nbits >= 6) {
                nbits -= 6;
                out.push_back(kB64[(bits >> nbits) & 0x3F]);
            }
            bits &= (1u << nbits) - 1;
            ++i;
        }
        if (nbits > 0)
            out.push_back(kB64[(bits << (6 - nbits)) & 0x3F]);
        out.push_back('-'); // always closed, so a following "-" or Base64 letter stays direct
    }
    return out;
}

// Writes one property. comps are UTF-8 texts; the caller's memory is only read.
int32_t writeProperty(Vcard *v, const char *name, int32_t flags, const std::string_view *comps, size_t n) {
    if (!v)
        return DV_E_ARG;
    bool ascii = true;
    bool lineBreak = false;
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        ascii = ascii && isAscii(comps[i]);
        lineBreak = lineBreak || hasLineBreak(comps[i]);
        total += comps[i].size();
    }
    if (total > INT32_MAX / 8)
        return DV_E_ARG;

    std::string text; // escaped components joined by ";"
    text.reserve(total + n + 8);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0)
            text.push_back(';');
        appendEscaped(text, comps[i]);
    }

    int32_t charset = ascii ? -1 : v->charset;
    // A raw CR or LF would end the property, and raw UCS-2 bytes hold NUL, CR and LF: both must be
    // quoted-printable whatever the object's encoding says.
    bool qp = ascii ? lineBreak : (v->encoding == VCARD_ENCODING_QP || lineBreak || charset == VCARD_CHARSET_UCS2);

    std::string bytes;
    switch (charset) {
    case VCARD_CHARSET_LOCAL: {
        std::vector<char> buf(2 * text.size() + 16);
        int32_t len = CsUtil_utf8ToLocal(text.c_str(), buf.data(), static_cast<int32_t>(buf.size()));
        bytes.assign(buf.data(), len > 0 ? static_cast<size_t>(len) : 0);
        break;
    }
    case VCARD_CHARSET_UCS2: {
        std::vector<uint8_t> buf(2 * (text.size() + 1));
        int32_t units = CsUtil_utf8ToUcs2(text.c_str(), buf.data(), static_cast<int32_t>(text.size() + 1));
        bytes.assign(reinterpret_cast<const char *>(buf.data()), units > 0 ? 2 * static_cast<size_t>(units) : 0);
        break;
    }
    case VCARD_CHARSET_UTF7:
        bytes = toUtf7(text);
        break;
    default: // ASCII, or UTF-8 as it stands
        bytes = std::move(text);
        break;
    }

    std::string line(name);
    static const struct {
        int32_t flag;
        const char *word;
    } kFlagWords[] = {{VCARD_FLAG_HOME, "HOME"},   {VCARD_FLAG_WORK, "WORK"},   {VCARD_FLAG_PREF, "PREF"},
                      {VCARD_FLAG_CELL, "CELL"},   {VCARD_FLAG_PAGER, "PAGER"}, {VCARD_FLAG_FAX, "FAX"}};
    for (const auto &fw : kFlagWords)
        if (flags & fw.flag) {
            line.push_back(';');
            line += fw.word;
        }
    if (charset == VCARD_CHARSET_UCS2)
        line += ";CHARSET=UCS2";
    else if (charset == VCARD_CHARSET_UTF8)
        line += ";CHARSET=UTF-8";
    else if (charset == VCARD_CHARSET_UTF7)
        line += ";CHARSET=UTF-7";
    if (qp)
        line += ";ENCODING=QUOTED-PRINTABLE";
    line.push_back(':');

    if (!qp) {
        line += bytes;
    } else {
        static const char kHex[] = "0123456789abcdef";
        for (unsigned char b : bytes) {
            if (b == 0 || b >= 0x80 || b == '\r' || b == '\n') {
                line.push_back('=');
                line.push_back(kHex[b >> 4]);
                line.push_back(kHex[b & 0x0F]);
                // Soft break after each encoded line feed, so the text keeps its lines on the wire;
                // the reader drops the break and the TAB that indents the next line.
                if (b == '\n' && charset != VCARD_CHARSET_UCS2)
                    line += "=\r\n\t";
            } else if (b == '=') {
                line += "=3D"; // RFC 2045: a literal "=" would read as the start of an escape
            } else {
                line.push_back(static_cast<char>(b));
            }
        }
    }
    line += "\r\n";
    return writeAll(v->stream, line);
}

int32_t writeOne(Vcard *v, const char *name, int32_t flags, const char *s) {
    if (!v || !s)
        return DV_E_ARG;
    std::string_view comp(s);
    return writeProperty(v, name, flags, &comp, 1);
}

template <typename F> int32_t guarded(F f) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return DV_E_NOMEM;
    } catch (...) {
        return DV_E_FAIL;
    }
}

} // namespace

extern "C" DV_API Vcard *Vcard_new(AbsFile *stream) {
    if (!stream)
        return nullptr;
    Vcard *v = new (std::nothrow) Vcard;
    if (v)
        v->stream = stream;
    return v;
}

extern "C" DV_API void Vcard_delete(Vcard *v) { delete v; }

extern "C" DV_API int32_t Vcard_setEncodeMethod(Vcard *v, int32_t charset, int32_t encoding) {
    if (!v)
        return DV_E_ARG;
    bool knownCharset = charset == VCARD_CHARSET_LOCAL || charset == VCARD_CHARSET_UCS2 ||
                        charset == VCARD_CHARSET_UTF8 || charset == VCARD_CHARSET_UTF7;
    if (!knownCharset || (encoding != VCARD_ENCODING_NONE && encoding != VCARD_ENCODING_QP))
        return DV_E_ARG;
    v->charset = charset;
    v->encoding = encoding;
    return 0;
}

extern "C" DV_API int32_t Vcard_setDecodeSetting(Vcard *v, int32_t bits) {
    if (!v)
        return DV_E_ARG;
    v->decodeBits = bits;
    return bits;
}

extern "C" DV_API int32_t Vcard_addBeg(Vcard *v) {
    if (!v)
        return DV_E_ARG;
    return guarded([&] { return writeAll(v->stream, "BEGIN:VCARD\r\nVERSION:2.1\r\n"); });
}

extern "C" DV_API int32_t Vcard_addEnd(Vcard *v) {
    if (!v)
        return DV_E_ARG;
    return guarded([&] { return writeAll(v->stream, "END:VCARD\r\n"); });
}

extern "C" DV_API int32_t Vcard_addName(Vcard *v, const char *name) {
    if (!v || !name)
        return DV_E_ARG;
    return guarded([&] {
        std::string_view comps[2] = {std::string_view(), std::string_view(name)};
        return writeProperty(v, "N", 0, comps, 2);
    });
}

extern "C" DV_API int32_t Vcard_addNameExt(Vcard *v, const VcardName *name) {
    if (!v || !name)
        return DV_E_ARG;
    return guarded([&] {
        std::string_view comps[5] = {
            fieldView(name->family, sizeof name->family), fieldView(name->given, sizeof name->given),
            fieldView(name->middle, sizeof name->middle), fieldView(name->prefix, sizeof name->prefix),
            fieldView(name->suffix, sizeof name->suffix)};
        return writeProperty(v, "N", 0, comps, 5);
    });
}

extern "C" DV_API int32_t Vcard_addAddr(Vcard *v, int32_t flags, const VcardAddr *addr) {
    if (!v || !addr)
        return DV_E_ARG;
    return guarded([&] {
        std::string_view comps[7] = {
            fieldView(addr->poBox, sizeof addr->poBox),         fieldView(addr->extended, sizeof addr->extended),
            fieldView(addr->street, sizeof addr->street),       fieldView(addr->locality, sizeof addr->locality),
            fieldView(addr->region, sizeof addr->region),       fieldView(addr->postalCode, sizeof addr->postalCode),
            fieldView(addr->country, sizeof addr->country)};
        return writeProperty(v, "ADR", flags, comps, 7);
    });
}

extern "C" DV_API int32_t Vcard_addBirthday(Vcard *v, const char *s) {
    return guarded([&] { return writeOne(v, "BDAY", 0, s); });
}
extern "C" DV_API int32_t Vcard_addTel(Vcard *v, int32_t flags, const char *s) {
    return guarded([&] { return writeOne(v, "TEL", flags, s); });
}
extern "C" DV_API int32_t Vcard_addMail(Vcard *v, int32_t flags, const char *s) {
    return guarded([&] { return writeOne(v, "EMAIL", flags, s); });
}
extern "C" DV_API int32_t Vcard_addWeb(Vcard *v, int32_t flags, const char *s) {
    return guarded([&] { return writeOne(v, "URL", flags, s); });
}
extern "C" DV_API int32_t Vcard_addOrganize(Vcard *v, const char *s) {
    return guarded([&] { return writeOne(v, "ORG", 0, s); });
}
extern "C" DV_API int32_t Vcard_addTitle(Vcard *v, const char *s) {
    return guarded([&] { return writeOne(v, "TITLE", 0, s); });
}
extern "C" DV_API int32_t Vcard_addNote(Vcard *v, const char *s) {
    return guarded([&] { return writeOne(v, "NOTE", 0, s); });
}
extern "C" DV_API int32_t Vcard_addGrp(Vcard *v, const char *s) {
    return guarded([&] { return writeOne(v, "GRP", 0, s); });
}
