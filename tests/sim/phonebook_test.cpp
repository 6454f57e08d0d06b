// The simulated handset's phone books over a real pty: writing and reading in each character set,
// the limits and their error codes, empty ranges, storage selection and the +CPBR=? shapes.

#include "handset_sim.h"
#include "sim/sim_client.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using handsetsim::CpbrTestShape;
using handsetsim::EmptyRange;
using handsetsim::HandsetSim;
using handsetsim::PhonebookEntry;
using handsetsim::PhonebookStorage;
using handsetsim::Profile;
using simtest::Client;

namespace {

class SimPhonebook : public ::testing::Test {
  protected:
    void SetUp() override {
        client_ = std::make_unique<Client>(sim_.start());
        ASSERT_EQ(at("E0"), "ATE0\r\r\nOK\r\n");
    }
    std::string at(const std::string &cmd) { return client_->at(cmd); }

    HandsetSim sim_;
    std::unique_ptr<Client> client_;
};

struct CharsetRow {
    const char *name;
    const char *charset;
    std::string written; // the text field as the client sends it
    std::string stored;  // UTF-8 as the handset keeps it
    std::string read;    // the text field as the handset answers
};
void PrintTo(const CharsetRow &row, std::ostream *os) {
    *os << row.name;
}

const CharsetRow kCharsets[] = {
    {"gsm_ascii", "GSM", "Bob Smith", "Bob Smith", "Bob Smith"},
    // 23.038: "[" is 0x5B, which the GSM alphabet reads as A-umlaut; "@" (0x40) is inverted "!".
    {"gsm_national", "GSM", "J[rg@", "J\xC3\x84rg\xC2\xA1", "J[rg@"},
    // V.250 string escapes for the codes that cannot stand in a quoted field: 0 ("@"), '"', 0x5C
    {"gsm_escapes", "GSM", "a\\00b\\22c\\5C", "a@b\"c\xC3\x96", "a\\00b\\22c\\5C"},
    {"ucs2", "UCS2", "004A00F6", "J\xC3\xB6", "004A00F6"},
    {"ucs2_lower_case_hex", "UCS2", "4e2d6587", "\xE4\xB8\xAD\xE6\x96\x87", "4E2D6587"},
    {"ucs2_surrogate_pair", "UCS2", "D83DDE00", "\xF0\x9F\x98\x80", "D83DDE00"},
    {"utf8", "UTF-8", "J\xC3\xB6rg", "J\xC3\xB6rg", "J\xC3\xB6rg"},
    {"ira", "IRA", "Ann", "Ann", "Ann"},
};

class SimPhonebookCharset : public SimPhonebook, public ::testing::WithParamInterface<CharsetRow> {};

TEST_P(SimPhonebookCharset, WritesAndReadsBack) {
    const auto &row = GetParam();
    ASSERT_EQ(at("+CSCS=\"" + std::string(row.charset) + "\""), "\r\nOK\r\n");
    ASSERT_EQ(at("+CPBW=5,\"+8613912345678\",145,\"" + row.written + "\""), "\r\nOK\r\n")
        << sim_.transcriptText();
    const auto pb = sim_.phonebook("SM");
    ASSERT_TRUE(pb && pb->entries.count(5));
    EXPECT_EQ(pb->entries.at(5).text, row.stored);
    EXPECT_EQ(at("+CPBR=5"), "\r\n+CPBR: 5,\"+8613912345678\",145,\"" + row.read + "\"\r\n\r\nOK\r\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, SimPhonebookCharset, ::testing::ValuesIn(kCharsets),
                         [](const auto &p) { return p.param.name; });

TEST_F(SimPhonebook, TextStoredOnceShowsInEverySet) {
    sim_.putPhonebookEntry("SM", PhonebookEntry{1, "123", 129, "J\xC3\xB6 \xE4\xB8\xAD\xE2\x82\xAC"});
    EXPECT_EQ(at("+CSCS=\"UCS2\";+CPBR=1"),
              "\r\n+CPBR: 1,\"123\",129,\"004A00F600204E2D20AC\"\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CSCS=\"UTF-8\";+CPBR=1"),
              "\r\n+CPBR: 1,\"123\",129,\"J\xC3\xB6 \xE4\xB8\xAD\xE2\x82\xAC\"\r\n\r\nOK\r\n");
    // GSM has o-umlaut (0x7C) and the euro behind the escape, but no CJK: that one becomes '?'.
    EXPECT_EQ(at("+CSCS=\"GSM\";+CPBR=1"), "\r\n+CPBR: 1,\"123\",129,\"J| ?\x1B\x65\"\r\n\r\nOK\r\n");
}

struct ErrorRow {
    const char *name;
    const char *command;
    const char *reply;
};
void PrintTo(const ErrorRow &row, std::ostream *os) {
    *os << row.name;
}

// Storage SM: 1-250, number 40, text 14 (the defaults).
const ErrorRow kErrors[] = {
    {"text_too_long", "+CPBW=1,\"123\",129,\"ABCDEFGHIJKLMNO\"", "+CME ERROR: 24"},
    {"text_at_limit", "+CPBW=1,\"123\",129,\"ABCDEFGHIJKLMN\"", "OK"},
    {"number_too_long", "+CPBW=1,\"12345678901234567890123456789012345678901\",129,\"A\"", "+CME ERROR: 26"},
    {"number_at_limit_with_plus", "+CPBW=1,\"+1234567890123456789012345678901234567890\",145,\"A\"", "OK"},
    {"bad_dial_character", "+CPBW=1,\"12x4\",129,\"A\"", "+CME ERROR: 27"},
    {"index_zero", "+CPBW=0,\"123\",129,\"A\"", "+CME ERROR: 21"},
    {"index_past_last", "+CPBR=251", "+CME ERROR: 21"},
    {"range_past_last", "+CPBR=245,260", "+CME ERROR: 21"},
    {"range_backwards", "+CPBR=10,5", "+CME ERROR: 21"},
    {"odd_ucs2_hex", "+CSCS=\"UCS2\";+CPBW=1,\"123\",129,\"004\"", "+CME ERROR: 25"},
    {"gsm_8bit_byte", "+CPBW=1,\"123\",129,\"\xC3\xB6\"", "+CME ERROR: 25"},
    {"bad_type", "+CPBW=1,\"123\",300,\"A\"", "ERROR"},
    {"unknown_storage", "+CPBS=\"XX\"", "ERROR"},
    {"read_only_storage", "+CPBS=\"LD\";+CPBW=1,\"123\",129,\"A\"", "+CME ERROR: 3"},
    {"missing_index", "+CPBR", "ERROR"},
};

class SimPhonebookError : public SimPhonebook, public ::testing::WithParamInterface<ErrorRow> {};

TEST_P(SimPhonebookError, Answers) {
    PhonebookStorage ld;
    ld.name = "LD";
    ld.last = 10;
    ld.writable = false;
    sim_.setPhonebook(ld);
    EXPECT_EQ(at(GetParam().command), "\r\n" + std::string(GetParam().reply) + "\r\n")
        << sim_.transcriptText();
}

INSTANTIATE_TEST_SUITE_P(Rows, SimPhonebookError, ::testing::ValuesIn(kErrors),
                         [](const auto &p) { return p.param.name; });

TEST_F(SimPhonebook, WriteDeleteFirstFreeAndCounts) {
    ASSERT_EQ(at("+CPBW=1,\"111\",129,\"A\""), "\r\nOK\r\n");
    ASSERT_EQ(at("+CPBW=3,\"333\",129,\"C\""), "\r\nOK\r\n");
    // No index: the first free position, here 2.
    ASSERT_EQ(at("+CPBW=,\"+222\",145,\"B\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CPBS?"), "\r\n+CPBS: \"SM\",3,250\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CPBR=1,10"), "\r\n+CPBR: 1,\"111\",129,\"A\"\r\n+CPBR: 2,\"+222\",145,\"B\"\r\n"
                                "+CPBR: 3,\"333\",129,\"C\"\r\n\r\nOK\r\n");
    // Only the index: delete.
    ASSERT_EQ(at("+CPBW=2"), "\r\nOK\r\n");
    EXPECT_EQ(at("+CPBR=2"), "\r\nOK\r\n");
    // Type 145 without "+": the handset shows the number as international.
    ASSERT_EQ(at("+CPBW=2,\"8613\",145,\"D\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CPBR=2"), "\r\n+CPBR: 2,\"+8613\",145,\"D\"\r\n\r\nOK\r\n");
    // Empty number and text empties the position.
    ASSERT_EQ(at("+CPBW=2,\"\",129,\"\""), "\r\nOK\r\n");
    EXPECT_FALSE(sim_.phonebook("SM")->entries.count(2));
}

