// GSM 03.38 7-bit packing, GSM 03.40 address fields and time stamps, swapped BCD and hex text.
// Inputs that play handset data are copied into exact-size heap buffers, so a read past the field
// is an AddressSanitizer report.

#include "dv_charset.h"
#include "dv_result.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes hex(const std::string &h) {
    Bytes b;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        b.push_back(static_cast<uint8_t>(std::stoul(h.substr(i, 2), nullptr, 16)));
    return b;
}

std::string toHex(const uint8_t *b, size_t n) {
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[b[i] >> 4];
        s += d[b[i] & 15];
    }
    return s;
}

template <class Row> std::string rowName(const ::testing::TestParamInfo<Row> &info) { return info.param.name; }

// Reference packing written as a string of bits, a different route from the library's accumulator:
// f zero bits, then each septet least significant bit first; octets are read back the same way.
Bytes referencePack(const std::string &text, int fill) {
    std::string bits(static_cast<size_t>(fill), '0');
    for (char c : text)
        for (int b = 0; b < 7; ++b)
            bits += ((c >> b) & 1) ? '1' : '0';
    while (bits.size() % 8)
        bits += '0';
    Bytes out;
    for (size_t i = 0; i < bits.size(); i += 8) {
        uint8_t v = 0;
        for (int b = 0; b < 8; ++b)
            v |= static_cast<uint8_t>((bits[i + static_cast<size_t>(b)] == '1') << b);
        out.push_back(v);
    }
    return out;
}

// ---- 7-bit packing ----

TEST(SevenBit, HelloHelloPacksToTheKnownOctets) {
    uint8_t out[16];
    ASSERT_EQ(GsmUtil_enc7BitStr(out, sizeof out, "hellohello", 10, 0), 9);
    EXPECT_EQ(toHex(out, 9), "E8329BFD4697D9EC37");

    Bytes packed = hex("E8329BFD4697D9EC37");
    char text[16];
    ASSERT_EQ(GsmUtil_dec7BitStr(text, sizeof text, packed.data(), 9, 0), 10);
    EXPECT_STREQ(text, "hellohello");
}

// After a 6-octet concatenation header one fill bit puts "Hello" on a septet boundary.
TEST(SevenBit, OneFillBitAfterAConcatenationHeader) {
    uint8_t out[8];
    ASSERT_EQ(GsmUtil_enc7BitStr(out, sizeof out, "Hello", 5, 1), 5);
    EXPECT_EQ(toHex(out, 5), "906536FB0D");
}

TEST(SevenBit, EveryFillBitCountMatchesTheBitReferenceAndRoundTrips) {
    const std::string texts[] = {"A", "hellohello", "ABCDEFG", "ABCDEFGH", std::string("\x7f\x00\x40", 3),
                                 "The quick brown fox jumps over the lazy dog 0123456789"};
    for (int fill = 0; fill <= 6; ++fill) {
        for (const std::string &t : texts) {
            SCOPED_TRACE("fill " + std::to_string(fill) + " text \"" + t + "\"");
            Bytes expected = referencePack(t, fill);
            std::vector<uint8_t> out(expected.size() + 4, 0xEE);
            int32_t n = GsmUtil_enc7BitStr(out.data(), static_cast<int32_t>(out.size()), t.data(),
                                           static_cast<int32_t>(t.size()), fill);
            ASSERT_EQ(n, static_cast<int32_t>(expected.size()));
            EXPECT_EQ(Bytes(out.begin(), out.begin() + n), expected);
            EXPECT_EQ(out[static_cast<size_t>(n)], 0xEE); // nothing written past the count
            EXPECT_EQ(out[0] & ((1 << fill) - 1), 0);       // the fill bits are zero

            Bytes packed(out.begin(), out.begin() + n); // exact size: no read past it
            std::vector<char> text(t.size() + 1, 'x');
            int32_t k = GsmUtil_dec7BitStr(text.data(), static_cast<int32_t>(text.size()), packed.data(), n, fill);
            ASSERT_EQ(k, static_cast<int32_t>(t.size()));
            EXPECT_EQ(std::string(text.data(), static_cast<size_t>(k)), t);
        }
    }
}

