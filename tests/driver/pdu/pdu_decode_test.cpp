// Decoding the TPDUs a handset lists: reference vectors down to the SmsRecord the program reads,
// the coding groups of 23.038, UCS2 with surrogate pairs, the deviations of real handsets and SIMs,
// and every truncation and random bytes under the sanitizers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "dv_charset.h"
#include "dv_result.h"
#include "pdu_fixtures.h"

using namespace pdutest;

namespace {

// ---- Reference vectors, decoded to the record ----

struct RecordCase {
    const char *name;
    const char *hex;  // TPDU, or a full PDU with its service-centre field when withSca
    bool withSca;
    int32_t kind;
    int32_t state;
    const char *number;
    const char *text;
    PhoneTime time;
    int32_t validity;
    int32_t reportStatus;
};

void PrintTo(const RecordCase &c, std::ostream *os) { *os << c.name; }

const RecordCase kRecordCases[] = {
    {"full_pdu_with_sca", "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", true,
     SMS_KIND_RECEIVED, SMS_STATE_TEXT, "27838890001", "hellohello", {99, 3, 29, 15, 16, 59, 2}, 0, 0},
    {"alphanumeric_sender", "040DD049B7F93D6D4E0100005030714103002302C834", false, SMS_KIND_RECEIVED,
     SMS_STATE_TEXT, "InfoSMS", "Hi", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    {"concatenated_part", "440C919471103254760000503071410300230F0500032A0201E061391DF4769701", false,
     SMS_KIND_RECEIVED, SMS_STATE_TEXT, "+491701234567", "part one", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    // Was code page 437 bytes: the euro sign came out as " e".
    {"extension_table", "040C91947110325476000050307141030023089B3268C3C36F7C", false, SMS_KIND_RECEIVED,
     SMS_STATE_TEXT, "+491701234567", "\xE2\x82\xAC [x]", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    // Was code page 437 bytes: the pound sign came out as "?".
    {"latin_in_default_alphabet", "040C9194711032547600005030714103002306811AA800F203", false, SMS_KIND_RECEIVED,
     SMS_STATE_TEXT, "+491701234567", "\xC2\xA3" "5 \xC3\xA9 \xC3\xBC", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    {"ucs2_text", "040C91947110325476000850307141030023044F60597D", false, SMS_KIND_RECEIVED, SMS_STATE_TEXT,
     "+491701234567", "\xE4\xBD\xA0\xE5\xA5\xBD", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    {"binary_data", "040C9194711032547600045030714103002303010203", false, SMS_KIND_RECEIVED, SMS_STATE_BINARY,
     "+491701234567", "binary message", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    {"status_report", "062A0D91683108108300F0503071410300235030714103002300", false, SMS_KIND_RECEIVED,
     SMS_STATE_REPORT, "+8613800138000", "", {5, 3, 17, 14, 30, 0, 8}, 0, 0},
    {"stored_submit", "11000D91683108108300F00000A905E8329BFD06", false, SMS_KIND_SUBMITTED, SMS_STATE_TEXT,
     "+8613800138000", "hello", {0, 0, 0, 0, 0, 0, 0}, 0xA9, 0},
};

std::vector<uint8_t> tpduOf(const RecordCase &c) {
    std::vector<uint8_t> pdu = fromHex(c.hex);
    if (!c.withSca)
        return pdu;
    const int32_t sca = GsmUtil_getNoPduLen(pdu.data(), static_cast<int32_t>(pdu.size()), 0);
    return std::vector<uint8_t>(pdu.begin() + sca, pdu.end());
}

class RecordVectors : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordVectors, DecodeToRecord) {
    const RecordCase &c = GetParam();
    const std::vector<uint8_t> tpdu = tpduOf(c);
    ExactBytes bytes(tpdu.data(), tpdu.size());
    SmsRecord rec;
    std::memset(&rec, 0x5A, sizeof rec);
    ASSERT_EQ(SmsPdu_decodeRecord(bytes.data(), tpdu.size(), &rec), 0);
    EXPECT_EQ(rec.kind, c.kind);
    EXPECT_EQ(rec.state, c.state);
    EXPECT_EQ(rec.listStatus, 0);
    EXPECT_STREQ(rec.number, c.number);
    EXPECT_STREQ(rec.text, c.text);
    EXPECT_EQ(rec.time.year, c.time.year);
    EXPECT_EQ(rec.time.month, c.time.month);
    EXPECT_EQ(rec.time.day, c.time.day);
    EXPECT_EQ(rec.time.hour, c.time.hour);
    EXPECT_EQ(rec.time.minute, c.time.minute);
    EXPECT_EQ(rec.time.second, c.time.second);
    EXPECT_EQ(rec.time.zone, c.time.zone);
    EXPECT_EQ(rec.timeSpare, 0);
    EXPECT_EQ(rec.validity, c.validity);
    EXPECT_EQ(rec.reportStatus, c.reportStatus);
    // The fields end in zeros, as the program reads them up to the first zero.
    EXPECT_TRUE(allZero(rec.text + std::strlen(c.text), sizeof rec.text - std::strlen(c.text)));
    EXPECT_TRUE(allZero(rec.number + std::strlen(c.number), sizeof rec.number - std::strlen(c.number)));
}

// Every cut of a vector is a TPDU whose lengths do not agree: -51, and nothing read past the cut.
TEST_P(RecordVectors, EveryTruncationIsRefused) {
    const std::vector<uint8_t> tpdu = tpduOf(GetParam());
    for (size_t n = 0; n < tpdu.size(); ++n) {
        SmsPduRec rec;
        EXPECT_EQ(decodeExact(tpdu, n, rec), DV_E_FAIL) << "cut at " << n;
        EXPECT_TRUE(allZero(&rec, sizeof rec)) << "cut at " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Pdu, RecordVectors, ::testing::ValuesIn(kRecordCases),
                         CaseName());

TEST(PduDecode, ConcatenationHeaderIsKept) {
    SmsPduRec rec;
    const auto tpdu = fromHex("440C919471103254760000503071410300230F0500032A0201E061391DF4769701");
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(rec.udhi, 1);
    ASSERT_EQ(rec.udhLen, 5);
    // IE 00 (8-bit concatenation), 3 octets: reference 42, 2 parts, this is part 1.
    EXPECT_EQ(toHex(rec.udh, rec.udhLen), "00032A0201");
    EXPECT_EQ(text(rec), "part one");
    EXPECT_EQ(rec.dataLen, 8);
}

TEST(PduDecode, DeliverFlags) {
    SmsPduRec rec;
    // 0xA4: reply path, status report indication, more-messages bit.
    const auto tpdu = fromHex(deliverHex("A4", "00", "02C834"));
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(rec.replyPath, 1);
    EXPECT_EQ(rec.deliver.statusReport, 1);
    EXPECT_EQ(rec.moreMsgs, 1);
    EXPECT_EQ(rec.udhi, 0);
}

TEST(PduDecode, ZoneInWholeHours) {
    const struct {
        const char *octet;
        int16_t hours;
    } cases[] = {{"88", -2}, {"23", 8}, {"69", -4}, {"22", 5}, {"00", 0}};
    for (const auto &c : cases) {
        SmsPduRec rec;
        const auto tpdu = fromHex(deliverHex("04", "00", "02C834", c.octet));
        ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER) << c.octet;
        EXPECT_EQ(rec.deliver.scts.zone, c.hours) << c.octet;
    }
}

// ---- Coding groups (23.038 4) ----

enum class Reading { Gsm7, Ucs2, Binary, Other };

struct DcsCase {
    const char *name;
    uint8_t dcs;
    Reading reading;
};

void PrintTo(const DcsCase &c, std::ostream *os) { *os << c.name; }

// The old reading (coding AND 0x0F) took the rows marked "regression" wrongly.
const DcsCase kDcsCases[] = {
    {"default_00", 0x00, Reading::Gsm7},
    {"class1_11_regression", 0x11, Reading::Gsm7},
    {"class2_12_regression", 0x12, Reading::Gsm7},
    {"reserved_alphabet_0C", 0x0C, Reading::Gsm7},
    {"ucs2_08", 0x08, Reading::Ucs2},
    {"ucs2_class0_18", 0x18, Reading::Ucs2},
    {"autodelete_ucs2_48", 0x48, Reading::Ucs2},
    {"data_04", 0x04, Reading::Binary},
    {"compressed_24", 0x24, Reading::Other},
    {"compressed_autodelete_68", 0x68, Reading::Other},
    {"reserved_group_80", 0x80, Reading::Gsm7},
    {"mwi_discard_C8_regression", 0xC8, Reading::Gsm7},
    {"mwi_store_D0", 0xD0, Reading::Gsm7},
    {"mwi_store_ucs2_E0_regression", 0xE0, Reading::Ucs2},
    {"class1_F1_regression", 0xF1, Reading::Gsm7},
    {"class2_F2_regression", 0xF2, Reading::Gsm7},
    {"reserved_bit_F8", 0xF8, Reading::Gsm7},
    {"data_class0_F4", 0xF4, Reading::Binary},
    {"data_class2_F6", 0xF6, Reading::Binary},
};

class DcsGroups : public ::testing::TestWithParam<DcsCase> {};

TEST_P(DcsGroups, ReadsByCodingGroup) {
    const DcsCase &c = GetParam();
    // "Hi" written the way the coding says.
    const char *ud = c.reading == Reading::Gsm7 ? "02C834" : c.reading == Reading::Ucs2 ? "0400480069" : "024869";
    char dcs[3];
    std::snprintf(dcs, sizeof dcs, "%02X", c.dcs);
    const auto tpdu = fromHex(deliverHex("04", dcs, ud));
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    switch (c.reading) {
    case Reading::Gsm7:
    case Reading::Ucs2:
        EXPECT_EQ(rec.binary, 0);
        EXPECT_EQ(text(rec), "Hi");
        EXPECT_EQ(rec.dataLen, 2);
        break;
    case Reading::Binary:
    case Reading::Other:
        EXPECT_EQ(rec.binary, 1);
        ASSERT_EQ(rec.dataLen, 2);
        EXPECT_EQ(toHex(rec.data, 2), "4869");
        break;
    }
    const bool other = c.reading == Reading::Other;
    EXPECT_EQ(rec.otherCoding, other ? 1 : 0);
    EXPECT_EQ(rec.dcs, other ? c.dcs : 0);
}

INSTANTIATE_TEST_SUITE_P(Pdu, DcsGroups, ::testing::ValuesIn(kDcsCases),
                         CaseName());

// ---- Text readings ----

struct TextCase {
    const char *name;
    std::string udlAndUd;
    uint8_t dcs;
    std::string expected;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

std::string septetUd(const std::vector<uint8_t> &septets) {
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(septets.size()));
    const auto packed = pack7(septets);
    return udl + toHex(packed.data(), packed.size());
}

std::string ucs2Ud(const std::string &units) {
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(units.size() / 2));
    return udl + units;
}

std::vector<TextCase> textCases() {
    std::vector<TextCase> v;
    v.push_back({"at_dollar_underscore", septetUd({0x00, 0x02, 0x11}), 0x00, "@$_"});
    v.push_back({"currency_sign", septetUd({0x24}), 0x00, "\xC2\xA4"});
    v.push_back({"greek", septetUd({0x10, 0x15}), 0x00, "\xCE\x94\xCE\xA9"});
    v.push_back({"escape_escape_is_blank", septetUd({'a', 0x1B, 0x1B, 'b'}), 0x00, "a b"});
    v.push_back({"unknown_escape_shows_base", septetUd({0x1B, 'A'}), 0x00, "A"});
    v.push_back({"lone_escape_at_end", septetUd({'a', 0x1B}), 0x00, "a "});
    v.push_back({"cr_lf", septetUd({'a', 0x0D, 0x0A, 'b'}), 0x00, "a\r\nb"});
    v.push_back({"emoji_pair", ucs2Ud("0041D83DDE000042"), 0x08, "A\xF0\x9F\x98\x80" "B"});
    v.push_back({"lone_high_surrogate", ucs2Ud("D83D0041"), 0x08, "\xEF\xBF\xBD" "A"});
    v.push_back({"lone_low_surrogate", ucs2Ud("DE000041"), 0x08, "\xEF\xBF\xBD" "A"});
    v.push_back({"high_surrogate_at_end", ucs2Ud("0041D83D"), 0x08, "A\xEF\xBF\xBD"});
    v.push_back({"odd_octet_dropped", "03004800", 0x08, "H"});
    v.push_back({"zero_unit_ends_text", ucs2Ud("004100000042"), 0x08, "A"});
    return v;
}

class TextReadings : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReadings, ToUtf8) {
    const TextCase &c = GetParam();
    char dcs[3];
    std::snprintf(dcs, sizeof dcs, "%02X", c.dcs);
    const auto tpdu = fromHex(deliverHex("04", dcs, c.udlAndUd));
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(text(rec), c.expected);
    EXPECT_EQ(rec.dataLen, c.expected.size());
}

INSTANTIATE_TEST_SUITE_P(Pdu, TextReadings, ::testing::ValuesIn(textCases()),
                         CaseName());

// A 7-bit text can decode to more UTF-8 than the record's 210 bytes: it is cut before the first
// character that does not fit, never inside one.
TEST(PduDecode, LongTextCutOnCharacterBoundary) {
    std::vector<uint8_t> septets{'A'};
    for (int i = 0; i < 79; ++i) {
        septets.push_back(0x1B);
        septets.push_back(0x65); // euro sign, 3 bytes of UTF-8
    }
    const auto tpdu = fromHex(deliverHex("04", "00", septetUd(septets)));
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(rec.dataLen, 1 + 69 * 3);
    EXPECT_EQ(text(rec).size(), rec.dataLen);
    EXPECT_TRUE(isValidUtf8(reinterpret_cast<const char *>(rec.data), rec.dataLen));

    SmsRecord out;
    ASSERT_EQ(SmsPdu_buildRecord(&rec, SMS_PDU_DELIVER, &out), 0);
    EXPECT_EQ(std::strlen(out.text), rec.dataLen);
}

TEST(PduDecode, SeventyUcs2UnitsFillTheField) {
    std::string units;
    for (int i = 0; i < 70; ++i)
        units += "4E2D";
    const auto tpdu = fromHex(deliverHex("04", "08", ucs2Ud(units)));
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(rec.dataLen, 210);
    EXPECT_EQ(text(rec).size(), 210u);
}

// A seven-octet header ends on a septet boundary: no fill bits before the text.
TEST(PduDecode, SevenOctetHeaderNeedsNoFill) {
    std::vector<uint8_t> ud = fromHex("060804002A0201"); // 16-bit reference concatenation
    const auto text7 = pack7({'o', 'k'});
    ud.insert(ud.end(), text7.begin(), text7.end());
    const std::string hex = deliverHex("44", "00", "0A" + toHex(ud.data(), ud.size()));
    const auto tpdu = fromHex(hex);
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(text(rec), "ok");
    EXPECT_EQ(rec.udhLen, 6);
}

// ---- Addresses ----

struct AddressCase {
    const char *name;
    std::string field; // TP-OA as hex
    std::string expected;
};

void PrintTo(const AddressCase &c, std::ostream *os) { *os << c.name; }

std::vector<AddressCase> addressCases() {
    std::vector<AddressCase> v = {
        {"international_91", "0C91947110325476", "+491701234567"},
        {"international_ext_bit_clear_11", "0C11947110325476", "+491701234567"},
        {"international_unknown_plan_90", "0C90947110325476", "+491701234567"},
        {"unknown_81", "05812143F5", "12345"},
        {"national_A1", "0AA11032547698", "0123456789"},
        {"subscriber_C8", "0BC87238880900F1", "27838890001"},
        {"alphanumeric_D0", "0DD049B7F93D6D4E01", "InfoSMS"},
        {"alphanumeric_ext_bit_clear_50", "0D5049B7F93D6D4E01", "InfoSMS"},
        // Some handsets fill an odd count with 0 instead of F: the count decides.
        {"odd_count_zero_fill", "03812103", "123"},
        {"empty", "0081", ""},
    };
    // GSM codes, not ASCII: "@" is code 0, the pound sign code 1.
    const auto packed = pack7({'A', 0x00, 0x01});
    v.push_back({"alphanumeric_gsm_codes", "06D0" + toHex(packed.data(), packed.size()), "A@\xC2\xA3"});
    return v;
}

class Addresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(Addresses, OriginatingAddress) {
    const AddressCase &c = GetParam();
    const auto tpdu = fromHex("04" + c.field + "0000" + "50307141030023" + "02C834");
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_EQ(std::string(rec.address), c.expected);
    EXPECT_EQ(text(rec), "Hi"); // and the fields after it are where they belong
}

INSTANTIATE_TEST_SUITE_P(Pdu, Addresses, ::testing::ValuesIn(addressCases()),
                         CaseName());

// 23.040 9.1.2.3 gives the nibbles A-E as "*", "#", "a", "b", "c". The field codec currently drops
// them (reported); whichever reading it gives, the decode survives and the digits keep their order.
TEST(PduDecode, ExtendedBcdDigitsSurvive) {
    const auto tpdu = fromHex("04" "0581" "21BAF3" "0000" "50307141030023" "02C834");
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_DELIVER);
    EXPECT_THAT(std::string(rec.address), ::testing::AnyOf("12*#3", "123"));
    EXPECT_EQ(text(rec), "Hi");
}

// ---- Malformed TPDUs ----

struct BadCase {
    const char *name;
    std::string hex;
    int32_t result;
};

void PrintTo(const BadCase &c, std::ostream *os) { *os << c.name; }

std::vector<BadCase> badCases() {
    std::string longUd(282, 'A');
    return {
        {"empty", "", DV_E_FAIL},
        {"reserved_type_3", "03" "0C91947110325476" "0000" "50307141030023" "02C834", DV_E_ARG},
        {"udl_beyond_data", deliverHex("04", "00", "05C834"), DV_E_FAIL},
        {"udhl_beyond_user_data", deliverHex("44", "04", "03050003"), DV_E_FAIL},
        {"header_septets_beyond_udl", deliverHex("44", "00", "0100"), DV_E_FAIL},
        {"udl_over_160_septets", deliverHex("04", "00", "A1" + longUd), DV_E_FAIL},
        {"ucs2_udl_over_140_octets", deliverHex("04", "08", "8D" + longUd), DV_E_FAIL},
        {"address_over_20_digits", "04" "1691" "1111111111111111111111" "0000" "50307141030023" "02C834", DV_E_FAIL},
        {"address_cut", "040C919471", DV_E_FAIL},
        {"submit_absolute_validity_cut", "19000C91947110325476" "0000" "503071", DV_E_FAIL},
        {"report_without_status", "062A0D91683108108300F0" "50307141030023" "50307141030023", DV_E_FAIL},
    };
}

class BadTpdus : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadTpdus, Refused) {
    const BadCase &c = GetParam();
    const auto tpdu = fromHex(c.hex);
    SmsPduRec rec;
    EXPECT_EQ(decodeExact(tpdu, tpdu.size(), rec), c.result);
    EXPECT_TRUE(allZero(&rec, sizeof rec));
    SmsRecord out;
    ExactBytes bytes(tpdu.data(), tpdu.size());
    EXPECT_EQ(SmsPdu_decodeRecord(bytes.data(), tpdu.size(), &out), DV_E_FAIL);
    EXPECT_TRUE(allZero(&out, sizeof out));
}

INSTANTIATE_TEST_SUITE_P(Pdu, BadTpdus, ::testing::ValuesIn(badCases()),
                         CaseName());

// ---- SUBMIT ----

TEST(PduDecode, SubmitValidityFormats) {
    const struct {
        const char *name;
        const char *hex;
        int32_t validity;
    } cases[] = {
        {"relative", "11000C91947110325476" "0000" "A7" "02C834", 0xA7},
        {"none", "01000C91947110325476" "0000" "02C834", 0},
        {"absolute_skipped", "19000C91947110325476" "0000" "50307141030023" "02C834", 0},
        {"enhanced_skipped", "09000C91947110325476" "0000" "01000000000000" "02C834", 0},
    };
    for (const auto &c : cases) {
        const auto tpdu = fromHex(c.hex);
        SmsPduRec rec;
        ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_SUBMIT) << c.name;
        EXPECT_EQ(rec.submit.validity, c.validity) << c.name;
        EXPECT_EQ(text(rec), "Hi") << c.name;
    }
}

TEST(PduDecode, SubmitFlagsAndReference) {
    // 0xB5: reply path, status report request, reject duplicates, relative validity.
    const auto tpdu = fromHex("B57B0C91947110325476" "0000" "A7" "02C834");
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_SUBMIT);
    EXPECT_EQ(rec.replyPath, 1);
    EXPECT_EQ(rec.submit.statusReport, 1);
    EXPECT_EQ(rec.rejectDup, 1);
    EXPECT_EQ(rec.submit.msgRef, 0x7B);
}