TEST_F(SimPhonebook, FullStorageAndEmptyRanges) {
    PhonebookStorage small;
    small.name = "SM";
    small.first = 1;
    small.last = 2;
    sim_.setPhonebook(small);
    EXPECT_EQ(at("+CPBR=1,2"), "\r\nOK\r\n");
    sim_.updateProfile([](Profile &p) { p.emptyRange = EmptyRange::NotFound; });
    EXPECT_EQ(at("+CPBR=1,2"), "\r\n+CME ERROR: 22\r\n");
    ASSERT_EQ(at("+CPBW=,\"1\",129,\"A\""), "\r\nOK\r\n");
    ASSERT_EQ(at("+CPBW=,\"2\",129,\"B\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CPBW=,\"3\",129,\"C\""), "\r\n+CME ERROR: 20\r\n");
    EXPECT_EQ(at("+CPBS?"), "\r\n+CPBS: \"SM\",2,2\r\n\r\nOK\r\n");
}

TEST_F(SimPhonebook, StorageSelection) {
    EXPECT_EQ(at("+CPBS=?"), "\r\n+CPBS: (\"SM\",\"ME\")\r\n\r\nOK\r\n");
    ASSERT_EQ(at("+CPBS=\"ME\""), "\r\nOK\r\n");
    EXPECT_EQ(at("+CPBS?"), "\r\n+CPBS: \"ME\",0,500\r\n\r\nOK\r\n");
    EXPECT_EQ(at("+CPBR=?"), "\r\n+CPBR: (1-500),40,30\r\n\r\nOK\r\n");
    ASSERT_EQ(at("+CPBW=400,\"5\",129,\"Me\""), "\r\nOK\r\n");
    EXPECT_TRUE(sim_.phonebook("ME")->entries.count(400));
    EXPECT_TRUE(sim_.phonebook("SM")->entries.empty());
}

