// Fuzz entry for the GSM 03.40 field decoders as the PDU decoder calls them on a handset's PDU:
// address fields in both forms, 7-bit user data with fill bits, time stamps, swapped BCD, hex text.
// Promise on any input: nothing read past the bytes given, outputs terminated within their sizes.

#include "dv_charset.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const int32_t fill = data[0] % 7;
    // An exact-size copy, so that a read past the field is a sanitizer report.
    std::vector<uint8_t> field(data + 1, data + size);
    const auto len = static_cast<int32_t>(field.size());
    const uint8_t *p = field.empty() ? nullptr : field.data();

    for (int32_t tp : {0, 1}) {
        int32_t total = p ? GsmUtil_getNoPduLen(p, len, tp) : -92;
        FUZZ_CHECK(total == -92 || (total >= 1 && total <= len));
        for (int32_t outSize : {1, 2, 41, 44}) {
            std::vector<char> out(static_cast<size_t>(outSize), 'x');
            int32_t n = GsmUtil_decNo(out.data(), outSize, p, len, tp);
            FUZZ_CHECK(n >= 0 && n <= outSize - 1 && out[static_cast<size_t>(n)] == '\0');
        }
    }

    for (int32_t outSize : {1, 8, 212}) {
        std::vector<char> out(static_cast<size_t>(outSize), 'x');
        int32_t n = GsmUtil_dec7BitStr(out.data(), outSize, p, len, fill);
        FUZZ_CHECK(n >= 0 && n <= outSize - 1 && out[static_cast<size_t>(n)] == '\0');
        FUZZ_CHECK(n == 0 || static_cast<int64_t>(n) * 7 + fill <= static_cast<int64_t>(len) * 8);
        for (int32_t i = 0; i < n; ++i)
            FUZZ_CHECK((static_cast<uint8_t>(out[static_cast<size_t>(i)]) & 0x80) == 0);
        n = Bcd_dec(out.data(), outSize, p, len);
        FUZZ_CHECK(n >= 0 && n <= outSize - 1 && std::strlen(out.data()) == static_cast<size_t>(n));
    }

    if (len >= 7) {
        int16_t time[8] = {};
        int32_t zone = GsmUtil_decObsTime(time, p);
        FUZZ_CHECK(zone >= -21 && zone <= 21 && time[6] == zone);
        uint8_t back[7];
        FUZZ_CHECK(GsmUtil_encObsTime(back, time) == 7);
    }

    std::string hex(reinterpret_cast<const char *>(data), size);
    for (int32_t outSize : {1, 3, 256}) {
        std::vector<uint8_t> out(static_cast<size_t>(outSize));
        int32_t n = IraUtil_iraToBuf(hex.c_str(), out.data(), outSize);
        FUZZ_CHECK(n >= 0 && n <= outSize - 1 && static_cast<size_t>(n) <= size / 2);
    }
    return 0;
}
