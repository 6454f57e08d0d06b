// The N and ADR records (split, join, display text), the flag names, and the card splitter.

#include "dv_result.h"
#include "dv_vcard.h"
#include "piece_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- VcardName / VcardAddr ----

struct NameDecCase {
    const char *name;
    const char *value;
    const char *family, *given, *middle, *prefix, *suffix;
};

const NameDecCase kNameDecCases[] = {
    {"AllParts", "Kowal;Jan;Maria;Dr.;Jr.", "Kowal", "Jan", "Maria", "Dr.", "Jr."},
    {"GivenOnly", ";Jan", "", "Jan", "", "", ""},
    {"FamilyOnly", "Kowal", "Kowal", "", "", "", ""},
    {"LeadingBlanksDropped", " \tKowal; Jan ", "Kowal", "Jan ", "", "", ""},
    {"EscapedSeparatorStaysInPart", "Smith\\;Jones;A\\\\B", "Smith;Jones", "A\\B", "", "", ""},
    {"OtherBackslashStays", "C:\\x;\\", "C:\\x", "\\", "", "", ""},
    {"QuotesAreText", "O\"Brien;\"Al\"", "O\"Brien", "\"Al\"", "", "", ""},
    {"ExtraPartsIgnored", "a;b;c;d;e;f;g", "a", "b", "c", "d", "e"},
    {"Empty", "", "", "", "", "", ""},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const NameDecCase &c, std::ostream *os) { *os << c.name; }

class VcardNameDecTest : public testing::TestWithParam<NameDecCase> {};

TEST_P(VcardNameDecTest, Splits) {
    const NameDecCase &c = GetParam();
    VcardName n;
    std::memset(&n, 'z', sizeof n); // _dec clears what it does not fill
    ASSERT_EQ(VcardName_dec(&n, c.value), 0);
    EXPECT_STREQ(n.family, c.family);
    EXPECT_STREQ(n.given, c.given);
    EXPECT_STREQ(n.middle, c.middle);
    EXPECT_STREQ(n.prefix, c.prefix);
    EXPECT_STREQ(n.suffix, c.suffix);
}

INSTANTIATE_TEST_SUITE_P(Values, VcardNameDecTest, testing::ValuesIn(kNameDecCases),
                         [](const testing::TestParamInfo<NameDecCase> &i) { return std::string(i.param.name); });

TEST(VcardRecords, PartsAreCutToTheirFieldsOnACharacterBoundary) {
    std::string family(79, 'a');
    family += "\xc3\xa9"; // a two-byte character that would end at byte 81
    std::string middle(100, 'm');
    VcardName n;
    ASSERT_EQ(VcardName_dec(&n, (family + ";x;" + middle).c_str()), 0);
    EXPECT_EQ(std::string(n.family), std::string(79, 'a'));
    EXPECT_EQ(std::string(n.middle), std::string(31, 'm'));

    VcardAddr a;
    ASSERT_EQ(VcardAddr_dec(&a, "box;ext;street;city;region;1234567890123456789;country;extra"), 0);
    EXPECT_STREQ(a.poBox, "box");
    EXPECT_STREQ(a.street, "street");
    EXPECT_STREQ(a.postalCode, "123456789012345");
    EXPECT_STREQ(a.country, "country");
}

TEST(VcardRecords, EncodeEscapesAndDecodeGivesTheRecordBack) {
    VcardAddr a;
    VcardAddr_clear(&a);
    std::strcpy(a.street, "Rue 1; app. 2");
    std::strcpy(a.locality, "back\\slash");
    char out[600];
    ASSERT_EQ(VcardAddr_enc(&a, out, sizeof out), 0);
    EXPECT_STREQ(out, ";;Rue 1\\; app. 2;back\\\\slash;;;");
    VcardAddr back;
    ASSERT_EQ(VcardAddr_dec(&back, out), 0);
    EXPECT_EQ(std::memcmp(&a, &back, sizeof a), 0);

    VcardName n;
    VcardName_clear(&n);
    std::strcpy(n.family, "Kowal");
    std::strcpy(n.given, "Jan");
    ASSERT_EQ(VcardName_enc(&n, out, sizeof out), 0);
    EXPECT_STREQ(out, "Kowal;Jan;;;");
}

