// Helpers shared by the PDU codec tests: hex text, an independent 7-bit packer (so the tests do not
// check the codec against the library routines it calls), a UTF-8 validator, and heap copies of
// exactly the bytes under test (so AddressSanitizer sees any read past them).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sms_pdu.h"

namespace pdutest {

// Names table rows after their `name` field, in test names and in failure messages.
struct CaseName {
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P> &i) const {
        return i.param.name;
    }
};

inline std::vector<uint8_t> fromHex(const std::string &hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string toHex(const uint8_t *p, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

// GSM septets packed LSB first after `fill` zero bits (23.038 6.1.2.1.1).
inline std::vector<uint8_t> pack7(const std::vector<uint8_t> &septets, unsigned fill = 0) {
    std::vector<uint8_t> out((septets.size() * 7 + fill + 7) / 8, 0);
    size_t bit = fill;
    for (uint8_t s : septets) {
        for (int b = 0; b < 7; ++b, ++bit)
            if (s >> b & 1)
                out[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    }
    return out;
}

inline bool isValidUtf8(const char *s, size_t n) {
    const auto *p = reinterpret_cast<const unsigned char *>(s);
    for (size_t i = 0; i < n;) {
        const unsigned c = p[i];
        size_t k = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (k == 0 || i + k > n)
            return false;
        for (size_t j = 1; j < k; ++j)
            if ((p[i + j] & 0xC0) != 0x80)
                return false;
        i += k;
    }
    return true;
}

// Exactly n bytes on the heap: a read past them is an AddressSanitizer report.
struct ExactBytes {
    std::unique_ptr<uint8_t[]> buf;
    size_t n;
    ExactBytes(const uint8_t *p, size_t len) : buf(new uint8_t[len ? len : 1]), n(len) {
        if (len)
            std::memcpy(buf.get(), p, len);
    }
    const uint8_t *data() const { return buf.get(); }
};

inline int32_t decodeExact(const std::vector<uint8_t> &bytes, size_t n, SmsPduRec &rec) {
    ExactBytes copy(bytes.data(), n);
    return SmsPdu_decode(copy.data(), n, &rec);
}

inline bool allZero(const void *p, size_t n) {
    const auto *b = static_cast<const uint8_t *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

inline std::string text(const SmsPduRec &rec) { return std::string(reinterpret_cast<const char *>(rec.data)); }

// A DELIVER from +491701234567 at 05-03-17 14:30:00 +8 h with the given first octet, coding and
// user data (TP-UDL first).
inline std::string deliverHex(const std::string &first, const std::string &dcs, const std::string &udlAndUd,
                              const std::string &zone = "23") {
    return first + "0C91947110325476" + "00" + dcs + "503071410300" + zone + udlAndUd;
}

} // namespace pdutest
