// Base64 (RFC 4648) and quoted-printable as vCard values carry them: whole, in pieces, in place.

#include "dv_charset.h"
#include "dv_result.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
using Text = std::unique_ptr<char, FreeDeleter>;

const uint8_t *bytesOf(const std::string &s) { return reinterpret_cast<const uint8_t *>(s.data()); }

std::string decodeB64(const std::string &text, int32_t *consumed, int32_t outSize = 256) {
    std::vector<uint8_t> out(static_cast<size_t>(outSize) + 1);
    int32_t n = Base64_decodeBuf(text.c_str(), consumed, out.data(), outSize);
    EXPECT_GE(n, 0);
    return std::string(out.begin(), out.begin() + (n > 0 ? n : 0));
}

std::string decodeQp(const std::string &text, int32_t *consumed, int32_t outSize = 256) {
    std::vector<uint8_t> out(static_cast<size_t>(outSize) + 1);
    int32_t n = Qp_decodeBuf(text.c_str(), consumed, out.data(), outSize);
    EXPECT_GE(n, 0);
    return std::string(out.begin(), out.begin() + (n > 0 ? n : 0));
}

// Feeds text in pieces of `step` characters the way a stream reader would: what a call did not
// consume is fed again in front of the next piece.
template <class Decode> std::string inPieces(const std::string &text, size_t step, Decode decode) {
    std::string pending, out;
    for (size_t i = 0; i < text.size(); i += step) {
        pending += text.substr(i, step);
        int32_t consumed = 0;
        out += decode(pending, &consumed);
        pending.erase(0, static_cast<size_t>(consumed));
    }
    return out;
}

// ---- Base64 ----

TEST(Base64, Rfc4648Vectors) {
    const char *rows[][2] = {{"f", "Zg=="},     {"fo", "Zm8="},         {"foo", "Zm9v"},
                             {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto &r : rows) {
        std::string plain = r[0];
        Text enc(Base64_encodeBuf(bytesOf(plain), static_cast<int32_t>(plain.size())));
        ASSERT_TRUE(enc);
        EXPECT_STREQ(enc.get(), r[1]);
        Text chars(Base64_encodeChars(r[0]));
        ASSERT_TRUE(chars);
        EXPECT_STREQ(chars.get(), r[1]);
        int32_t consumed = -1;
        EXPECT_EQ(decodeB64(r[1], &consumed), plain);
        EXPECT_EQ(consumed, static_cast<int32_t>(std::strlen(r[1])));
        Text dec(Base64_decodeChars(r[1]));
        ASSERT_TRUE(dec);
        EXPECT_STREQ(dec.get(), r[0]);
    }
    EXPECT_EQ(Base64_encodeBuf(bytesOf("x"), 0), nullptr);
    EXPECT_EQ(Base64_encodeChars(""), nullptr);
    EXPECT_EQ(Base64_decodeChars("Zm9"), nullptr);
}

TEST(Base64, AllByteValuesRoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    Text enc(Base64_encodeBuf(bytesOf(all), 256));
    ASSERT_TRUE(enc);
    int32_t consumed = 0;
    EXPECT_EQ(decodeB64(enc.get(), &consumed, 256), all);
}

TEST(Base64, OneGroup) {
    struct {
        const char *in;
        int32_t result;
        const char *bytes;
    } rows[] = {
        {"Zm9v", 3, "foo"}, {"Zm8=", 2, "fo"}, {"Zg==", 1, "f"},
        {"Z===", 0, ""},    // more than two "="
        {"Zm9*", 0, ""},    // outside the alphabet
        {"Z=m9", 0, ""},    // "=" is padding only
        {"====", 0, ""},
    };
    for (const auto &r : rows) {
        uint8_t out[3] = {};
        int32_t n = Base64_decode(r.in, out);
        EXPECT_EQ(n, r.result) << r.in;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), static_cast<size_t>(n)), r.bytes) << r.in;
    }
    char out4[5] = {};
    EXPECT_EQ(Base64_encode(bytesOf("fo"), 2, out4), 4);
    EXPECT_STREQ(out4, "Zm8=");
    EXPECT_EQ(Base64_encode(bytesOf("foobar"), 6, out4), 4); // one group: three bytes
    EXPECT_STREQ(out4, "Zm9v");
}

TEST(Base64, DecodeBufSkipsLineBreaksAndKeepsIncompleteGroups) {
    int32_t consumed = 0;
    EXPECT_EQ(decodeB64("Zm9v\r\nYmFy", &consumed), "foobar");
    EXPECT_EQ(consumed, 10);
    EXPECT_EQ(decodeB64("Zm9vYm", &consumed), "foo");
    EXPECT_EQ(consumed, 4); // "Ym" waits for the rest of its group
    EXPECT_EQ(decodeB64("Zm9v*mFy", &consumed), "foo");
    EXPECT_EQ(consumed, 4); // a bad group stops the decoding
    EXPECT_EQ(decodeB64("Zm9vYmFy", &consumed, 4), "foo");
    EXPECT_EQ(consumed, 4); // the second group does not fit: fed again later
    EXPECT_EQ(decodeB64("", &consumed), "");
    EXPECT_EQ(consumed, 0);
    uint8_t out[4];
    EXPECT_EQ(Base64_decodeBuf(nullptr, &consumed, out, 4), DV_E_ARG);
}

