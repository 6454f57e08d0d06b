// Fuzz entry for the local code page through libquorl.so (GBK or UTF-8, chosen by the first byte):
// local text from files and user input, UTF-8 and UCS-2 from handsets. Promise on any input:
// terminated outputs within their sizes, UTF-8 results well-formed, no read past any text.

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
    static const bool loaded = CsUtil_loadFrom(SELVARK_QUORL_PATH) == 0;
    FUZZ_CHECK(loaded);
    if (size == 0)
        return 0;
    FUZZ_CHECK(CsUtil_setLocalCodePage(data[0] & 1 ? "GBK" : "UTF-8") == 0);
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const char *s = text.c_str();

    for (int32_t outSize : {1, 2, 3, 5, 64, 1024}) {
        std::vector<char> out(static_cast<size_t>(outSize), 'x');
        int32_t r = CsUtil_localToUtf8(s, out.data(), outSize);
        checkText(r, out.data(), outSize);
        FUZZ_CHECK(fuzzWellFormedUtf8(out.data(), static_cast<size_t>(r)));
        checkText(CsUtil_utf8ToLocal(s, out.data(), outSize), out.data(), outSize);
        checkText(CsUtil_utf7ToLocal(s, out.data(), outSize), out.data(), outSize);

        std::vector<uint8_t> units(2 * static_cast<size_t>(outSize), 0xAA);
        int32_t n = CsUtil_localToUcs2(s, units.data(), outSize);
        FUZZ_CHECK(n >= 0 && n <= outSize - 1);
        FUZZ_CHECK(units[2 * static_cast<size_t>(n)] == 0 && units[2 * static_cast<size_t>(n) + 1] == 0);
        checkText(CsUtil_ucs2ToLocal(units.data(), -1, out.data(), outSize), out.data(), outSize);
    }
    return 0;
}
