// GSM 03.38 7-bit packing, GSM 03.40 address fields and time stamps, swapped BCD and hex text.
//
// Every decoder here reads handset data: counts inside a field are never trusted beyond the bytes
// the caller says are there, and every output is bounded by its size.

#include "dv_charset.h"
#include "charset/charset_int.h"
#include "dv_result.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using dvcs::hexValue;

constexpr uint8_t kTypeInternational = 0x91;
constexpr uint8_t kTypeUnknown = 0x81;
constexpr uint8_t kTypeAlphanumeric = 0xD0;

size_t sizeOf(int32_t n) { return n > 0 ? static_cast<size_t>(n) : 0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Octets that k septets take after f fill bits.
size_t packedOctets(size_t k, unsigned f) { return (7 * k + f + 7) / 8; }

size_t pack7(uint8_t *out, size_t outSize, const char *chars, size_t n, unsigned fill) {
    // Take only the septets whose octets all fit.
    while (n > 0 && packedOctets(n, fill) > outSize)
        --n;
    size_t o = 0;
    uint32_t acc = 0;
    unsigned bits = fill; // the fill bits are zero bits at the bottom of the first octet
    for (size_t i = 0; i < n; ++i) {
        acc |= static_cast<uint32_t>(static_cast<uint8_t>(chars[i]) & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out[o++] = static_cast<uint8_t>(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0 && n > 0)
        out[o++] = static_cast<uint8_t>(acc & 0xFF);
    return o;
}

// Unpacks at most maxChars septets from n octets, skipping `fill` leading bits.
size_t unpack7(char *out, size_t maxChars, const uint8_t *octets, size_t n, unsigned fill) {
    size_t avail = n * 8 > fill ? (n * 8 - fill) / 7 : 0;
    size_t count = avail < maxChars ? avail : maxChars;
    for (size_t i = 0; i < count; ++i) {
        size_t bit = fill + 7 * i;
        size_t byte = bit / 8;
        unsigned shift = bit % 8;
        uint32_t v = octets[byte] >> shift;
        if (shift > 1) // the septet runs into the next octet, which is there by the count above
            v |= static_cast<uint32_t>(octets[byte + 1]) << (8 - shift);
        out[i] = static_cast<char>(v & 0x7F);
    }
    return count;
}

// Swapped BCD digits into out (room for maxDigits). Plain BCD skips nibbles 10-15; an address value
// reads 10-14 as "*", "#", "a", "b", "c" (GSM 03.40 9.1.2.3), so service codes keep their symbols.
// 15 is the fill of an odd count either way.
size_t bcdDigits(char *out, size_t maxDigits, const uint8_t *octets, size_t n, bool address = false) {
    static const char kAddress[] = "0123456789*#abc";
    size_t k = 0;
    for (size_t i = 0; i < n && k < maxDigits; ++i) {
        uint8_t nibbles[2] = {static_cast<uint8_t>(octets[i] & 0x0F), static_cast<uint8_t>(octets[i] >> 4)};
        for (uint8_t d : nibbles) {
            if (k >= maxDigits)
                break;
            if (d <= 9)
                out[k++] = static_cast<char>('0' + d);
            else if (address && d < 15)
                out[k++] = kAddress[d];
        }
    }
    return k;
}

// Swapped BCD of the decimal digits of s[0..len), F (or 0) fill; only whole octets that fit.
size_t bcdPack(uint8_t *out, size_t outSize, const char *s, size_t len, bool fillF) {
    size_t o = 0;
    int pending = -1;
    for (size_t i = 0; i < len; ++i) {
        if (!isDigit(s[i]))
            continue;
        int d = s[i] - '0';
        if (pending < 0) {
            pending = d;
            continue;
        }
        if (o >= outSize)
            return o;
        out[o++] = static_cast<uint8_t>(pending | (d << 4));
        pending = -1;
    }
    if (pending >= 0 && o < outSize)
        out[o++] = static_cast<uint8_t>(pending | (fillF ? 0xF0 : 0x00));
    return o;
}

size_t countDigits(const char *s, size_t len) {
    size_t k = 0;
    for (size_t i = 0; i < len; ++i)
        k += isDigit(s[i]) ? 1 : 0;
    return k;
}

int32_t toResult(size_t n) { return static_cast<int32_t>(n); }

} // namespace

// ---- 7-bit packing ----

extern "C" int32_t GsmUtil_enc7BitStr(uint8_t *out, int32_t outSize, const char *chars, int32_t n,
                                      int32_t fillBits) {
    if (fillBits < 0 || fillBits > 6)
        return DV_E_ARG;
    if (n <= 0 || outSize <= 0)
        return 0;
    if (!out || !chars)
        return DV_E_ARG;
    return toResult(pack7(out, sizeOf(outSize), chars, sizeOf(n), static_cast<unsigned>(fillBits)));
}

extern "C" int32_t GsmUtil_dec7BitStr(char *out, int32_t outSize, const uint8_t *octets, int32_t n,
                                      int32_t fillBits) {
    if (fillBits < 0 || fillBits > 6 || (outSize > 0 && !out))
        return DV_E_ARG;
    if (outSize <= 0)
        return 0;
    size_t count = 0;
    if (n > 0) {
        if (!octets) {
            out[0] = '\0';
            return DV_E_ARG;
        }
        count = unpack7(out, sizeOf(outSize) - 1, octets, sizeOf(n), static_cast<unsigned>(fillBits));
    }
    out[count] = '\0';
    return toResult(count);
}

// ---- Address fields ----

extern "C" int32_t GsmUtil_getNoPduLen(const uint8_t *field, int32_t len, int32_t isTpAddress) {
    if (!field)
        return DV_E_ARG;
    if (len < 1)
        return DV_E_MALFORMED;
    int32_t total = isTpAddress ? (field[0] + 1) / 2 + 2 : field[0] + 1;
    return total > len ? DV_E_MALFORMED : total;
}

extern "C" int32_t GsmUtil_encNo(uint8_t *out, int32_t outSize, const char *number, int32_t isTpAddress) {
    if (!out || !number)
        return DV_E_ARG;
    size_t len = std::strlen(number);
    bool plus = len > 0 && number[0] == '+';
    bool alnum = false;
    for (size_t i = plus ? 1 : 0; i < len; ++i)
        alnum = alnum || !isDigit(number[i]);

    uint8_t type;
    size_t valueOctets, tpLength;
    const char *digits = number;
    size_t digitLen = len;
    if (alnum) {
        type = kTypeAlphanumeric;
        valueOctets = packedOctets(len, 0);
        tpLength = (7 * len + 3) / 4; // GSM 03.40: the length of an alphanumeric address is in semi-octets
    } else {
        type = plus ? kTypeInternational : kTypeUnknown;
        if (plus) {
            ++digits;
            --digitLen;
        }
        tpLength = countDigits(digits, digitLen);
        valueOctets = (tpLength + 1) / 2;
    }
    size_t lengthOctet = isTpAddress ? tpLength : valueOctets + 1;
    size_t total = valueOctets + 2;
    if (lengthOctet > 0xFF || total > sizeOf(outSize))
        return DV_E_ARG;

    out[0] = static_cast<uint8_t>(lengthOctet);
    out[1] = type;
    size_t written = alnum ? pack7(out + 2, valueOctets, number, len, 0)
                           : bcdPack(out + 2, valueOctets, digits, digitLen, true);
    return toResult(written + 2);
}

extern "C" int32_t GsmUtil_decNo(char *out, int32_t outSize, const uint8_t *field, int32_t len,
                                 int32_t isTpAddress) {
    if (!out)
        return outSize > 0 ? DV_E_ARG : 0;
    if (outSize <= 0)
        return 0;
    out[0] = '\0';
    if (!field)
        return len > 0 ? DV_E_ARG : 0;
    size_t have = sizeOf(len);
    if (have < 2)
        return 0; // no type octet: an empty number ("00" service centre, or a cut field)
    size_t first = field[0];
    // The service-centre length counts the type octet too, and handsets send "00" for no centre.
    if (!isTpAddress && first == 0)
        return 0;
    size_t valueOctets = isTpAddress ? (first + 1) / 2 : first - 1;
    uint8_t type = field[1];
    const uint8_t *value = field + 2;
    if (valueOctets > have - 2)
        valueOctets = have - 2;

    size_t room = sizeOf(outSize) - 1;
    size_t k = 0;
    if (type == kTypeAlphanumeric) {
        size_t septets = isTpAddress ? first * 4 / 7 : valueOctets * 8 / 7;
        k = unpack7(out, septets < room ? septets : room, value, valueOctets, 0);
    } else {
        if (type == kTypeInternational && k < room)
            out[k++] = '+';
        k += bcdDigits(out + k, room - k, value, valueOctets, true);
    }
    out[k] = '\0';
    return toResult(k);
}

// ---- Time stamps ----

extern "C" int32_t GsmUtil_encObsTime(uint8_t *out, const int16_t *time) {
    if (!out || !time)
        return DV_E_ARG;
    // Years outside 1901..2099 still give valid BCD: only the two low digits travel.
    for (int i = 0; i < 6; ++i)
        out[i] = Bcd_encFromInt(time[i]);
    out[6] = 0;
    return 7;
}

extern "C" int32_t GsmUtil_decObsTime(int16_t *time, const uint8_t *octets) {
    if (!time || !octets)
        return DV_E_ARG;
    for (int i = 0; i < 6; ++i)
        time[i] = static_cast<int16_t>(Bcd_decToInt(octets[i]));
    uint8_t z = octets[6];
    int32_t quarters = (z >> 4) + 10 * (z & 0x07);
    int32_t hours = quarters / 4;
    if (z & 0x08)
        hours = -hours;
    time[6] = static_cast<int16_t>(hours);
    return hours;
}

// ---- Swapped BCD ----

extern "C" int32_t Bcd_enc(uint8_t *out, int32_t outSize, const char *digits, int32_t fillF) {
    if (!out || !digits)
        return DV_E_ARG;
    return toResult(bcdPack(out, sizeOf(outSize), digits, std::strlen(digits), fillF != 0));
}

extern "C" int32_t Bcd_dec(char *out, int32_t outSize, const uint8_t *octets, int32_t n) {
    if (!out)
        return outSize > 0 ? DV_E_ARG : 0;
    if (outSize <= 0)
        return 0;
    size_t k = 0;
    if (n > 0) {
        if (!octets) {
            out[0] = '\0';
            return DV_E_ARG;
        }
        k = bcdDigits(out, sizeOf(outSize) - 1, octets, sizeOf(n));
    }
    out[k] = '\0';
    return toResult(k);
}

extern "C" int32_t Bcd_decToInt(uint8_t octet) { return (octet >> 4) + 10 * (octet & 0x0F); }

extern "C" uint8_t Bcd_encFromInt(int32_t v) {
    int32_t m = ((v % 100) + 100) % 100;
    return static_cast<uint8_t>((m % 10) * 16 + m / 10);
}

// ---- Hex text ----

extern "C" int32_t IraUtil_iraToBuf(const char *hex, uint8_t *out, int32_t outSize) {
    if (!hex || !out)
        return DV_E_ARG;
    if (outSize <= 0)
        return 0;
    size_t room = sizeOf(outSize) - 1;
    size_t k = 0;
    // Walk pairs without measuring the text first: a terminator ends the walk wherever it falls.
    while (k < room) {
        int hi = hexValue(hex[2 * k]);
        if (hi < 0)
            break;
        int lo = hexValue(hex[2 * k + 1]);
        if (lo < 0)
            break;
        out[k++] = static_cast<uint8_t>(hi * 16 + lo);
    }
    out[k] = 0;
    return toResult(k);
}

extern "C" int32_t IraUtil_bufToIra(const uint8_t *bytes, int32_t n, char *out, int32_t outSize) {
    if (!out)
        return outSize > 0 ? DV_E_ARG : 0;
    if (outSize <= 0)
        return 0;
    static const char kDigits[] = "0123456789abcdef";
    size_t count = sizeOf(n);
    size_t fit = (sizeOf(outSize) - 1) / 2;
    if (count > fit)
        count = fit;
    if (count > 0 && !bytes) {
        out[0] = '\0';
        return DV_E_ARG;
    }
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    out[2 * count] = '\0';
    return toResult(2 * count);
}
