// Fuzz entry for the vCard value decoders: Base64 and quoted-printable, in pieces and in place.
// Promise on any input: outputs within their sizes, consumed counts within the text, no read past it.

#include "dv_charset.h"
#include "fuzz/fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    const auto textLen = static_cast<int32_t>(std::strlen(text.c_str()));

    for (int32_t outSize : {0, 2, 3, 64, 4096}) {
        std::vector<uint8_t> out(static_cast<size_t>(outSize) + 1);
        int32_t consumed = -1;
        int32_t n = Base64_decodeBuf(text.c_str(), &consumed, out.data(), outSize);
        FUZZ_CHECK(n >= 0 && n <= outSize && consumed >= 0 && consumed <= textLen);
        consumed = -1;
        n = Qp_decodeBuf(text.c_str(), &consumed, out.data(), outSize);
        FUZZ_CHECK(n >= 0 && n <= outSize && n <= consumed && consumed <= textLen);
    }

    // In place, as the vCard reader decodes a value in its own line buffer.
    std::string inPlace = text;
    int32_t consumed = 0;
    int32_t n = Base64_decodeBuf(inPlace.c_str(), &consumed, reinterpret_cast<uint8_t *>(inPlace.data()),
                                 static_cast<int32_t>(inPlace.size()));
    FUZZ_CHECK(n >= 0 && n <= consumed);
    inPlace = text;
    n = Qp_decodeBuf(inPlace.c_str(), &consumed, reinterpret_cast<uint8_t *>(inPlace.data()),
                     static_cast<int32_t>(inPlace.size()));
    FUZZ_CHECK(n >= 0 && n <= consumed);

    if (char *decoded = Base64_decodeChars(text.c_str())) {
        FUZZ_CHECK(std::strlen(decoded) <= static_cast<size_t>(textLen) / 4 * 3);
        std::free(decoded);
    }
    if (size >= 4) {
        uint8_t out3[3];
        int32_t r = Base64_decode(text.c_str(), out3);
        FUZZ_CHECK(r >= 0 && r <= 3);
    }
    if (size >= 1) {
        uint8_t byte;
        FUZZ_CHECK(Qp_decode(text.c_str(), &byte) <= 1);
    }
    // Whatever decodes must encode again.
    if (char *enc = Base64_encodeBuf(data, static_cast<int32_t>(size))) {
        std::vector<uint8_t> back(size + 3);
        n = Base64_decodeBuf(enc, &consumed, back.data(), static_cast<int32_t>(back.size()));
        FUZZ_CHECK(n == static_cast<int32_t>(size) && std::memcmp(back.data(), data, size) == 0);
        std::free(enc);
    }
    return 0;
}
