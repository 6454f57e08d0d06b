// Text conversions of the simulated handset (3GPP 23.038 default alphabet, UCS2, UTF-8).

#include "sim_charset.h"

#include <array>
#include <cstdio>

namespace handsetsim::cs {

namespace {

// 3GPP 23.038 6.2.1, the default alphabet; 0x1B is the escape to the extension table.
constexpr std::array<char32_t, 128> kGsmDefault = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, 0x00F2, 0x00C7, 0x000A, 0x00D8, 0x00F8,
    0x000D, 0x00C5, 0x00E5, 0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8, 0x03A3, 0x0398,
    0x039E, 0x0020, 0x00C6, 0x00E6, 0x00DF, 0x00C9, 0x0020, 0x0021, 0x0022, 0x0023, 0x00A4, 0x0025, 0x0026,
    0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033,
    0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x00A1,
    0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D,
    0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A,
    0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7, 0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074,
    0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,
};

struct ExtRow {
    uint8_t code;
    char32_t ch;
};
// 3GPP 23.038 6.2.1.1, the default extension table.
constexpr ExtRow kGsmExtension[] = {
    {0x0A, 0x000C}, {0x14, 0x005E}, {0x28, 0x007B}, {0x29, 0x007D}, {0x2F, 0x005C},
    {0x3C, 0x005B}, {0x3D, 0x007E}, {0x3E, 0x005D}, {0x40, 0x007C}, {0x65, 0x20AC},
};

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

} // namespace

void appendUtf8(std::string &out, char32_t c) {
    if (!isScalar(c))
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

namespace {

// One UTF-8 sequence from in[i]; advances i. Returns false (and advances by one) when malformed.
bool nextUtf8(std::string_view in, size_t &i, char32_t &c) {
    const auto b0 = static_cast<uint8_t>(in[i]);
    size_t n;
    char32_t min;
    if (b0 < 0x80) {
        c = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        n = 1, min = 0x80, c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 2, min = 0x800, c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 3, min = 0x10000, c = b0 & 0x07;
    } else {
        ++i;
        return false;
    }
    if (in.size() - i - 1 < n) {
        ++i;
        return false;
    }
    for (size_t k = 1; k <= n; ++k) {
        const auto b = static_cast<uint8_t>(in[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || !isScalar(c)) {
        ++i;
        return false;
    }
    i += n + 1;
    return true;
}

} // namespace

bool decodeUtf8(std::string_view in, std::u32string &out) {
    out.clear();
    for (size_t i = 0; i < in.size();) {
        char32_t c;
        if (!nextUtf8(in, i, c))
            return false;
        out.push_back(c);
    }
    return true;
}

std::u32string decodeUtf8Lenient(std::string_view in) {
    std::u32string out;
    for (size_t i = 0; i < in.size();) {
        char32_t c;
        out.push_back(nextUtf8(in, i, c) ? c : 0xFFFD);
    }
    return out;
}

std::string encodeUtf8(const std::u32string &in) {
    std::string out;
    for (char32_t c : in)
        appendUtf8(out, c);
    return out;
}

bool toGsm(char32_t c, std::vector<uint8_t> &out) {
    for (size_t i = 0; i < kGsmDefault.size(); ++i) {
        // 0x1B is the escape, never a character of its own.
        if (i != 0x1B && kGsmDefault[i] == c) {
            out.push_back(static_cast<uint8_t>(i));
            return true;
        }
    }
    for (const auto &row : kGsmExtension) {
        if (row.ch == c) {
            out.push_back(0x1B);
            out.push_back(row.code);
            return true;
        }
    }
    return false;
}

char32_t fromGsm(uint8_t code) {
    return kGsmDefault[code & 0x7F];
}

char32_t fromGsmExtension(uint8_t code) {
    for (const auto &row : kGsmExtension)
        if (row.code == code)
            return row.ch;
    // 23.038: an unknown extension code is shown as the default-table character.
    return fromGsm(code);
}

std::vector<uint16_t> toUtf16(const std::u32string &in) {
    std::vector<uint16_t> out;
    for (char32_t c : in) {
        if (!isScalar(c))
            c = 0xFFFD;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<uint16_t>(c));
        }
    }
    return out;
}

std::u32string fromUtf16(const std::vector<uint16_t> &units) {
    std::u32string out;
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

bool charsetByName(std::string_view name, Charset &out) {
    std::string up;
    for (char c : name)
        up.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    if (up == "GSM")
        out = Charset::Gsm;
    else if (up == "IRA")
        out = Charset::Ira;
    else if (up == "UCS2")
        out = Charset::Ucs2;
    else if (up == "UTF-8" || up == "UTF8")
        out = Charset::Utf8;
    else if (up == "8859-1")
        out = Charset::Latin1;
    else
        return false;
    return true;
}

const char *charsetName(Charset c) {
    switch (c) {
    case Charset::Gsm:
        return "GSM";
    case Charset::Ira:
        return "IRA";
    case Charset::Ucs2:
        return "UCS2";
    case Charset::Utf8:
        return "UTF-8";
    case Charset::Latin1:
        return "8859-1";
    }
    return "GSM";
}

std::string encodeText(Charset cs, const std::u32string &text) {
    std::string out;
    switch (cs) {
    case Charset::Gsm: {
        std::vector<uint8_t> codes;
        for (char32_t c : text)
            if (!toGsm(c, codes))
                codes.push_back(0x3F);
        out.assign(codes.begin(), codes.end());
        break;
    }
    case Charset::Ira:
        for (char32_t c : text)
            out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        break;
    case Charset::Latin1:
        for (char32_t c : text)
            out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        break;
    case Charset::Utf8:
        out = encodeUtf8(text);
        break;
    case Charset::Ucs2:
        for (uint16_t u : toUtf16(text)) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "%04X", u);
            out += buf;
        }
        break;
    }
    return out;
}