struct ShapeRow {
    const char *name;
    CpbrTestShape shape;
    const char *reply;
};
void PrintTo(const ShapeRow &row, std::ostream *os) {
    *os << row.name;
}

const ShapeRow kShapes[] = {
    {"standard", CpbrTestShape::Standard, "\r\n+CPBR: (1-250),40,14\r\n\r\nOK\r\n"},
    {"no_paren", CpbrTestShape::NoParen, "\r\n+CPBR: 1-250,40,14\r\n\r\nOK\r\n"},
    {"empty", CpbrTestShape::Empty, "\r\n+CPBR: (),40,14\r\n\r\nOK\r\n"},
    {"single", CpbrTestShape::Single, "\r\n+CPBR: (1),40,14\r\n\r\nOK\r\n"},
    {"extra", CpbrTestShape::Extra, "\r\n+CPBR: (1-250),40,14,0,0,0\r\n\r\nOK\r\n"},
    {"after_ok", CpbrTestShape::AfterOk, "\r\nOK\r\n\r\n+CPBR: (1-250),40,14\r\n"},
};

class SimPhonebookShape : public SimPhonebook, public ::testing::WithParamInterface<ShapeRow> {};

TEST_P(SimPhonebookShape, CpbrTest) {
    sim_.updateProfile([](Profile &p) { p.cpbrTest = GetParam().shape; });
    client_->send("AT+CPBR=?\r");
    EXPECT_EQ(client_->readUntil(GetParam().reply), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimPhonebookShape, ::testing::ValuesIn(kShapes),
                         [](const auto &p) { return p.param.name; });

TEST_F(SimPhonebook, EntryQuirks) {
    sim_.putPhonebookEntry("SM", PhonebookEntry{7,
                                                "12\x01"
                                                "3",
                                                129, "Jo"});
    ASSERT_EQ(at("+CSCS=\"UCS2\""), "\r\nOK\r\n");
    sim_.updateProfile([](Profile &p) {
        p.pbTextUnquoted = true;
        p.pbExtraFields = ",\"05/03/17\",\"14:30\"";
        p.pbIndexOffset = 1;
    });
    EXPECT_EQ(at("+CPBR=7"), "\r\n+CPBR: 8,\"12\x01"
                             "3\",129,004A006F,\"05/03/17\",\"14:30\"\r\n\r\nOK\r\n");
    sim_.setProfile(Profile{});
    sim_.updateProfile([](Profile &p) { p.pbUcs2AsHex8 = true; });
    EXPECT_EQ(at("+CPBR=7"), "\r\n+CPBR: 7,\"12\x01"
                             "3\",129,\"4A6F\"\r\n\r\nOK\r\n");
}

} // namespace
