// Fuzz entry for the text decoders: UTF-8, UCS-2 and UTF-7 (handset phone-book names, vCard values).
// Promise on any input: terminated outputs within their sizes, counts that match them, and UTF-8
// output that is well-formed.

#include "charset/charset_int.h"
#include "dv_charset.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void checkText(int32_t r, const char *out, int32_t size) {
    FUZZ_CHECK(r >= 0 && r <= size - 1);
    FUZZ_CHECK(std::strlen(out) == static_cast<size_t>(r));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool init = (CsUtil_loadFrom(nullptr), true); // without quorl: local text is ASCII only
    (void)init;
    std::string text(reinterpret_cast<const char *>(data), size); // the decoders take terminated text
    const char *s = text.c_str();

    for (int32_t units : {1, 2, 7, 300}) {
        std::vector<uint8_t> ucs2(2 * static_cast<size_t>(units), 0xAA);
        int32_t n = CsUtil_utf8ToUcs2(s, ucs2.data(), units);
        FUZZ_CHECK(n >= 0 && n <= units - 1);
        FUZZ_CHECK(ucs2[2 * n] == 0 && ucs2[2 * n + 1] == 0);
        for (int32_t outSize : {1, 3, 64, 1024}) {
            std::vector<char> utf8(static_cast<size_t>(outSize), 'x');
            int32_t w = CsUtil_ucs2ToUtf8(ucs2.data(), n, utf8.data(), outSize);
            checkText(w, utf8.data(), outSize);
            FUZZ_CHECK(fuzzWellFormedUtf8(utf8.data(), static_cast<size_t>(w)));
        }
    }

    // The raw bytes as UCS-2 (as a handset's hex name decodes), counted and up to the zero unit.
    std::vector<uint8_t> raw(data, data + size);
    if (raw.size() % 2)
        raw.push_back(0);
    raw.push_back(0);
    raw.push_back(0);
    for (int32_t outSize : {2, 5, 700}) {
        std::vector<char> out(static_cast<size_t>(outSize));
        int32_t w = CsUtil_ucs2ToUtf8(raw.data(), static_cast<int32_t>(size / 2), out.data(), outSize);
        checkText(w, out.data(), outSize);
        FUZZ_CHECK(fuzzWellFormedUtf8(out.data(), static_cast<size_t>(w)));
        w = CsUtil_ucs2ToLocal(raw.data(), -1, out.data(), outSize);
        checkText(w, out.data(), outSize);
    }
    FUZZ_CHECK(Ucs2Util_strlen(raw.data()) % 2 == 0);

    for (int32_t outSize : {1, 4, 33, 2048}) {
        std::vector<char> out(static_cast<size_t>(outSize));
        int32_t w = CsUtil_utf7ToUtf8(s, out.data(), outSize);
        checkText(w, out.data(), outSize);
        w = CsUtil_utf7ToLocal(s, out.data(), outSize);
        checkText(w, out.data(), outSize);
        w = CsUtil_utf8ToLocal(s, out.data(), outSize);
        checkText(w, out.data(), outSize);
        w = CsUtil_localToUtf8(s, out.data(), outSize);
        checkText(w, out.data(), outSize);
    }
    return 0;
}
