// The phone-book layer's parsers and text conversions, on reply lines as real handsets write them
// and on hostile ones: each row names the shape it stands for.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "dv_result.h"
#include "pb_at.h"

namespace {

using namespace std::string_literals;

// ---- "+CPBR=?" ----

struct RangeRow {
    const char *name;
    std::string line;
    int32_t rc;
    int32_t first, last, numLen, textLen;
};

void PrintTo(const RangeRow &row, std::ostream *os) { *os << row.name; }

class RangeParse : public ::testing::TestWithParam<RangeRow> {};

TEST_P(RangeParse, Line) {
    const RangeRow &row = GetParam();
    PbRange r;
    r.first = 77; // untouched on failure
    ASSERT_EQ(row.rc, PbAt_parseRange(row.line, &r));
    if (row.rc < 0) {
        EXPECT_EQ(77, r.first);
        return;
    }
    EXPECT_EQ(row.first, r.first);
    EXPECT_EQ(row.last, r.last);
    EXPECT_EQ(row.numLen, r.numLen);
    EXPECT_EQ(row.textLen, r.textLen);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RangeParse,
    ::testing::Values(RangeRow{"standard", "+CPBR: (1-250),40,14", 0, 1, 250, 40, 14},
                      RangeRow{"noParentheses", "+CPBR: 1-250,40,14", 0, 1, 250, 40, 14},
                      RangeRow{"emptyParentheses", "+CPBR: (),40,14", 0, 1, 0, 40, 14},
                      RangeRow{"singleLocation", "+CPBR: (1),40,14", 0, 1, 1, 40, 14},
                      RangeRow{"extraFields", "+CPBR: (1-250),40,14,0,0,0", 0, 1, 250, 40, 14},
                      RangeRow{"noLengths", "+CPBR: (1-100)", 0, 1, 100, 0, 0},
                      RangeRow{"blanksEverywhere", "+CPBR:  ( 1 - 250 ) , 40 , 14 ", 0, 1, 250, 40, 14},
                      RangeRow{"lowerCasePrefix", "+cpbr: (0-9),20,10", 0, 0, 9, 20, 10},
                      RangeRow{"emptyLengthFields", "+CPBR: (1-5),,", 0, 1, 5, 0, 0},
                      RangeRow{"prefixStripped", "(1-500),40,30", 0, 1, 500, 40, 30},
                      RangeRow{"words", "+CPBR: abc", DV_E_MALFORMED, 0, 0, 0, 0},
                      RangeRow{"unclosedParenthesis", "+CPBR: (1-250,40,14", DV_E_MALFORMED, 0, 0, 0, 0},
                      RangeRow{"dashWithoutEnd", "+CPBR: (1-),40,14", DV_E_MALFORMED, 0, 0, 0, 0},
                      RangeRow{"indexOverflows", "+CPBR: (1-99999999999),40,14", DV_E_MALFORMED, 0, 0, 0, 0},
                      RangeRow{"emptyLine", "", DV_E_MALFORMED, 0, 0, 0, 0}),
    [](const auto &p) { return std::string(p.param.name); });

// ---- "+CPBS?" ----

struct StorRow {
    const char *name;
    std::string line;
    int32_t rc;
    int32_t stor, used, total;
};

void PrintTo(const StorRow &row, std::ostream *os) { *os << row.name; }

class StorParse : public ::testing::TestWithParam<StorRow> {};

TEST_P(StorParse, Line) {
    const StorRow &row = GetParam();
    PbStorInfo info;
    ASSERT_EQ(row.rc, PbAt_parseStor(row.line, &info));
    if (row.rc < 0)
        return;
    EXPECT_EQ(row.stor, info.stor);
    EXPECT_EQ(row.used, info.used);
    EXPECT_EQ(row.total, info.total);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, StorParse,
    ::testing::Values(StorRow{"simWithCounts", "+CPBS: \"SM\",3,250", 0, 1, 3, 250},
                      StorRow{"phoneWithoutPrefix", "\"ME\",0,500", 0, 2, 0, 500},
                      StorRow{"noCounts", "+CPBS: \"SM\"", 0, 1, -1, -1},
                      StorRow{"usedOnly", "+CPBS: \"sm\",7", 0, 1, 7, -1},
                      StorRow{"otherStorage", "+CPBS: \"FD\",1,10", 0, 0, 1, 10},
                      StorRow{"unquotedName", "+CPBS: SM,3,250", DV_E_MALFORMED, 0, 0, 0},
                      StorRow{"unclosedName", "+CPBS: \"SM,3,250", DV_E_MALFORMED, 0, 0, 0}),
    [](const auto &p) { return std::string(p.param.name); });

// ---- entry lines ----

struct EntryRow {
    const char *name;
    std::string line;
    int32_t rc;
    int32_t index;
    std::string number;
    int32_t type;
    std::string text;
};

void PrintTo(const EntryRow &row, std::ostream *os) { *os << row.name; }

class EntryParse : public ::testing::TestWithParam<EntryRow> {};

TEST_P(EntryParse, Line) {
    const EntryRow &row = GetParam();
    PbEntry e;
    ASSERT_EQ(row.rc, PbAt_parseEntry(row.line, &e));
    if (row.rc < 0)
        return;
    EXPECT_EQ(row.index, e.index);
    EXPECT_EQ(row.number, e.number);
    EXPECT_EQ(row.type, e.type);
    EXPECT_EQ(row.text, e.text);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, EntryParse,
    ::testing::Values(
        EntryRow{"standard", "+CPBR: 1,\"+8613800138000\",145,\"Smith John\"", 0, 1, "+8613800138000", 145, "Smith John"},
        EntryRow{"unquotedUcs2Text", "+CPBR: 2,\"123\",129,004A006F", 0, 2, "123", 129, "004A006F"},
        EntryRow{"trailingDateAndTime", "+CPBR: 3,\"123\",129,\"Bob\",\"05/03/17\",\"14:30\"", 0, 3, "123", 129, "Bob"},
        EntryRow{"controlBytesInNumber", "+CPBR: 4,\"12\x01""3\x7f""4\x1b\",129,\"X\"", 0, 4, "1234", 129, "X"},
        EntryRow{"mailInNumber", "+CPBR: 5,\"john@example.com\",129,\"John\"", 0, 5, "john@example.com", 129, "John"},
        EntryRow{"noTextField", "+CPBR: 6,\"123\",129", 0, 6, "123", 129, ""},
        EntryRow{"commaInText", "+CPBR: 7,\"1\",129,\"Doe, John\"", 0, 7, "1", 129, "Doe, John"},
        EntryRow{"unquotedNumber", "+CPBR: 8,+4471234,145,\"A\"", 0, 8, "+4471234", 145, "A"},
        EntryRow{"lowerCasePrefix", "+cpbr: 9,\"1\",129,\"a\"", 0, 9, "1", 129, "a"},
        EntryRow{"zeroByteInText", "+CPBR: 10,\"1\",129,\"a\0b\""s, 0, 10, "1", 129, "a\0b"s},
        // A name cut by a short line buffer lost its closing quote: skipped, never read as data.
        EntryRow{"unclosedText", "+CPBR: 11,\"1\",129,\"Long name", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"textAfterQuote", "+CPBR: 12,\"1\"x,129,\"a\"", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"otherReply", "+CPBS: \"SM\",1,250", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"negativeIndex", "+CPBR: -1,\"1\",129,\"a\"", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"emptyType", "+CPBR: 13,\"1\",,\"a\"", 0, 13, "1", 0, "a"},
        EntryRow{"emptyTypeNoNumber", "+CPBR: 2,\"\",,\"Ann\",,", 0, 2, "", 0, "Ann"},
        EntryRow{"emptyFieldBeforeNumberAndDate", "+CPBR: 3,,\"5551234\",129,\"Bo\",\"05/03/17,14:30\"", 0, 3,
                 "5551234", 129, "Bo"},
        EntryRow{"internationalWithoutPlus", "+CPBR: 4,\"8613800138000\",145,\"C\"", 0, 4, "+8613800138000", 145,
                 "C"},
        EntryRow{"invalidBytesInNumber", "+CPBR: 5,\"12\xA1\x01""3\",129,\"D\"", 0, 5, "12\xEF\xBF\xBD""3", 129, "D"},
        EntryRow{"wordForType", "+CPBR: 6,\"1\",x,\"a\"", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"indexOverflows", "+CPBR: 4294967297,\"1\",129,\"a\"", DV_E_MALFORMED, 0, "", 0, ""},
        EntryRow{"prefixOnly", "+CPBR:", DV_E_MALFORMED, 0, "", 0, ""}),
    [](const auto &p) { return std::string(p.param.name); });

// ---- entry texts ----

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

struct DecodeRow {
    const char *name;
    int32_t cs;
    std::string raw;
    bool hex8Before;
    std::string utf8;
    bool hex8After;
};

void PrintTo(const DecodeRow &row, std::ostream *os) { *os << row.name; }

class TextDecode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(TextDecode, Field) {
    const DecodeRow &row = GetParam();
    bool hex8 = row.hex8Before;
    EXPECT_EQ(row.utf8, PbAt_decodeText(row.cs, row.raw, &hex8));
    EXPECT_EQ(row.hex8After, hex8);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, TextDecode,
    ::testing::Values(
        DecodeRow{"ucs2Chinese", PB_CS_UCS2, "5F204E09", false, "\xE5\xBC\xA0\xE4\xB8\x89", false},
        DecodeRow{"ucs2Latin", PB_CS_UCS2, "004A006F", false, "Jo", false},
        DecodeRow{"ucs2LowerCaseHex", PB_CS_UCS2, "004a006f", false, "Jo", false},
        DecodeRow{"ucs2SixtyUnits", PB_CS_UCS2, repeat("4E09", 60), false, repeat("\xE4\xB8\x89", 60), false},
        DecodeRow{"ucs2ControlUnits", PB_CS_UCS2, "0041000A000D0042", false, "AB", false},
        DecodeRow{"ucs2ZeroUnitEndsText", PB_CS_UCS2, "004100000042", false, "A", false},
        // 8-bit hex while UCS2 is selected: an odd number of bytes gives it away...
        DecodeRow{"hex8OddBytes", PB_CS_UCS2, "4A6F68", false, "Joh", true},
        DecodeRow{"hex8Latin1", PB_CS_UCS2, "E9", false, "\xC3\xA9", true},
        // ... and from then on an even one that could not be UCS-2 Latin text is read the same way,
        DecodeRow{"hex8Learned", PB_CS_UCS2, "4A6F", true, "Jo", true},
        // but one that can only be UCS-2 still is.
        DecodeRow{"hex8LearnedButUcs2", PB_CS_UCS2, "004A", true, "J", true},
        DecodeRow{"hex8NotLearned", PB_CS_UCS2, "4E2D", false, "\xE4\xB8\xAD", false},
        DecodeRow{"notHexAtAll", PB_CS_UCS2, "Bob", false, "Bob", false},
        DecodeRow{"oddHexDigits", PB_CS_UCS2, "004", false, "004", false},
        DecodeRow{"emptyUcs2", PB_CS_UCS2, "", false, "", false},
        DecodeRow{"gsmAsItIs", PB_CS_GSM, "Smith John", false, "Smith John", false},
        DecodeRow{"gsmCodes", PB_CS_GSM, std::string("a\x01""b\x7f\0\x11\x1b\x65", 8), false,
                  "a\xC2\xA3""b\xC3\xA0@_\xE2\x82\xAC", false},
        DecodeRow{"gsmEscapes", PB_CS_GSM, "\\22x\\5C\\0D\\00\\zz", false, "\"x\xC3\x96@\xC3\x96zz", false},
        DecodeRow{"gsmLineEndsDropped", PB_CS_GSM, "a\nb\rc", false, "abc", false},
        // A terminated field is read as 8-bit, but a UCS-2 name can look the same: it teaches nothing.
        DecodeRow{"ucs2Hex8Terminated", PB_CS_UCS2, "4A6F6500", false, "Joe", false},
        DecodeRow{"ucs2EndingInZeroByteStaysUcs2", PB_CS_UCS2, "738B4E00", false, "\xE7\x8E\x8B\xE4\xB8\x80", false},
        DecodeRow{"utf8InvalidReplaced", PB_CS_UTF8, "a\xA1\x02z", false, "a\xEF\xBF\xBDz", false},
        DecodeRow{"utf8AsItIs", PB_CS_UTF8, "Zo\xC3\xAB", false, "Zo\xC3\xAB", false},
        DecodeRow{"utf8HexIsText", PB_CS_UTF8, "004A", false, "004A", false}),
    [](const auto &p) { return std::string(p.param.name); });

// A UCS-2 name that ends in U+4E00 (one) reads like 8-bit hex closed by a 00 byte; the names
// after it are still read as UCS-2.
TEST(TextDecodeHabit, AFieldThatOnlyLooksTerminatedLeavesLaterNamesAlone) {
    bool hex8 = false;
    PbAt_decodeText(PB_CS_UCS2, "674E4E00", &hex8);
    EXPECT_EQ("\xE5\xBC\xA0\xE4\xB8\xAD", PbAt_decodeText(PB_CS_UCS2, "5F204E2D", &hex8));
    EXPECT_FALSE(hex8);
}

TEST(TextEncode, Ucs2IsUpperCaseHexOfUnits) {
    EXPECT_EQ("5F204E09", PbAt_encodeText(PB_CS_UCS2, "\xE5\xBC\xA0\xE4\xB8\x89"));
    EXPECT_EQ("0053006D0069007400680020004A006F0068006E", PbAt_encodeText(PB_CS_UCS2, "Smith John"));
    EXPECT_EQ("", PbAt_encodeText(PB_CS_UCS2, ""));
    EXPECT_EQ("Smith John", PbAt_encodeText(PB_CS_GSM, "Smith John"));
    EXPECT_EQ("Zo\xC3\xAB", PbAt_encodeText(PB_CS_UTF8, "Zo\xC3\xAB"));
}

TEST(TextEncode, Ucs2RoundTrip) {
    const std::string name = repeat("\xE4\xB8\x89", 60) + "a\xC3\xA9";
    EXPECT_EQ(name, PbAt_decodeText(PB_CS_UCS2, PbAt_encodeText(PB_CS_UCS2, name), nullptr));
}

struct QuoteRow {
    const char *name;
    std::string text;
    int32_t rc;
};

void PrintTo(const QuoteRow &row, std::ostream *os) { *os << row.name; }

class Quotable : public ::testing::TestWithParam<QuoteRow> {};

TEST_P(Quotable, Text) { EXPECT_EQ(GetParam().rc, PbAt_checkQuotable(GetParam().text)); }

INSTANTIATE_TEST_SUITE_P(
    Texts, Quotable,
    ::testing::Values(QuoteRow{"plain", "Smith John", 0}, QuoteRow{"empty", "", 0},
                      QuoteRow{"nonAscii", "\xE5\xBC\xA0 Zo\xC3\xAB", 0}, QuoteRow{"semicolon", "a;b", 0},
                      // A quote would close the argument and run the rest as a command of its own.
                      QuoteRow{"injectedDelete", "x\";+CMGD=1;\"", DV_E_ARG},
                      QuoteRow{"carriageReturn", "x\rAT+CMGD=1", DV_E_ARG}, QuoteRow{"lineFeed", "a\nb", DV_E_ARG},
                      QuoteRow{"zeroByte", "a\0b"s, DV_E_ARG}, QuoteRow{"delete", "a\x7f", DV_E_ARG},
                      QuoteRow{"escape", "a\x1b", DV_E_ARG}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(EmptyReply, NotFoundAndInvalidIndexMeanEmptySimStateDoesNot) {
    for (int code : {0, 3, 21, 22, 100})
        EXPECT_TRUE(PbAt_meansEmpty(code)) << code;
    for (int code = 10; code <= 18; ++code)
        EXPECT_FALSE(PbAt_meansEmpty(code)) << code;
}

} // namespace
