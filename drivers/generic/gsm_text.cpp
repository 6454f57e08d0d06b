// The GSM 03.38 default alphabet against Unicode, and valid UTF-8 from handset bytes.

#include "gsm_text.h"

namespace gsmtext {

namespace {

constexpr uint16_t kGsmDefault[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, // @ £ $ ¥ è é ù ì
    0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8, 0x000D, 0x00C5, 0x00E5, // ò Ç LF Ø ø CR Å å
    0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8, // Δ _ Φ Γ Λ Ω Π Ψ
    0x03A3, 0x0398, 0x039E, 0x0020, 0x00C6, 0x00E6, 0x00DF, 0x00C9, // Σ Θ Ξ (ESC) Æ æ ß É
    0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026, 0x0027, //   ! " # ¤ % & '
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, // ( ) * + , - . /
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, // 0-7
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, // 8 9 : ; < = > ?
    0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, // ¡ A-G
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, // H-O
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, // P-W
    0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7, // X Y Z Ä Ö Ñ Ü §
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, // ¿ a-g
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F, // h-o
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, // p-w
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0, // x y z ä ö ñ ü à
};

struct GsmExt {
    uint8_t code;
    uint16_t ch;
};
constexpr GsmExt kGsmExtension[] = {
    {0x0A, 0x000C}, {0x14, 0x005E}, {0x28, 0x007B}, {0x29, 0x007D}, {0x2F, 0x005C},
    {0x3C, 0x005B}, {0x3D, 0x007E}, {0x3E, 0x005D}, {0x40, 0x007C}, {0x65, 0x20AC},
};

bool isScalar(uint32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// One well-formed UTF-8 sequence at s[i]: its length and value, or 0 when s[i] starts none.
size_t utf8At(std::string_view s, size_t i, uint32_t *cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t v, min;
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        n = 2, v = b0 & 0x1Fu, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, v = b0 & 0x0Fu, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, v = b0 & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < n)
        return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        v = v << 6 | (b & 0x3Fu);
    }
    if (v < min || !isScalar(v))
        return 0;
    *cp = v;
    return n;
}

bool isControl(uint32_t cp) { return cp < 0x20 || cp == 0x7F; }

} // namespace

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

uint32_t fromDefault(uint8_t code) { return kGsmDefault[code & 0x7F]; }

uint32_t fromExtension(uint8_t code) {
    for (const GsmExt &e : kGsmExtension)
        if (e.code == code)
            return e.ch;
    if (code == kEsc)
        return 0x20;
    return kGsmDefault[code & 0x7F];
}

bool toGsm(uint32_t cp, std::string *out) {
    for (unsigned i = 0; i < 128; ++i) {
        // The escape is never a character of its own.
        if (i != kEsc && kGsmDefault[i] == cp) {
            out->push_back(static_cast<char>(i));
            return true;
        }
    }
    for (const GsmExt &e : kGsmExtension) {
        if (e.ch == cp) {
            out->push_back(static_cast<char>(kEsc));
            out->push_back(static_cast<char>(e.code));
            return true;
        }
    }
    return false;
}

void appendUtf8(std::string *out, uint32_t cp) {
    if (!isScalar(cp))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | cp >> 6));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | cp >> 12));
        out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | cp >> 18));
        out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string codesToUtf8(std::string_view codes) {
    std::string out;
    for (size_t i = 0; i < codes.size(); ++i) {
        const auto c = static_cast<unsigned char>(codes[i]);
        uint32_t cp;
        if (c > 0x7F)
            cp = 0xFFFD;
        else if (c == kEsc)
            cp = i + 1 < codes.size() ? fromExtension(static_cast<uint8_t>(codes[++i]) & 0x7F) : 0x20;
        else
            cp = kGsmDefault[c];
        appendUtf8(&out, cp);
    }
    return out;
}

bool utf8ToCodes(std::string_view utf8, std::string *out) {
    std::string codes;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        const size_t n = utf8At(utf8, i, &cp);
        if (n == 0 || !toGsm(cp, &codes))
            return false;
        i += n;
    }
    *out = std::move(codes);
    return true;
}

std::string fieldToUtf8(std::string_view field) {
    std::string codes;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 2 < field.size() && hexValue(field[i + 1]) >= 0 &&
            hexValue(field[i + 2]) >= 0) {
            codes.push_back(static_cast<char>(hexValue(field[i + 1]) << 4 | hexValue(field[i + 2])));
            i += 2;
        } else {
            codes.push_back(field[i]);
        }
    }
    return codesToUtf8(codes);
}

bool utf8ToField(std::string_view utf8, std::string *out) {
    // A line break or another control character in a name is never meant: refused, not escaped.
    for (char ch : utf8)
        if (isControl(static_cast<unsigned char>(ch)))
            return false;
    std::string codes;
    if (!utf8ToCodes(utf8, &codes))
        return false;
    static const char kHex[] = "0123456789ABCDEF";
    std::string field;
    for (char ch : codes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            field.push_back('\\');
            field.push_back(kHex[c >> 4]);
            field.push_back(kHex[c & 0xF]);
        } else {
            field.push_back(ch);
        }
    }
    *out = std::move(field);
    return true;
}

std::string withoutZeroEscapes(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s.substr(i, 3) == "\\00") {
            i += 2;
            continue;
        }
        out.push_back(s[i]);
    }
    return out;
}

std::string cleanUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        uint32_t cp = 0;
        const size_t n = utf8At(bytes, i, &cp);
        if (n == 0) {
            appendUtf8(&out, 0xFFFD);
            ++i;
            continue;
        }
        if (!isControl(cp))
            out.append(bytes.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace gsmtext