// ---- STATUS-REPORT and its optional part ----

// Service-centre time 14:30:00, discharge time 14:30:15, both +8 h.
const char kReport[] = "062A0D91683108108300F0" "50307141030023" "50307141035123" "00";

struct ReportCase {
    const char *name;
    std::string tail; // after TP-ST
    int32_t piPresent;
    std::string text;
};

void PrintTo(const ReportCase &c, std::ostream *os) { *os << c.name; }

std::vector<ReportCase> reportCases() {
    return {
        {"no_optional_part", "", 0, ""},
        // Read from SIM storage: the record is padded with 0xFF after TP-ST.
        {"sim_padding", std::string(40, 'F'), 0, ""},
        {"pid_dcs_and_text", "07" "00" "00" "02C834", 1, "Hi"},
        {"text_default_coding", "04" "02C834", 1, "Hi"},
        {"extended_indicator", "84" "00" "02C834", 1, "Hi"},
        {"pid_only", "01" "7F", 1, ""},
        {"indicator_alone", "00", 1, ""},
        // An optional part that does not fit is padding, not a reason to lose the report.
        {"user_data_length_beyond_end", "04" "FF" "C834", 0, ""},
        {"endless_extension", "80" "80" "80", 0, ""},
    };
}

class Reports : public ::testing::TestWithParam<ReportCase> {};

