// The vCard 2.1 writer: exact bytes of each property under each character set and encoding, and
// what it must never do (change the caller's text, write a raw line break, report a short write as
// success).

#include "dv_result.h"
#include "dv_vcard.h"
#include "piece_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

using WriteFn = std::function<int32_t(Vcard *)>;

std::string writeWith(int32_t charset, int32_t encoding, const WriteFn &fn) {
    PieceStream s;
    Vcard *v = Vcard_new(s.file());
    EXPECT_NE(v, nullptr);
    EXPECT_EQ(Vcard_setEncodeMethod(v, charset, encoding), 0);
    EXPECT_EQ(fn(v), 0);
    Vcard_delete(v);
    return s.written();
}

struct WriteCase {
    const char *name;
    int32_t charset;
    int32_t encoding;
    WriteFn write;
    const char *expected;
};

VcardName makeName(const char *family, const char *given) {
    VcardName n;
    VcardName_clear(&n);
    std::strcpy(n.family, family);
    std::strcpy(n.given, given);
    return n;
}

const WriteCase kWriteCases[] = {
    {"BeginVersion", 2, 0, [](Vcard *v) { return Vcard_addBeg(v); }, "BEGIN:VCARD\r\nVERSION:2.1\r\n"},
    {"End", 2, 0, [](Vcard *v) { return Vcard_addEnd(v); }, "END:VCARD\r\n"},
    {"TelCell", 2, 0, [](Vcard *v) { return Vcard_addTel(v, 0x100, "+4812345"); }, "TEL;CELL:+4812345\r\n"},
    {"TelFlagOrder", 2, 0, [](Vcard *v) { return Vcard_addTel(v, 0x783, "1"); },
     "TEL;HOME;WORK;PREF;CELL;PAGER;FAX:1\r\n"},
    // 0x40 and 0x800 come from the reader; written back they add nothing.
    {"TelReaderOnlyFlags", 2, 0, [](Vcard *v) { return Vcard_addTel(v, 0x840, "1"); }, "TEL:1\r\n"},
    {"MailWork", 2, 0, [](Vcard *v) { return Vcard_addMail(v, 2, "a@b.c"); }, "EMAIL;WORK:a@b.c\r\n"},
    {"Web", 2, 0, [](Vcard *v) { return Vcard_addWeb(v, 0, "http://x"); }, "URL:http://x\r\n"},
    {"Birthday", 2, 0, [](Vcard *v) { return Vcard_addBirthday(v, "19800101"); }, "BDAY:19800101\r\n"},
    {"Grp", 2, 0, [](Vcard *v) { return Vcard_addGrp(v, "2"); }, "GRP:2\r\n"},
    {"Title", 2, 0, [](Vcard *v) { return Vcard_addTitle(v, "Dr"); }, "TITLE:Dr\r\n"},
    {"NameGivenOnly", 2, 0, [](Vcard *v) { return Vcard_addName(v, "Jan"); }, "N:;Jan\r\n"},
    {"NameExtEmptyPartsKeepSeparators", 2, 0,
     [](Vcard *v) {
         VcardName n = makeName("Kowal", "Jan");
         return Vcard_addNameExt(v, &n);
     },
     "N:Kowal;Jan;;;\r\n"},
    {"AddrSevenParts", 2, 0,
     [](Vcard *v) {
         VcardAddr a;
         VcardAddr_clear(&a);
         std::strcpy(a.street, "Long 1");
         std::strcpy(a.locality, "Gdansk");
         std::strcpy(a.postalCode, "80-001");
         std::strcpy(a.country, "PL");
         return Vcard_addAddr(v, 1, &a);
     },
     "ADR;HOME:;;Long 1;Gdansk;;80-001;PL\r\n"},
    {"NonAsciiAddsCharset", 2, 0, [](Vcard *v) { return Vcard_addNote(v, "Zo\xc3\xab"); },
     "NOTE;CHARSET=UTF-8:Zo\xc3\xab\r\n"},
    // ASCII ignores the object's charset and encoding.
    {"AsciiIgnoresSettings", 1, 1, [](Vcard *v) { return Vcard_addNote(v, "plain"); }, "NOTE:plain\r\n"},
    {"AsciiCrLfIsQp", 2, 0, [](Vcard *v) { return Vcard_addNote(v, "a\r\nb"); },
     "NOTE;ENCODING=QUOTED-PRINTABLE:a=0d=0a=\r\n\tb\r\n"},
    {"AsciiLoneLfIsQp", 2, 0, [](Vcard *v) { return Vcard_addNote(v, "a\nb"); },
     "NOTE;ENCODING=QUOTED-PRINTABLE:a=0a=\r\n\tb\r\n"},
    {"SemicolonAndBackslashEscaped", 2, 0, [](Vcard *v) { return Vcard_addOrganize(v, "A;B\\C"); },
     "ORG:A\\;B\\\\C\r\n"},
    {"QpEscapedSemicolon", 2, 1, [](Vcard *v) { return Vcard_addNote(v, "\xc3\xa9;"); },
     "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=c3=a9\\;\r\n"},
    // Fault fixed: "=" was written as it is, so "a=41" read back as "aA".
    {"QpEqualsSign", 2, 1, [](Vcard *v) { return Vcard_addNote(v, "a=41\xc3\xa9"); },
     "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:a=3D41=c3=a9\r\n"},
    // Fault fixed: under encoding 0 a non-ASCII value with CR LF was written raw and cut the line.
    {"NonAsciiCrLfForcesQp", 2, 0, [](Vcard *v) { return Vcard_addNote(v, "\xc3\xa9\r\nx"); },
     "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=c3=a9=0d=0a=\r\n\tx\r\n"},
    // Fault fixed: UCS-2 under encoding 0 wrote raw NUL bytes.
    {"Ucs2ForcesQp", 1, 0, [](Vcard *v) { return Vcard_addNote(v, "\xc3\xa9" "A"); },
     "NOTE;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=00=e9=00A\r\n"},
    {"Ucs2LineBreakBytesEncoded", 1, 1, [](Vcard *v) { return Vcard_addNote(v, "\xc3\xa9\r\n"); },
     "NOTE;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=00=e9=00=0d=00=0a\r\n"},
    // The separator of a UCS-2 N is a UCS-2 ";" too, so the value decodes as one UCS-2 text.
    {"Ucs2NameSeparators", 1, 0,
     [](Vcard *v) {
         VcardName n = makeName("\xc3\xa9", "B");
         return Vcard_addNameExt(v, &n);
     },
     "N;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=00=e9=00;=00B=00;=00;=00;\r\n"},
    {"Utf7", 4, 0, [](Vcard *v) { return Vcard_addNote(v, "\xc3\xa9+a"); }, "NOTE;CHARSET=UTF-7:+AOk-+-a\r\n"},
    {"LocalAsciiHasNoCharset", 0, 0, [](Vcard *v) { return Vcard_addTel(v, 0, "123"); }, "TEL:123\r\n"},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const WriteCase &c, std::ostream *os) { *os << c.name; }

