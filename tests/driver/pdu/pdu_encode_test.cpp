// Encoding outgoing messages as SUBMIT TPDUs: the reference vectors, the limits of one message
// (refused, never cut), validity, header and fill bits, and a round trip through the decoder.

#include <gtest/gtest.h>

#include <string>

#include "dv_result.h"
#include "pdu_fixtures.h"

using namespace pdutest;

namespace {

SmsSendRec sendRec(const std::string &number, const std::string &text) {
    SmsSendRec msg{};
    std::memcpy(msg.number, number.data(), std::min(number.size(), sizeof msg.number));
    std::memcpy(msg.text, text.data(), std::min(text.size(), sizeof msg.text));
    return msg;
}

SmsPduRec textRec(const std::string &number, const std::string &text) {
    SmsPduRec rec{};
    std::memcpy(rec.address, number.data(), std::min(number.size(), sizeof rec.address - 1));
    std::memcpy(rec.data, text.data(), std::min(text.size(), sizeof rec.data));
    return rec;
}

std::string encodeHex(const SmsPduRec &rec) {
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    const int32_t n = SmsPdu_encodeSubmit(&rec, out, sizeof out);
    return n < 0 ? "error " + std::to_string(n) : toHex(out, static_cast<size_t>(n));
}

std::string repeat(const std::string &s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}

const char kZhong[] = "\xE4\xB8\xAD"; // U+4E2D, one UCS2 unit, three bytes of UTF-8

TEST(PduEncode, ReferenceVectors) {
    EXPECT_EQ(encodeHex(textRec("+8613800138000", "hello")), "11000D91683108108300F00000A905E8329BFD06");
    EXPECT_EQ(encodeHex(textRec("+8613800138000", "\xE4\xBD\xA0\xE5\xA5\xBD")),
              "11000D91683108108300F00008A9044F60597D");
}

TEST(PduEncode, SendRecordGivesTheSameTpdu) {
    const SmsSendRec msg = sendRec("+8613800138000", "hello");
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    const int32_t n = SmsPdu_encodeSendRec(&msg, out, sizeof out);
    ASSERT_EQ(n, 20);
    EXPECT_EQ(toHex(out, 20), "11000D91683108108300F00000A905E8329BFD06");
}

// One message holds 160 septets or 140 octets; one more is refused, never cut and sent as if whole.
struct LimitCase {
    const char *name;
    std::string text;
    int32_t length; // TPDU length, or the error
    uint8_t dcs;
    uint8_t udl;
};

void PrintTo(const LimitCase &c, std::ostream *os) { *os << c.name; }

std::vector<LimitCase> limitCases() {
    return {
        {"gsm_160", std::string(160, 'A'), 15 + 140, 0x00, 160},
        {"gsm_161", std::string(161, 'A'), DV_E_ARG, 0, 0},
        {"gsm_210", std::string(210, 'A'), DV_E_ARG, 0, 0},
        {"ucs2_70", repeat(kZhong, 70), 15 + 140, 0x08, 140},
        // 71 units in 209 bytes: was sent as 70 units with success reported.
        {"ucs2_71", repeat(kZhong, 69) + "ab", DV_E_ARG, 0, 0},
        // One character outside the shared set sends the whole text as UCS2.
        {"bracket_forces_ucs2_70", "[" + std::string(69, 'a'), 15 + 140, 0x08, 140},
        {"bracket_forces_ucs2_71", "[" + std::string(70, 'a'), DV_E_ARG, 0, 0},
        {"latin1_forces_ucs2", "\xC3\xA9", 15 + 2, 0x08, 2},
        {"empty_text", "", 15, 0x00, 0},
    };
}

class Limits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(Limits, OneMessage) {
    const LimitCase &c = GetParam();
    SmsPduRec rec = textRec("+8613800138000", c.text);
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    const int32_t n = SmsPdu_encodeSubmit(&rec, out, sizeof out);
    ASSERT_EQ(n, c.length);
    if (n < 0)
        return;
    EXPECT_EQ(out[12], c.dcs);
    EXPECT_EQ(out[14], c.udl);
}

INSTANTIATE_TEST_SUITE_P(Pdu, Limits, ::testing::ValuesIn(limitCases()),
                         CaseName());

TEST(PduEncode, ValidityOctet) {
    const struct {
        int32_t minutes;
        uint8_t octet;
    } cases[] = {{0, 0xA9},   {5, 0},      {6, 1},      {720, 143},   {721, 144},  {1440, 167},
                 {1441, 168}, {43200, 196}, {43201, 255}, {INT32_MAX, 255}, {-5, 0xA9}};
    for (const auto &c : cases) {
        EXPECT_EQ(SmsPdu_validityOctet(c.minutes), c.octet) << c.minutes;
        SmsPduRec rec = textRec("+8613800138000", "hi");
        rec.submit.validity = c.minutes;
        uint8_t out[SMS_PDU_SUBMIT_BUF];
        ASSERT_GT(SmsPdu_encodeSubmit(&rec, out, sizeof out), 0);
        EXPECT_EQ(out[13], c.octet) << c.minutes;
    }
}

TEST(PduEncode, FirstOctetFlagsReferenceAndCoding) {
    SmsPduRec rec = textRec("+8613800138000", "hi");
    rec.rejectDup = 1;
    rec.replyPath = 1;
    rec.submit.statusReport = 1;
    rec.submit.msgRef = 0x17B; // only the low octet travels
    rec.dcs = 0x10;            // class 0, OR-ed into the coding
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    ASSERT_GT(SmsPdu_encodeSubmit(&rec, out, sizeof out), 0);
    EXPECT_EQ(out[0], 0xB5);
    EXPECT_EQ(out[1], 0x7B);
    EXPECT_EQ(out[12], 0x10);

    SmsPduRec ucs2 = textRec("+8613800138000", "\xC3\xA9");
    ucs2.dcs = 0x10;
    ASSERT_GT(SmsPdu_encodeSubmit(&ucs2, out, sizeof out), 0);
    EXPECT_EQ(out[12], 0x18);
}

TEST(PduEncode, DollarAtUnderscoreMapped) {
    const auto septets = pack7({'a', 0x02, 'b', 0x00, 'c', 0x11});
    EXPECT_EQ(encodeHex(textRec("+8613800138000", "a$b@c_")),
              "11000D91683108108300F00000A906" + toHex(septets.data(), septets.size()));
}

// The header ends on a septet boundary: six octets need one fill bit, seven none.
TEST(PduEncode, HeaderAndFillBits) {
    SmsPduRec rec = textRec("+491701234567", "part one");
    rec.udhi = 1;
    rec.udhLen = 5;
    std::memcpy(rec.udh, "\x00\x03\x2A\x02\x01", 5);
    const std::string six = encodeHex(rec);
    EXPECT_EQ(six.substr(0, 2), "51");
    EXPECT_EQ(six.substr(six.size() - 30), "0F0500032A0201E061391DF4769701");

    SmsPduRec seven = textRec("+491701234567", "ok");
    seven.udhi = 1;
    seven.udhLen = 6;
    std::memcpy(seven.udh, "\x08\x04\x00\x2A\x02\x01", 6);
    const auto ok = pack7({'o', 'k'});
    const std::string hex = encodeHex(seven);
    EXPECT_EQ(hex.substr(hex.size() - 20), "0A060804002A0201" + toHex(ok.data(), ok.size()));

    // A header alone still counts its fill bit: 7 septets, so one zero octet after the header.
    SmsPduRec empty = textRec("+491701234567", "");
    empty.udhi = 1;
    empty.udhLen = 5;
    std::memcpy(empty.udh, "\x00\x03\x2A\x02\x02", 5);
    const std::string bare = encodeHex(empty);
    EXPECT_EQ(bare.substr(bare.size() - 16), "070500032A020200");
    const auto bytes = fromHex(bare);
    SmsPduRec back;
    ASSERT_EQ(decodeExact(bytes, bytes.size(), back), SMS_PDU_SUBMIT);
    EXPECT_EQ(back.udhLen, 5);
    EXPECT_EQ(text(back), "");
}

TEST(PduEncode, HeaderLimits) {
    const struct {
        const char *name;
        uint8_t udhLen;
        bool binary;
        std::string text;
        uint8_t dataLen;
        bool fits;
    } cases[] = {
        {"binary_fills_140", 5, true, "", 134, true},
        {"binary_one_over", 5, true, "", 135, false},
        {"ucs2_fills_140", 5, false, repeat(kZhong, 67), 0, true},
        {"ucs2_one_unit_over", 5, false, repeat(kZhong, 68), 0, false},
        {"gsm_fills_140", 5, false, std::string(153, 'x'), 0, true},
        {"gsm_one_over", 5, false, std::string(154, 'x'), 0, false},
        {"header_139", 139, true, "", 0, true},
        {"header_140", 140, true, "", 0, false},
        {"header_255", 255, true, "", 0, false},
    };
    for (const auto &c : cases) {
        SmsPduRec rec = textRec("+8613800138000", c.text);
        rec.udhi = 1;
        rec.udhLen = c.udhLen;
        rec.binary = c.binary;
        rec.dataLen = c.dataLen;
        uint8_t out[SMS_PDU_SUBMIT_BUF];
        const int32_t n = SmsPdu_encodeSubmit(&rec, out, sizeof out);
        if (c.fits)
            EXPECT_EQ(n, 15 + 140) << c.name;
        else
            EXPECT_EQ(n, DV_E_ARG) << c.name;
    }
}

TEST(PduEncode, BinaryData) {
    SmsPduRec rec = textRec("+8613800138000", "");
    rec.binary = 1;
    rec.dataLen = 3;
    std::memcpy(rec.data, "\x00\x01\xFF", 3);
    EXPECT_EQ(encodeHex(rec), "11000D91683108108300F00004A90300" "01FF");
    rec.dataLen = 212; // more than the field holds
    EXPECT_EQ(encodeHex(rec), "error -81");
}

// Coding bits from the caller may add a message class; bits that change the alphabet would leave
// TP-UDL counting the wrong units, and such a message is refused rather than sent misread.
TEST(PduEncode, CallerCodingBitsNeverChangeTheAlphabet) {
    SmsPduRec text = textRec("+1", "hi");
    text.dcs = 0x10; // class 0, default alphabet
    EXPECT_EQ(encodeHex(text).substr(12, 2), "10");
    SmsPduRec ucs2 = textRec("+1", "\xc3\xa9");
    ucs2.dcs = 0x11;
    EXPECT_EQ(encodeHex(ucs2).substr(12, 2), "19");
    struct Case {
        const char *text;
        int32_t binary;
        uint8_t dcs;
    };
    for (const Case &c : {Case{"hi", 0, 0x04}, Case{"hi", 0, 0x20}, Case{"\xc3\xa9", 0, 0xF0}, Case{"", 1, 0xA9}}) {
        SmsPduRec rec = textRec("+1", c.text);
        rec.binary = c.binary;
        rec.dcs = c.dcs;
        EXPECT_EQ(encodeHex(rec), "error -81") << int(c.dcs);
    }
}

TEST(PduEncode, AddressLimits) {
    // 23.040 9.1.2.5: at most 20 digits (12 octets for the whole field).
    EXPECT_EQ(encodeHex(textRec("+12345678901234567890", "x")).substr(0, 8), "11001491");
    EXPECT_EQ(encodeHex(textRec("+123456789012345678901", "x")), "error -81");
    EXPECT_EQ(encodeHex(textRec("Info", "x")).substr(4, 4), "07D0");
    SmsPduRec unterminated = textRec("", "x");
    std::memset(unterminated.address, '1', sizeof unterminated.address);
    EXPECT_EQ(encodeHex(unterminated), "error -81");
}

TEST(PduEncode, SmallBufferRefused) {
    const SmsPduRec rec = textRec("+8613800138000", "hello");
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    EXPECT_EQ(SmsPdu_encodeSubmit(&rec, out, 14 + 140), DV_E_ARG);
    EXPECT_EQ(SmsPdu_encodeSubmit(&rec, out, 14 + 141), 20);
    EXPECT_EQ(SmsPdu_encodeSubmit(&rec, out, 1), DV_E_ARG);
    EXPECT_EQ(SmsPdu_encodeSubmit(nullptr, out, sizeof out), DV_E_ARG);
    const SmsSendRec msg = sendRec("+8613800138000", "hello");
    EXPECT_EQ(SmsPdu_encodeSendRec(&msg, out, SMS_PDU_SUBMIT_BUF - 1), DV_E_ARG);
}

// ---- From the program's send record ----

TEST(PduSendRec, FieldsTaken) {
    SmsSendRec msg = sendRec("+8613800138000", "hello");
    msg.validity = 720;
    msg.statusReport = 0x100; // any non-zero value asks for a report
    std::memcpy(msg.sca, "+8613800100500", 14);
    SmsPduRec rec;
    std::memset(&rec, 0x5A, sizeof rec);
    ASSERT_EQ(SmsPdu_fromSendRec(&msg, &rec), 0);
    EXPECT_STREQ(rec.address, "+8613800138000");
    EXPECT_EQ(text(rec), "hello");
    EXPECT_EQ(rec.submit.validity, 720);
    EXPECT_EQ(rec.submit.statusReport, 1);
    EXPECT_EQ(rec.binary, 0);
    EXPECT_EQ(rec.udhi, 0);
    EXPECT_EQ(rec.dcs, 0);

    msg.validity = 0xFFFFFFFFu;
    ASSERT_EQ(SmsPdu_fromSendRec(&msg, &rec), 0);
    uint8_t out[SMS_PDU_SUBMIT_BUF];
    ASSERT_GT(SmsPdu_encodeSubmit(&rec, out, sizeof out), 0);
    EXPECT_EQ(out[0], 0x31);
    EXPECT_EQ(out[13], 0xFF);
}

// Was cut at 40 characters of number and 210 bytes of text, and sent as if whole.
TEST(PduSendRec, OverlongFieldsRefused) {
    const struct {
        const char *name;
        std::string number;
        std::string text;
        int32_t conversion;
        int32_t encoding;
    } cases[] = {
        {"number_40", "+" + std::string(39, '1'), "x", 0, DV_E_TOOLONG}, // fits the record, not a field
        {"number_41", std::string(41, '1'), "x", DV_E_ARG, DV_E_TOOLONG},
        {"number_43", std::string(43, '1'), "x", DV_E_ARG, DV_E_TOOLONG},
        {"text_210", "+8613800138000", repeat(kZhong, 70), 0, 15 + 140},
        {"text_211", "+8613800138000", repeat(kZhong, 70) + "a", DV_E_ARG, DV_E_TOOLONG},
        {"text_161_septets", "+8613800138000", std::string(161, 'a'), 0, DV_E_TOOLONG},
    };
    for (const auto &c : cases) {
        const SmsSendRec msg = sendRec(c.number, c.text);
        SmsPduRec rec;
        EXPECT_EQ(SmsPdu_fromSendRec(&msg, &rec), c.conversion) << c.name;
        uint8_t out[SMS_PDU_SUBMIT_BUF];
        EXPECT_EQ(SmsPdu_encodeSendRec(&msg, out, sizeof out), c.encoding) << c.name;
    }
}

// ---- Round trip ----

TEST(PduRoundTrip, EncodeThenDecode) {
    const struct {
        const char *number;
        std::string text;
    } cases[] = {
        {"+8613800138000", "hello"},
        {"+8613800138000", "\xE4\xBD\xA0\xE5\xA5\xBD"},
        {"0123456789", "a$b@c_ \"#%&'()*+,-./:;<=>?!"},
        {"12345", "line one\r\nline two"},
        {"+491701234567", std::string(160, 'z')},
        {"+491701234567", "\xC2\xA3 \xE2\x82\xAC [x] \xC3\xA9"},
        {"+491701234567", ""},
    };
    for (const auto &c : cases) {
        SmsPduRec rec = textRec(c.number, c.text);
        rec.submit.validity = 1440;
        uint8_t out[SMS_PDU_SUBMIT_BUF];
        const int32_t n = SmsPdu_encodeSubmit(&rec, out, sizeof out);
        ASSERT_GT(n, 0) << c.text;
        SmsPduRec back;
        ASSERT_EQ(decodeExact(std::vector<uint8_t>(out, out + n), static_cast<size_t>(n), back), SMS_PDU_SUBMIT);
        EXPECT_STREQ(back.address, c.number);
        EXPECT_EQ(text(back), c.text);
        EXPECT_EQ(back.submit.validity, 167);
    }
}

} // namespace