TEST(SevenBit, BoundsAndArguments) {
    uint8_t out[4];
    // Only whole septets whose octets fit: 4 octets hold 4 septets (28 bits) and a fifth would need 5.
    EXPECT_EQ(GsmUtil_enc7BitStr(out, 4, "hellohello", 10, 0), 4);
    EXPECT_EQ(GsmUtil_enc7BitStr(out, 4, "abc", 3, 7), DV_E_ARG);
    EXPECT_EQ(GsmUtil_enc7BitStr(out, 4, "abc", 3, -1), DV_E_ARG);
    EXPECT_EQ(GsmUtil_enc7BitStr(out, 4, "", 0, 0), 0);

    Bytes packed = hex("E8329BFD4697D9EC37");
    char text[5];
    EXPECT_EQ(GsmUtil_dec7BitStr(text, sizeof text, packed.data(), 9, 0), 4); // outSize - 1 characters
    EXPECT_STREQ(text, "hell");
    // 9 octets after 6 fill bits hold only 9 septets.
    char all[16];
    EXPECT_EQ(GsmUtil_dec7BitStr(all, sizeof all, packed.data(), 9, 6), 9);
    EXPECT_EQ(GsmUtil_dec7BitStr(all, sizeof all, packed.data(), 0, 0), 0);
    EXPECT_STREQ(all, "");
}

// ---- Address fields ----

struct EncNoRow {
    const char *name;
    const char *number;
    int32_t tp;
    const char *field; // hex, or nullptr when the encoder must refuse
};

class EncNo : public ::testing::TestWithParam<EncNoRow> {};

TEST_P(EncNo, Encodes) {
    const EncNoRow &r = GetParam();
    uint8_t out[200];
    int32_t n = GsmUtil_encNo(out, sizeof out, r.number, r.tp);
    if (!r.field) {
        EXPECT_EQ(n, DV_E_ARG);
        return;
    }
    ASSERT_GT(n, 0);
    EXPECT_EQ(toHex(out, static_cast<size_t>(n)), r.field);
}

const std::string kLongDigits(300, '7');

INSTANTIATE_TEST_SUITE_P(Rows, EncNo, ::testing::Values(
    EncNoRow{"tpInternational", "+123", 1, "039121F3"},
    EncNoRow{"tpNational", "13800138000", 1, "0B813108108300F0"},
    EncNoRow{"scInternational", "+8613800200500", 0, "0891683108200005F0"},
    EncNoRow{"tpEmpty", "", 1, "0081"},
    EncNoRow{"scEmpty", "", 0, "0181"},
    EncNoRow{"tpPlusOnly", "+", 1, "0091"},
    // Fault: the length octet of an alphanumeric address counted characters; GSM 03.40 counts
    // semi-octets of the packed value: ceil(7 * 5 / 4) = 9.
    EncNoRow{"tpAlphanumeric", "hello", 1, "09D0E8329BFD06"},
    EncNoRow{"scAlphanumeric", "hello", 0, "06D0E8329BFD06"},
    EncNoRow{"plusInsideIsAlphanumeric", "1+2", 1, "06D0B1950C"},
    EncNoRow{"digitsAndLetters", "12a", 1, "06D0315918"},
    EncNoRow{"tooLongForTheLengthOctet", kLongDigits.c_str(), 1, nullptr}),
    rowName<EncNoRow>);