TEST(Base64, PiecesOfEverySizeGiveTheWholeText) {
    const std::string text = "VGhlIHF1aWNr\r\nIGJyb3duIGZv\r\neA==";
    for (size_t step = 1; step <= text.size(); ++step) {
        EXPECT_EQ(inPieces(text, step, [](const std::string &p, int32_t *c) { return decodeB64(p, c); }),
                  "The quick brown fox")
            << "step " << step;
    }
}

TEST(Base64, DecodesInPlace) {
    std::string buf = "VGhlIHF1aWNrIGJyb3du";
    int32_t consumed = 0;
    int32_t n = Base64_decodeBuf(buf.c_str(), &consumed, reinterpret_cast<uint8_t *>(buf.data()),
                                 static_cast<int32_t>(buf.size()));
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(n)), "The quick brown");
}

// ---- Quoted-printable ----

TEST(QuotedPrintable, OneEscape) {
    struct {
        const char *in;
        int32_t result;
        uint8_t byte;
    } rows[] = {{"=3D", 1, '='}, {"=3d", 1, '='}, {"=C3", 1, 0xC3}, {"=G1", 0, 0}, {"=1G", 0, 0},
                {"A41", 0, 0},   {"=", 0, 0},     {"=4", 0, 0}};
    for (const auto &r : rows) {
        uint8_t out = 0;
        EXPECT_EQ(Qp_decode(r.in, &out), r.result) << r.in;
        if (r.result) {
            EXPECT_EQ(out, r.byte) << r.in;
        }
    }
}

struct QpRow {
    const char *name;
    const char *text;
    const char *bytes;
    int32_t consumed;
};

class QpDecode : public ::testing::TestWithParam<QpRow> {};

TEST_P(QpDecode, Decodes) {
    const QpRow &r = GetParam();
    int32_t consumed = -1;
    EXPECT_EQ(decodeQp(r.text, &consumed), r.bytes);
    EXPECT_EQ(consumed, r.consumed);
}

INSTANTIATE_TEST_SUITE_P(Rows, QpDecode, ::testing::Values(
    QpRow{"escapes", "caf=C3=A9", "caf\xc3\xa9", 9},
    QpRow{"lowerCaseHex", "=c3=a9", "\xc3\xa9", 6},
    QpRow{"softLineBreak", "a=\r\nb", "ab", 5},
    // Fault: "_" became a blank ("john_doe@" turned into "john doe@"); it means a blank only in
    // RFC 2047 mail headers.
    QpRow{"underscoreStays", "john_doe@example.com", "john_doe@example.com", 20},
    QpRow{"escapeCutAfterOneDigit", "=4", "", 0},
    QpRow{"textThenCutEscape", "ab=4", "ab", 2},
    QpRow{"lonelyEqualsAtTheEnd", "ab=", "ab", 2},
    QpRow{"softBreakCutAfterCr", "a=\r", "a", 1},
    QpRow{"badEscapeDropsOnlyTheEquals", "a=ZZb", "aZZb", 5},
    QpRow{"equalsBeforeLoneCr", "a=\rXb", "a\rXb", 5},
    QpRow{"empty", "", "", 0}),
    [](const ::testing::TestParamInfo<QpRow> &row) { return std::string(row.param.name); });

TEST(QuotedPrintable, PiecesOfEverySizeGiveTheWholeText) {
    const std::string text = "Stra=C3=9Fe 1=\r\n, 10115 Berlin =3D home_office";
    for (size_t step = 1; step <= text.size(); ++step) {
        EXPECT_EQ(inPieces(text, step, [](const std::string &p, int32_t *c) { return decodeQp(p, c); }),
                  "Stra\xc3\x9f" "e 1, 10115 Berlin = home_office")
            << "step " << step;
    }
}

TEST(QuotedPrintable, BoundedAndInPlace) {
    int32_t consumed = 0;
    EXPECT_EQ(decodeQp("abcdef", &consumed, 3), "abc");
    EXPECT_EQ(consumed, 3);
    EXPECT_EQ(decodeQp("ab=41cd", &consumed, 2), "ab");
    EXPECT_EQ(consumed, 2); // the escape's byte does not fit: it stays unconsumed

    std::string buf = "caf=C3=A9 =3D ok";
    int32_t n = Qp_decodeBuf(buf.c_str(), &consumed, reinterpret_cast<uint8_t *>(buf.data()),
                             static_cast<int32_t>(buf.size()));
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(n)), "caf\xc3\xa9 = ok");
}

TEST(QuotedPrintable, EncodesEveryByte) {
    const uint8_t bytes[] = {0x00, 0xFF, 'a', '='};
    Text enc(Qp_encodeBuf(bytes, 4));
    ASSERT_TRUE(enc);
    EXPECT_STREQ(enc.get(), "=00=ff=61=3d");
    int32_t consumed = 0;
    EXPECT_EQ(decodeQp(enc.get(), &consumed), std::string("\x00\xff" "a=", 4));
    EXPECT_EQ(Qp_encodeBuf(bytes, 0), nullptr);
}

} // namespace