TEST_P(Reports, MandatoryPartAlwaysRead) {
    const ReportCase &c = GetParam();
    const auto tpdu = fromHex(kReport + c.tail);
    SmsPduRec rec;
    ASSERT_EQ(decodeExact(tpdu, tpdu.size(), rec), SMS_PDU_STATUS_REPORT);
    EXPECT_EQ(rec.report.msgRef, 42);
    EXPECT_EQ(rec.report.status, 0);
    EXPECT_STREQ(rec.address, "+8613800138000");
    EXPECT_EQ(rec.report.scts.year, 5);
    EXPECT_EQ(rec.report.scts.second, 0);
    EXPECT_EQ(rec.report.discharge.minute, 30);
    EXPECT_EQ(rec.report.discharge.second, 15);
    EXPECT_EQ(rec.report.discharge.zone, 8);
    EXPECT_EQ(rec.moreMsgs, 1);
    EXPECT_EQ(rec.report.piPresent, c.piPresent);
    EXPECT_EQ(text(rec), c.text);
}

INSTANTIATE_TEST_SUITE_P(Pdu, Reports, ::testing::ValuesIn(reportCases()),
                         CaseName());

TEST(PduDecode, ReportStatusAndTimeReachTheRecord) {
    const auto tpdu = fromHex("062A0D91683108108300F0" "99309251619580" "50307141030023" "46" + std::string(20, 'F'));
    ExactBytes bytes(tpdu.data(), tpdu.size());
    SmsRecord out;
    ASSERT_EQ(SmsPdu_decodeRecord(bytes.data(), tpdu.size(), &out), 0);
    EXPECT_EQ(out.state, SMS_STATE_REPORT);
    EXPECT_EQ(out.reportStatus, 0x46);
    EXPECT_EQ(out.time.year, 99); // the service-centre time stamp, not the discharge time
    EXPECT_EQ(out.time.zone, 2);
    EXPECT_STREQ(out.text, "");
}

