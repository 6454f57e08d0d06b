// Fuzz entry for the SMS PDU decoder, fed the TPDU a handset lists (service-centre field removed).
// Promise on any input: a message type or an error, nothing read past the bytes given, a zeroed
// record on error, texts terminated within their fields and valid UTF-8; a decoded SUBMIT encodes
// again or is refused, and what encodes decodes.

#include "fuzz/fuzz_check.h"
#include "sms_pdu.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool validUtf8(const char *s, size_t n) {
    const auto *p = reinterpret_cast<const unsigned char *>(s);
    for (size_t i = 0; i < n;) {
        const unsigned c = p[i];
        const size_t k = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (k == 0 || i + k > n)
            return false;
        for (size_t j = 1; j < k; ++j)
            if ((p[i + j] & 0xC0) != 0x80)
                return false;
        i += k;
    }
    return true;
}

bool allZero(const void *p, size_t n) {
    const auto *b = static_cast<const uint8_t *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so that a read past the TPDU is a sanitizer report.
    std::vector<uint8_t> tpdu(data, data + size);
    static const uint8_t kNone = 0;
    const uint8_t *p = tpdu.empty() ? &kNone : tpdu.data();

    SmsPduRec rec;
    const int32_t type = SmsPdu_decode(p, size, &rec);
    FUZZ_CHECK(type == -51 || type == -81 || (type >= 0 && type <= 2));
    SmsRecord out;
    const int32_t built = SmsPdu_decodeRecord(p, size, &out);
    if (type < 0) {
        FUZZ_CHECK(allZero(&rec, sizeof rec));
        FUZZ_CHECK(built == -51 && allZero(&out, sizeof out));
        return 0;
    }
    FUZZ_CHECK(built == 0);
    FUZZ_CHECK(strnlen(rec.address, sizeof rec.address) < sizeof rec.address);
    FUZZ_CHECK(validUtf8(rec.address, std::strlen(rec.address)));
    FUZZ_CHECK(rec.udhLen <= sizeof rec.udh);
    if (!rec.binary) {
        const char *text = reinterpret_cast<const char *>(rec.data);
        FUZZ_CHECK(strnlen(text, sizeof rec.data) == rec.dataLen);
        FUZZ_CHECK(validUtf8(text, rec.dataLen));
    } else {
        FUZZ_CHECK(rec.dataLen <= 140);
    }
    FUZZ_CHECK(strnlen(out.text, sizeof out.text) < sizeof out.text);
    FUZZ_CHECK(strnlen(out.number, sizeof out.number) < sizeof out.number);
    FUZZ_CHECK(out.kind == (type == 1 ? 2 : 1));

    if (type == 1) {
        uint8_t again[SMS_PDU_SUBMIT_BUF];
        // The decoder keeps the validity octet; the encoder wants minutes.
        rec.submit.validity = 0;
        const int32_t n = SmsPdu_encodeSubmit(&rec, again, sizeof again);
        FUZZ_CHECK(n == -81 || (n > 0 && n <= 158));
        if (n > 0) {
            SmsPduRec back;
            FUZZ_CHECK(SmsPdu_decode(again, static_cast<size_t>(n), &back) == 1);
        }
    }
    return 0;
}