TEST(VcardRecords, EncodeCutReportsAndNeverSplitsAnEscape) {
    VcardName n;
    VcardName_clear(&n);
    std::strcpy(n.family, "ab;cd");
    char out[4];
    EXPECT_EQ(VcardName_enc(&n, out, sizeof out), DV_E_FULL);
    EXPECT_STREQ(out, "ab"); // not "ab\", which would escape whatever follows
    EXPECT_EQ(VcardName_enc(&n, out, 0), DV_E_ARG);
}

TEST(VcardRecords, DisplayText) {
    VcardName n;
    ASSERT_EQ(VcardName_dec(&n, "Kowal;Jan;;Dr.;"), 0);
    char out[160];
    EXPECT_EQ(VcardName_toStr(&n, out, sizeof out), 13);
    EXPECT_STREQ(out, "Dr. Kowal Jan");

    VcardAddr a;
    ASSERT_EQ(VcardAddr_dec(&a, ";;;Locality;;12345;"), 0);
    EXPECT_EQ(VcardAddr_toStr(&a, out, sizeof out), 16);
    EXPECT_STREQ(out, "Locality (12345)");

    ASSERT_EQ(VcardAddr_dec(&a, "PO 7;Flat 2;Main St 1;Town;Region;99;Land"), 0);
    EXPECT_EQ(VcardAddr_toStr(&a, out, sizeof out), 43);
    EXPECT_STREQ(out, "Land Region Town Main St 1 Flat 2 PO 7 (99)");
    EXPECT_EQ(VcardAddr_toStr(&a, out, 10), 9);
    EXPECT_STREQ(out, "Land Regi");

    VcardAddr_clear(&a);
    EXPECT_EQ(VcardAddr_toStr(&a, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
}

TEST(VcardRecords, UnterminatedRecordsAreReadWithinTheirFields) {
    VcardName n;
    std::memset(&n, 'x', sizeof n);
    char out[600];
    EXPECT_EQ(VcardName_toStr(&n, out, sizeof out), 256 + 4);
    ASSERT_EQ(VcardName_enc(&n, out, sizeof out), 0);
    EXPECT_EQ(std::strlen(out), 256u + 4);
}

TEST(VcardRecords, NullArguments) {
    VcardName n;
    char out[8];
    EXPECT_EQ(VcardName_dec(nullptr, "a"), DV_E_ARG);
    EXPECT_EQ(VcardName_dec(&n, nullptr), DV_E_ARG);
    EXPECT_EQ(VcardAddr_toStr(nullptr, out, sizeof out), DV_E_ARG);
    VcardName_clear(nullptr);
    VcardAddr_clear(nullptr);
}

// ---- flag names ----

struct ParamNameCase {
    int32_t flags;
    const char *expected;
};

TEST(VcardParamName, Table) {
    const ParamNameCase cases[] = {
        {0x101, "home & mobile"}, {0x40, "general"}, {0, "general"},          {0x1, "home"},
        {0x3, "home"},            {0x2, "work"},     {0x82, "work"},          {0x80, "pref"},
        {0x100, "mobile"},        {0x200, "pager"},  {0x600, "pager"},        {0x400, "fax"},
        {0x880, "pref"},          {0x802, "work"},   {0x482, "work & fax"},   {0x281, "home & pager"},
    };
    for (const ParamNameCase &c : cases)
        EXPECT_STREQ(Vcard_getParamName(c.flags), c.expected) << std::hex << c.flags;
}

// ---- card splitter ----

const char kTwoCards[] = "junk before\r\n"
                         "begin:vcard\r\n"
                         "N:;A\r\n"
                         "AGENT:\r\n"
                         "BEGIN:VCARD\r\n"
                         "N:;Agent\r\n"
                         "END:VCARD\r\n"
                         "TEL:1\r\n"
                         "END:VCARD\r\n"
                         "between\r\n"
                         "BEGIN:VCARD\r\n"
                         "N:;B\n"
                         "END:VCARD\r\n"
                         "trailing";

const char kFirstCard[] = "begin:vcard\r\nN:;A\r\nAGENT:\r\nBEGIN:VCARD\r\nN:;Agent\r\nEND:VCARD\r\nTEL:1\r\nEND:VCARD\r\n";
// Every line goes out with CR LF, whatever its line end was.
const char kSecondCard[] = "BEGIN:VCARD\r\nN:;B\r\nEND:VCARD\r\n";

TEST(VcfSplitter, CutsCardsAndDropsWhatLiesBetween) {
    PieceStream in(kTwoCards);
    VcfStrmDec *d = VcfStrmDec_new();
    ASSERT_NE(d, nullptr);
    PieceStream out1, out2, out3;
    EXPECT_EQ(VcfStrmDec_dec(d, in.file(), out1.file()), 1);
    EXPECT_EQ(out1.written(), kFirstCard);
    EXPECT_EQ(VcfStrmDec_dec(d, in.file(), out2.file()), 1);
    EXPECT_EQ(out2.written(), kSecondCard);
    EXPECT_EQ(VcfStrmDec_dec(d, in.file(), out3.file()), 0);
    EXPECT_EQ(out3.written(), "");
    VcfStrmDec_delete(d);
}

TEST(VcfSplitter, ByteByByte) {
    PieceStream in;
    PieceStream out;
    VcfStrmDec *d = VcfStrmDec_new();
    std::vector<std::string> cards;
    size_t mark = 0;
    for (const char *c = kTwoCards; *c; ++c) {
        in.add(std::string(1, *c));
        int32_t r = VcfStrmDec_dec(d, in.file(), out.file());
        ASSERT_GE(r, 0);
        if (r == 1) {
            cards.push_back(out.written().substr(mark));
            mark = out.written().size();
        }
    }
    EXPECT_EQ(cards, (std::vector<std::string>{kFirstCard, kSecondCard}));
    VcfStrmDec_delete(d);
}

TEST(VcfSplitter, Errors) {
    VcfStrmDec *d = VcfStrmDec_new();
    PieceStream in("BEGIN:VCARD\r\nN:;A\r\n");
    PieceStream out;
    out.setWriteRoom(5);
    EXPECT_EQ(VcfStrmDec_dec(d, in.file(), out.file()), DV_E_FULL);
    PieceStream dropped("x");
    dropped.setError(DV_E_TIMEOUT);
    EXPECT_EQ(VcfStrmDec_dec(d, dropped.file(), out.file()), DV_E_TIMEOUT);
    EXPECT_EQ(VcfStrmDec_dec(d, nullptr, out.file()), DV_E_ARG);
    EXPECT_EQ(VcfStrmDec_dec(nullptr, in.file(), out.file()), DV_E_ARG);
    VcfStrmDec_delete(d);
    VcfStrmDec_delete(nullptr);
}

TEST(VcfSplitter, OverlongLineIsCutButKeepsItsLineEnd) {
    std::string card = "BEGIN:VCARD\r\nNOTE:" + std::string(300 * 1024, 'a') + "\r\nEND:VCARD\r\n";
    PieceStream in(card);
    PieceStream out;
    VcfStrmDec *d = VcfStrmDec_new();
    EXPECT_EQ(VcfStrmDec_dec(d, in.file(), out.file()), 1);
    const std::string &w = out.written();
    EXPECT_LT(w.size(), card.size());
    EXPECT_EQ(w.substr(w.size() - 13), "\r\nEND:VCARD\r\n");
    VcfStrmDec_delete(d);
}

} // namespace