// ---- Hostile input ----

// What a decode may give back: an error and a zeroed record, or a record whose texts are
// terminated within their fields and valid UTF-8.
void expectSane(int32_t rc, const SmsPduRec &rec) {
    ASSERT_TRUE(rc == DV_E_FAIL || rc == DV_E_ARG || (rc >= 0 && rc <= 2)) << rc;
    if (rc < 0) {
        ASSERT_TRUE(allZero(&rec, sizeof rec));
        return;
    }
    ASSERT_LT(strnlen(rec.address, sizeof rec.address), sizeof rec.address);
    ASSERT_TRUE(isValidUtf8(rec.address, std::strlen(rec.address)));
    ASSERT_LE(rec.udhLen, sizeof rec.udh);
    if (rec.binary) {
        ASSERT_LE(rec.dataLen, 140);
    } else {
        const char *t = reinterpret_cast<const char *>(rec.data);
        ASSERT_EQ(strnlen(t, sizeof rec.data), rec.dataLen);
        ASSERT_LE(rec.dataLen, SMS_PDU_TEXT_MAX);
        ASSERT_TRUE(isValidUtf8(t, rec.dataLen));
    }
    SmsRecord out;
    ASSERT_EQ(SmsPdu_buildRecord(&rec, rc, &out), 0);
    ASSERT_LT(strnlen(out.text, sizeof out.text), sizeof out.text);
    ASSERT_LT(strnlen(out.number, sizeof out.number), sizeof out.number);
}