TEST(EncNoBounds, AFieldThatDoesNotFitIsRefusedWhole) {
    uint8_t out[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(GsmUtil_encNo(out, 3, "+123", 1), DV_E_ARG); // needs 4
    uint8_t four[4];
    EXPECT_EQ(GsmUtil_encNo(four, 4, "+123", 1), 4);
    EXPECT_EQ(GsmUtil_encNo(nullptr, 4, "+123", 1), DV_E_ARG);
    EXPECT_EQ(GsmUtil_encNo(four, 4, nullptr, 1), DV_E_ARG);
}

struct DecNoRow {
    const char *name;
    const char *field; // hex, exact bytes given to the decoder
    int32_t tp;
    int32_t outSize;
    const char *text;
};

class DecNo : public ::testing::TestWithParam<DecNoRow> {};

TEST_P(DecNo, Decodes) {
    const DecNoRow &r = GetParam();
    Bytes f = hex(r.field);
    std::vector<char> out(static_cast<size_t>(r.outSize), 'x');
    int32_t n = GsmUtil_decNo(out.data(), r.outSize, f.empty() ? nullptr : f.data(),
                              static_cast<int32_t>(f.size()), r.tp);
    EXPECT_EQ(n, static_cast<int32_t>(std::strlen(r.text)));
    EXPECT_STREQ(out.data(), r.text);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecNo, ::testing::Values(
    DecNoRow{"tpInternational", "039121F3", 1, 44, "+123"},
    DecNoRow{"tpNational", "0B813108108300F0", 1, 44, "13800138000"},
    DecNoRow{"scInternational", "0891683108200005F0", 0, 44, "+8613800200500"},
    // Fault: "00" (no service centre, as handsets send it) gave -1 value octets.
    DecNoRow{"scZeroIsEmpty", "00", 0, 44, ""},
    DecNoRow{"scTypeOnly", "0191", 0, 44, "+"},
    DecNoRow{"tpZeroDigits", "0081", 1, 44, ""},
    DecNoRow{"nothingAtAll", "", 1, 44, ""},
    DecNoRow{"lengthOnly", "0B", 1, 44, ""},
    DecNoRow{"tpAlphanumeric", "09D0E8329BFD06", 1, 44, "hello"},
    DecNoRow{"scAlphanumeric", "06D0E8329BFD06", 0, 44, "hello"},
    // Counts from the PDU are bounded by the bytes actually there.
    DecNoRow{"tpClaimsMoreThanThere", "149121", 1, 44, "+12"},
    DecNoRow{"scClaimsMoreThanThere", "FF912143", 0, 44, "+1234"},
    DecNoRow{"alphanumericClaimsMore", "FFD0E832", 1, 44, "he"},
    // Service codes keep their "*" and "#" (GSM 03.40 9.1.2.3 extended digits); F is the fill.
    DecNoRow{"extendedDigitsKept", "0581214A", 1, 44, "12*4"},
    DecNoRow{"allExtendedDigits", "0681BADCFE", 1, 44, "*#abc"},
    DecNoRow{"otherTypeGivesDigits", "04A12143", 1, 44, "1234"},
    DecNoRow{"cutAtOutSize", "039121F3", 1, 3, "+1"},
    DecNoRow{"outSizeOne", "039121F3", 1, 1, ""}),
    rowName<DecNoRow>);

// Fault: the alphanumeric length octet counted characters while the decoder read floor(4L / 7), so
// names lost or gained characters. Every length now survives the round trip.
TEST(AddressRoundTrip, AlphanumericNamesOfEveryLength) {
    const std::string alphabet = "Operator Net 2G/3G ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (size_t len = 1; len <= 20; ++len) {
        std::string name = alphabet.substr(0, len);
        if (name.find_first_not_of("0123456789") == std::string::npos)
            continue;
        for (int32_t tp : {0, 1}) {
            SCOPED_TRACE(name + (tp ? " (TP)" : " (SC)"));
            uint8_t field[64];
            int32_t n = GsmUtil_encNo(field, sizeof field, name.c_str(), tp);
            ASSERT_GT(n, 2);
            Bytes exact(field, field + n);
            EXPECT_EQ(GsmUtil_getNoPduLen(exact.data(), n, tp), n);
            char out[44];
            int32_t k = GsmUtil_decNo(out, sizeof out, exact.data(), n, tp);
            if (tp) {
                EXPECT_EQ(std::string(out, static_cast<size_t>(k)), name);
            } else {
                // The service-centre length counts octets, so a trailing 7-bit zero may appear
                // when the last octet has room for a whole septet (as 03.38 allows).
                EXPECT_EQ(std::string(out, name.size()), name);
            }
        }
    }
}

struct PduLenRow {
    const char *name;
    const char *field;
    int32_t tp;
    int32_t expected;
};

class PduLen : public ::testing::TestWithParam<PduLenRow> {};