bool decodeText(Charset cs, std::string_view wire, std::u32string &out) {
    out.clear();
    switch (cs) {
    case Charset::Gsm:
        for (size_t i = 0; i < wire.size(); ++i) {
            const auto b = static_cast<uint8_t>(wire[i]);
            if (b > 0x7F)
                return false;
            if (b == 0x1B) {
                if (i + 1 >= wire.size() || static_cast<uint8_t>(wire[i + 1]) > 0x7F)
                    return false;
                out.push_back(fromGsmExtension(static_cast<uint8_t>(wire[++i])));
            } else {
                out.push_back(fromGsm(b));
            }
        }
        return true;
    case Charset::Ira:
        for (char ch : wire) {
            if (static_cast<uint8_t>(ch) > 0x7F)
                return false;
            out.push_back(static_cast<uint8_t>(ch));
        }
        return true;
    case Charset::Latin1:
        for (char ch : wire)
            out.push_back(static_cast<uint8_t>(ch));
        return true;
    case Charset::Utf8:
        return decodeUtf8(wire, out);
    case Charset::Ucs2: {
        if (wire.size() % 4 != 0)
            return false;
        std::vector<uint16_t> units;
        for (size_t i = 0; i < wire.size(); i += 4) {
            unsigned u = 0;
            for (size_t k = 0; k < 4; ++k) {
                const int v = hexValue(wire[i + k]);
                if (v < 0)
                    return false;
                u = (u << 4) | static_cast<unsigned>(v);
            }
            units.push_back(static_cast<uint16_t>(u));
        }
        out = fromUtf16(units);
        return true;
    }
    }
    return false;
}

std::string escapeGsmField(std::string_view codes) {
    std::string out;
    for (char ch : codes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b == 0 || b == '"' || b == '\\' || b == '\r' || b == '\n') {
            char buf[4];
            std::snprintf(buf, sizeof buf, "\\%02X", b);
            out += buf;
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::string unescapeField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 2 < field.size() && hexValue(field[i + 1]) >= 0 && hexValue(field[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(field[i + 1]) << 4 | hexValue(field[i + 2])));
            i += 2;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

} // namespace handsetsim::cs