TEST(PduHostile, RandomBytes) {
    std::mt19937 rng(20240607);
    std::vector<uint8_t> buf(200);
    for (int i = 0; i < 20000; ++i) {
        const size_t n = rng() % buf.size();
        for (size_t k = 0; k < n; ++k)
            buf[k] = static_cast<uint8_t>(rng());
        // Keep the message types that get past the first octet most of the time.
        if (n > 0 && (i & 1))
            buf[0] = static_cast<uint8_t>((buf[0] & ~3u) | (i % 3));
        SmsPduRec rec;
        const int32_t rc = decodeExact(buf, n, rec);
        expectSane(rc, rec);
    }
}

// Line noise on real PDUs: a few bytes of each vector changed, the length kept or cut.
TEST(PduHostile, CorruptedVectors) {
    std::mt19937 rng(7);
    for (const RecordCase &c : kRecordCases) {
        const std::vector<uint8_t> good = tpduOf(c);
        for (int i = 0; i < 3000; ++i) {
            std::vector<uint8_t> bad = good;
            const int flips = 1 + static_cast<int>(rng() % 3);
            for (int f = 0; f < flips; ++f)
                bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
            const size_t n = (i % 4 == 0) ? rng() % (bad.size() + 1) : bad.size();
            SmsPduRec rec;
            const int32_t rc = decodeExact(bad, n, rec);
            expectSane(rc, rec);
        }
    }
}

TEST(PduHostile, NullArguments) {
    SmsPduRec rec{};
    EXPECT_EQ(SmsPdu_decode(nullptr, 5, &rec), DV_E_ARG);
    const uint8_t one = 0;
    EXPECT_EQ(SmsPdu_decode(&one, 1, nullptr), DV_E_ARG);
    EXPECT_EQ(SmsPdu_decodeRecord(nullptr, 5, nullptr), DV_E_FAIL);
    SmsRecord out;
    EXPECT_EQ(SmsPdu_buildRecord(&rec, 3, &out), DV_E_ARG);
    EXPECT_EQ(SmsPdu_buildRecord(nullptr, 0, &out), DV_E_ARG);
}

} // namespace
