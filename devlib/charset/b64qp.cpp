// Base64 (RFC 4648) and quoted-printable (RFC 2045), as vCard 2.1 values carry them.

#include "dv_charset.h"
#include "charset/charset_int.h"
#include "dv_result.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using dvcs::b64Value;
using dvcs::hexValue;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void encodeGroup(const uint8_t *src, size_t n, char *out4) {
    uint32_t v = static_cast<uint32_t>(src[0]) << 16;
    if (n > 1)
        v |= static_cast<uint32_t>(src[1]) << 8;
    if (n > 2)
        v |= src[2];
    out4[0] = kAlphabet[(v >> 18) & 0x3F];
    out4[1] = kAlphabet[(v >> 12) & 0x3F];
    out4[2] = n > 1 ? kAlphabet[(v >> 6) & 0x3F] : '=';
    out4[3] = n > 2 ? kAlphabet[v & 0x3F] : '=';
}

// 3, 2 or 1 bytes, or 0 for a bad group; in4 holds 4 characters.
int decodeGroup(const char *in4, uint8_t *out3) {
    int v[4];
    int pad = 0;
    for (int i = 0; i < 4; ++i) {
        if (in4[i] == '=') {
            v[i] = 0;
            ++pad;
            continue;
        }
        if (pad > 0) // "=" is only padding: nothing may follow it inside the group
            return 0;
        v[i] = b64Value(in4[i]);
        if (v[i] < 0)
            return 0;
    }
    if (pad > 2)
        return 0;
    uint32_t bits = (static_cast<uint32_t>(v[0]) << 18) | (static_cast<uint32_t>(v[1]) << 12) |
                    (static_cast<uint32_t>(v[2]) << 6) | static_cast<uint32_t>(v[3]);
    out3[0] = static_cast<uint8_t>(bits >> 16);
    out3[1] = static_cast<uint8_t>(bits >> 8);
    out3[2] = static_cast<uint8_t>(bits);
    return 3 - pad;
}

char *encodeBase64(const uint8_t *bytes, size_t n) {
    size_t len = (n + 2) / 3 * 4;
    auto *text = static_cast<char *>(std::malloc(len + 1));
    if (!text)
        return nullptr;
    size_t o = 0;
    for (size_t i = 0; i < n; i += 3, o += 4)
        encodeGroup(bytes + i, n - i < 3 ? n - i : 3, text + o);
    text[o] = '\0';
    return text;
}

// Decodes whole groups of text into out (room bytes; may be text itself). Answers the bytes written
// and sets *consumed to the characters used up, so an incomplete group can be fed again.
size_t decodeBase64(const char *text, size_t *consumed, uint8_t *out, size_t room) {
    size_t i = 0, o = 0;
    *consumed = 0;
    for (;;) {
        char group[4];
        size_t got = 0, j = i;
        while (got < 4 && text[j] != 0) {
            if (text[j] != '\r' && text[j] != '\n')
                group[got++] = text[j];
            ++j;
        }
        if (got < 4)
            break; // an incomplete group waits for the next piece
        uint8_t bytes[3];
        int n = decodeGroup(group, bytes);
        if (n == 0 || o + static_cast<size_t>(n) > room)
            break;
        // The group is read before it is written: out never passes the text it decodes in place.
        std::memcpy(out + o, bytes, static_cast<size_t>(n));
        o += static_cast<size_t>(n);
        i = j;
        *consumed = i;
    }
    return o;
}

int32_t toResult(size_t n) { return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n); }

} // namespace

extern "C" int32_t Base64_encode(const uint8_t *src, int32_t n, char *out4) {
    if (n <= 0)
        return 0;
    if (!src || !out4)
        return DV_E_ARG;
    encodeGroup(src, n < 3 ? static_cast<size_t>(n) : 3, out4);
    return 4;
}

extern "C" int32_t Base64_decode(const char *in4, uint8_t *out3) {
    if (!in4 || !out3)
        return 0;
    // Stop at a terminator rather than read the characters after it.
    for (int i = 0; i < 4; ++i)
        if (in4[i] == '\0')
            return 0;
    return decodeGroup(in4, out3);
}

extern "C" char *Base64_encodeBuf(const uint8_t *bytes, int32_t n) {
    if (n <= 0 || !bytes)
        return nullptr;
    return encodeBase64(bytes, static_cast<size_t>(n));
}

extern "C" char *Base64_encodeChars(const char *s) {
    if (!s || !*s)
        return nullptr;
    return encodeBase64(reinterpret_cast<const uint8_t *>(s), std::strlen(s));
}

extern "C" char *Base64_decodeChars(const char *s) {
    if (!s)
        return nullptr;
    size_t len = std::strlen(s);
    if (len < 4)
        return nullptr;
    auto *out = static_cast<char *>(std::malloc(len / 4 * 3 + 1));
    if (!out)
        return nullptr;
    size_t consumed;
    size_t n = decodeBase64(s, &consumed, reinterpret_cast<uint8_t *>(out), len / 4 * 3);
    out[n] = '\0';
    return out;
}

extern "C" int32_t Base64_decodeBuf(const char *text, int32_t *n, uint8_t *out, int32_t outSize) {
    if (n)
        *n = 0;
    if (!text || !n || (!out && outSize > 0))
        return DV_E_ARG;
    size_t consumed;
    size_t o = decodeBase64(text, &consumed, out, outSize > 0 ? static_cast<size_t>(outSize) : 0);
    *n = toResult(consumed);
    return toResult(o);
}

extern "C" int32_t Qp_decode(const char *in3, uint8_t *out) {
    if (!in3 || !out || in3[0] != '=')
        return 0;
    int hi = hexValue(in3[1]);
    if (hi < 0)
        return 0;
    int lo = hexValue(in3[2]);
    if (lo < 0)
        return 0;
    *out = static_cast<uint8_t>(hi * 16 + lo);
    return 1;
}

extern "C" int32_t Qp_decodeBuf(const char *text, int32_t *n, uint8_t *out, int32_t outSize) {
    if (n)
        *n = 0;
    if (!text || !n || (!out && outSize > 0))
        return DV_E_ARG;
    size_t room = outSize > 0 ? static_cast<size_t>(outSize) : 0;
    size_t i = 0, o = 0;
    while (text[i] != 0) {
        if (text[i] != '=') {
            // "_" stays "_": it means a blank only in RFC 2047 headers, and vCard addresses hold it.
            if (o >= room)
                break;
            out[o++] = static_cast<uint8_t>(text[i++]);
            continue;
        }
        if (text[i + 1] == 0 || text[i + 2] == 0)
            break; // the rest of the escape comes with the next piece
        if (text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 3; // soft line break
            continue;
        }
        uint8_t byte;
        if (!Qp_decode(text + i, &byte)) {
            ++i; // a lone "=" is dropped; the characters after it stay
            continue;
        }
        if (o >= room)
            break;
        out[o++] = byte;
        i += 3;
    }
    *n = toResult(i);
    return toResult(o);
}

extern "C" char *Qp_encodeBuf(const uint8_t *bytes, int32_t n) {
    if (n <= 0 || !bytes)
        return nullptr;
    static const char kDigits[] = "0123456789abcdef";
    size_t count = static_cast<size_t>(n);
    auto *text = static_cast<char *>(std::malloc(3 * count + 1));
    if (!text)
        return nullptr;
    for (size_t i = 0; i < count; ++i) {
        text[3 * i] = '=';
        text[3 * i + 1] = kDigits[bytes[i] >> 4];
        text[3 * i + 2] = kDigits[bytes[i] & 0x0F];
    }
    text[3 * count] = '\0';
    return text;
}
