// Fuzz entry for the phone-book reply parsers, fed one reply line as a handset might send it.
// Promise on any input: each parser answers 0 or -92 and leaves its output alone on -92; an entry
// has a non-negative index and a number of valid UTF-8 without control bytes; its text, read in
// every character set, is valid UTF-8 without control bytes, a UCS2 re-encoding of it can always
// stand between quotes, and so can a GSM one, which reads back as the same text.

#include "fuzz/fuzz_check.h"
#include "dv_result.h"
#include "gsm_text.h"
#include "pb_at.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool noControls(std::string_view s) {
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so that a read past the line is a sanitizer report.
    const std::string copy(reinterpret_cast<const char *>(data), size);
    const std::string_view line(copy);

    PbRange range;
    range.first = -7;
    const int32_t rr = PbAt_parseRange(line, &range);
    FUZZ_CHECK(rr == 0 || rr == DV_E_MALFORMED);
    if (rr == 0)
        FUZZ_CHECK(range.first >= 0 && range.numLen >= 0 && range.textLen >= 0);
    else
        FUZZ_CHECK(range.first == -7);

    PbStorInfo info;
    const int32_t rs = PbAt_parseStor(line, &info);
    FUZZ_CHECK(rs == 0 || rs == DV_E_MALFORMED);
    FUZZ_CHECK(info.stor >= 0 && info.stor <= 3);

    PbEntry e;
    const int32_t re = PbAt_parseEntry(line, &e);
    FUZZ_CHECK(re == 0 || re == DV_E_MALFORMED);
    if (re != 0) {
        FUZZ_CHECK(e.index == 0 && e.number.empty() && e.text.empty());
        return 0;
    }
    FUZZ_CHECK(e.index >= 0 && e.type >= 0);
    FUZZ_CHECK(noControls(e.number));
    FUZZ_CHECK(gsmtext::cleanUtf8(e.number) == e.number);
    for (bool learned : {false, true}) {
        for (int32_t cs : {PB_CS_GSM, PB_CS_UCS2, PB_CS_UTF8}) {
            bool hex8 = learned;
            const std::string text = PbAt_decodeText(cs, e.text, &hex8);
            FUZZ_CHECK(noControls(text));
            FUZZ_CHECK(!learned || hex8);
            FUZZ_CHECK(gsmtext::cleanUtf8(text) == text);
            FUZZ_CHECK(PbAt_checkQuotable(PbAt_encodeText(PB_CS_UCS2, text)) == 0);
            bool ok = false;
            const std::string gsm = PbAt_encodeText(PB_CS_GSM, text, &ok);
            if (ok) {
                FUZZ_CHECK(PbAt_checkQuotable(gsm) == 0);
                FUZZ_CHECK(PbAt_decodeText(PB_CS_GSM, gsm, nullptr) == text);
            }
        }
    }
    return 0;
}