TEST_P(PduLen, Measures) {
    const PduLenRow &r = GetParam();
    Bytes f = hex(r.field);
    uint8_t none = 0;
    EXPECT_EQ(GsmUtil_getNoPduLen(f.empty() ? &none : f.data(), static_cast<int32_t>(f.size()), r.tp), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, PduLen, ::testing::Values(
    PduLenRow{"scEmpty", "00", 0, 1},
    PduLenRow{"scInternational", "0891683108200005F0", 0, 9},
    PduLenRow{"tpInternational", "039121F3", 1, 4},
    PduLenRow{"tpNational", "0B813108108300F0", 1, 8},
    PduLenRow{"tpAlphanumeric", "09D0E8329BFD06", 1, 7},
    PduLenRow{"scCut", "0891683108", 0, DV_E_MALFORMED},
    PduLenRow{"tpCut", "0B813180", 1, DV_E_MALFORMED},
    PduLenRow{"nothing", "", 0, DV_E_MALFORMED}),
    rowName<PduLenRow>);

// ---- Time stamps ----

TEST(TimeStamp, DecodesTheSwappedDigitsAndTheZone) {
    Bytes ts = hex("90213141550223");
    int16_t t[8] = {0, 0, 0, 0, 0, 0, 0, 77};
    EXPECT_EQ(GsmUtil_decObsTime(t, ts.data()), 8);
    const int16_t expected[8] = {9, 12, 13, 14, 55, 20, 8, 77};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(t[i], expected[i]) << "word " << i;
}

TEST(TimeStamp, ZoneOctets) {
    struct {
        uint8_t octet;
        int32_t hours;
    } rows[] = {
        {0x88, -2}, // 8 quarters, sign bit set
        {0x23, 8},  // 32 quarters
        {0x00, 0},
        {0x40, 1},
        {0x29, -3}, // 12 quarters, negative
        {0x0A, -5}, // 20 quarters, negative
        {0x61, 4},  // 16 quarters
        {0xFF, -21},
    };
    for (const auto &r : rows) {
        uint8_t ts[7] = {0x90, 0x21, 0x31, 0x41, 0x55, 0x02, r.octet};
        int16_t t[8] = {};
        EXPECT_EQ(GsmUtil_decObsTime(t, ts), r.hours) << std::hex << int(r.octet);
        EXPECT_EQ(t[6], r.hours);
    }
}

TEST(TimeStamp, EncodesTwoDigitYearsAlwaysInValidBcd) {
    struct {
        int16_t year;
        const char *octets;
    } rows[] = {
        {2009, "90211341550200"},
        {1999, "99211341550200"},
        // Fault: years outside 1901..2099 produced invalid BCD; only the two low digits travel.
        {2100, "00211341550200"},
        {2155, "55211341550200"},
        {1900, "00211341550200"},
        {1850, "05211341550200"},
        {9, "90211341550200"},
    };
    for (const auto &r : rows) {
        const int16_t t[8] = {r.year, 12, 31, 14, 55, 20, 0, 0};
        uint8_t out[8] = {};
        ASSERT_EQ(GsmUtil_encObsTime(out, t), 7);
        EXPECT_EQ(toHex(out, 7), r.octets) << r.year;
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE((out[i] & 0x0F) <= 9 && (out[i] >> 4) <= 9) << r.year;
    }
    EXPECT_EQ(GsmUtil_encObsTime(nullptr, nullptr), DV_E_ARG);
}

// ---- Swapped BCD ----

TEST(Bcd, IntegersBothWays) {
    EXPECT_EQ(Bcd_encFromInt(45), 0x54);
    EXPECT_EQ(Bcd_decToInt(0x54), 45);
    for (int v = 0; v <= 99; ++v)
        EXPECT_EQ(Bcd_decToInt(Bcd_encFromInt(v)), v);
    EXPECT_EQ(Bcd_encFromInt(145), 0x54); // modulo 100: never a nibble above 9
    EXPECT_EQ(Bcd_encFromInt(-1), 0x99);
}

TEST(Bcd, DigitTexts) {
    uint8_t out[8];
    ASSERT_EQ(Bcd_enc(out, sizeof out, "12345", 1), 3);
    EXPECT_EQ(toHex(out, 3), "2143F5");
    ASSERT_EQ(Bcd_enc(out, sizeof out, "12345", 0), 3);
    EXPECT_EQ(toHex(out, 3), "214305");
    ASSERT_EQ(Bcd_enc(out, sizeof out, "1-2 3", 1), 2); // non-digits skipped
    EXPECT_EQ(toHex(out, 2), "21F3");
    EXPECT_EQ(Bcd_enc(out, 2, "123456", 1), 2); // whole octets that fit

    Bytes in = hex("2143F5A9");
    char text[16];
    EXPECT_EQ(Bcd_dec(text, sizeof text, in.data(), 4), 6);
    EXPECT_STREQ(text, "123459");
    EXPECT_EQ(Bcd_dec(text, 3, in.data(), 4), 2);
    EXPECT_STREQ(text, "12");
}

// ---- Hex text ----

TEST(Hex, TextToBytes) {
    struct {
        const char *text;
        int32_t outSize;
        const char *bytes;
    } rows[] = {
        {"0891683108", 16, "0891683108"},
        {"abCDef", 16, "ABCDEF"},
        {"0891F", 16, "0891"},      // an odd last digit is dropped
        {"08G1FF", 16, "08"},       // a pair that is not hex ends the conversion
        {"0891683108", 3, "0891"},  // outSize - 1 bytes
        {"", 16, ""},
    };
    for (const auto &r : rows) {
        std::string text = r.text; // exact-size copy
        std::vector<uint8_t> out(static_cast<size_t>(r.outSize), 0xEE);
        int32_t n = IraUtil_iraToBuf(text.c_str(), out.data(), r.outSize);
        EXPECT_EQ(toHex(out.data(), static_cast<size_t>(n > 0 ? n : 0)), r.bytes) << r.text;
        EXPECT_EQ(out[static_cast<size_t>(n)], 0) << r.text;
    }
}

TEST(Hex, BytesToText) {
    const uint8_t bytes[] = {0x08, 0x91, 0xAB, 0xFF};
    char out[16];
    EXPECT_EQ(IraUtil_bufToIra(bytes, 4, out, sizeof out), 8);
    EXPECT_STREQ(out, "0891abff");
    EXPECT_EQ(IraUtil_bufToIra(bytes, 4, out, 6), 4); // (6 - 1) / 2 bytes
    EXPECT_STREQ(out, "0891");
    EXPECT_EQ(IraUtil_bufToIra(bytes, 0, out, 6), 0);
    EXPECT_STREQ(out, "");
}

} // namespace