class VcardWriterTest : public testing::TestWithParam<WriteCase> {};

TEST_P(VcardWriterTest, WritesExactBytes) {
    const WriteCase &c = GetParam();
    EXPECT_EQ(writeWith(c.charset, c.encoding, c.write), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Properties, VcardWriterTest, testing::ValuesIn(kWriteCases),
                         [](const testing::TestParamInfo<WriteCase> &i) { return std::string(i.param.name); });

TEST(VcardWriterContract, NeverChangesTheCallersText) {
    // Fault fixed: the local code page conversion ran in place in the caller's buffer.
    for (int32_t charset : {0, 1, 2, 4}) {
        char value[] = "\xe4\xb8\xad;\\x\r\n";
        const std::string before = value;
        writeWith(charset, 1, [&](Vcard *v) { return Vcard_addNote(v, value); });
        EXPECT_EQ(before, value) << "charset " << charset;
    }
}

TEST(VcardWriterContract, RejectsUnknownSettings) {
    PieceStream s;
    Vcard *v = Vcard_new(s.file());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Vcard_setEncodeMethod(v, 3, 0), DV_E_ARG);
    EXPECT_EQ(Vcard_setEncodeMethod(v, 2, 2), DV_E_ARG);
    // The default (UTF-8, no encoding) is still in force.
    EXPECT_EQ(Vcard_addNote(v, "\xc3\xa9"), 0);
    EXPECT_EQ(s.written(), "NOTE;CHARSET=UTF-8:\xc3\xa9\r\n");
    EXPECT_EQ(Vcard_setDecodeSetting(v, 1), 1);
    Vcard_delete(v);
}

TEST(VcardWriterContract, NullArgumentsAreErrors) {
    PieceStream s;
    EXPECT_EQ(Vcard_new(nullptr), nullptr);
    Vcard_delete(nullptr);
    Vcard *v = Vcard_new(s.file());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Vcard_addTel(v, 0, nullptr), DV_E_ARG);
    EXPECT_EQ(Vcard_addNameExt(v, nullptr), DV_E_ARG);
    EXPECT_EQ(Vcard_addAddr(v, 0, nullptr), DV_E_ARG);
    EXPECT_EQ(Vcard_addBeg(nullptr), DV_E_ARG);
    EXPECT_EQ(Vcard_setEncodeMethod(nullptr, 2, 0), DV_E_ARG);
    EXPECT_EQ(s.written(), "");
    Vcard_delete(v);
}

TEST(VcardWriterContract, ShortWriteIsAnError) {
    char buf[10];
    AbsFile *f = AbsFileMem_new(buf, sizeof buf, 0, 0);
    ASSERT_NE(f, nullptr);
    Vcard *v = Vcard_new(f);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(Vcard_addNote(v, "longer than ten bytes"), DV_E_FULL);
    Vcard_delete(v);
    AbsFileMem_delete(f);
}

TEST(VcardWriterContract, RecordPartsAreReadWithinTheirFields) {
    // A record whose parts fill their fields with no terminator: each part ends at its field.
    VcardName n;
    std::memset(&n, 'x', sizeof n);
    std::string out = writeWith(2, 0, [&](Vcard *v) { return Vcard_addNameExt(v, &n); });
    EXPECT_EQ(out, "N:" + std::string(80, 'x') + ";" + std::string(80, 'x') + ";" + std::string(32, 'x') + ";" +
                       std::string(32, 'x') + ";" + std::string(32, 'x') + "\r\n");
}

} // namespace
