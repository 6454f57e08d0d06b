// The vCard 2.1 reader: line rules (folding, soft breaks, pieces), type and flag codes, value
// decoding, cards as handsets write them, and the write -> read round trip.

#include "charset/charset_int.h"
#include "dv_charset.h"
#include "dv_result.h"
#include "dv_vcard.h"
#include "piece_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifndef SELVARK_QUORL_PATH
#error "the build passes the path of the built libquorl.so"
#endif

namespace {

struct Prop {
    int32_t type;
    int32_t flags;
    std::string value;
    std::string name;
    bool operator==(const Prop &o) const {
        return type == o.type && flags == o.flags && value == o.value && name == o.name;
    }
};

std::ostream &operator<<(std::ostream &os, const Prop &p) {
    return os << "{" << p.type << ", 0x" << std::hex << p.flags << std::dec << ", \"" << p.value << "\", \""
              << p.name << "\"}";
}

// Reads properties until the reader answers anything but 1, with room bytes for each value.
std::vector<Prop> drain(Vcard *v, std::vector<char> &out, int32_t room) {
    std::vector<Prop> props;
    for (;;) {
        out.resize(static_cast<size_t>(room) + 1);
        out[0] = '#';
        char name[64];
        int32_t type = -1, flags = -1, size = room;
        int32_t r = Vcard_get(v, &type, &flags, out.data(), &size, name, sizeof name);
        if (r != 1) {
            EXPECT_EQ(r, 0);
            EXPECT_EQ(size, 0);
            break;
        }
        EXPECT_LT(size, room);
        EXPECT_EQ(out[static_cast<size_t>(size)], '\0');
        props.push_back({type, flags, std::string(out.data(), static_cast<size_t>(size)), type == 0 ? name : ""});
    }
    return props;
}

constexpr int32_t kRoom = 32 * 1024;

std::vector<Prop> readAll(const std::string &text, int32_t decodeBits = 0, int32_t room = kRoom) {
    PieceStream s(text);
    Vcard *v = Vcard_new(s.file());
    EXPECT_NE(v, nullptr);
    Vcard_setDecodeSetting(v, decodeBits);
    std::vector<char> out;
    std::vector<Prop> props = drain(v, out, room);
    Vcard_delete(v);
    return props;
}

// Feeds the text one byte at a time, reading after each byte, as a card arriving in pieces.
std::vector<Prop> readByteByByte(const std::string &text, bool canUnget) {
    PieceStream s;
    s.setCanUnget(canUnget);
    Vcard *v = Vcard_new(s.file());
    EXPECT_NE(v, nullptr);
    std::vector<Prop> props;
    std::vector<char> out(kRoom + 1);
    for (char c : text) {
        s.add(std::string(1, c));
        for (const Prop &p : drain(v, out, kRoom))
            props.push_back(p);
    }
    Vcard_delete(v);
    return props;
}

Prop readOne(const std::string &line) {
    std::vector<Prop> props = readAll(line + "\r\nEND:VCARD\r\n");
    EXPECT_EQ(props.size(), 2u) << line;
    return props.empty() ? Prop{-1, -1, "", ""} : props[0];
}

// ---- type and flag codes ----

struct LineCase {
    const char *name;
    const char *line;
    Prop expected;
};

const LineCase kLineCases[] = {
    {"TelHome", "TEL;HOME:123", {5, 0x801, "123", ""}},
    {"TelBare", "TEL:123", {5, 0x840, "123", ""}},
    {"TelCellPref", "TEL;CELL;PREF:1", {5, 0x180, "1", ""}},
    {"TelWorkFax", "TEL;WORK;FAX:1", {5, 0x402, "1", ""}},
    {"TelPager", "TEL;PAGER:1", {5, 0x240, "1", ""}},
    {"TelTypeEquals", "TEL;TYPE=CELL:1", {5, 0x140, "1", ""}},
    {"LowerCaseNameAndParams", "tel;home;cell:1", {5, 0x101, "1", ""}},
    {"EmailInternet", "EMAIL;INTERNET:a@b.c", {6, 0x40, "a@b.c", ""}},
    {"AdrDom", "ADR;DOM:;;Street;;;;", {8, 0x1, ";;Street;;;;", ""}},
    {"UrlWork", "URL;WORK:http://x", {7, 0x2, "http://x", ""}},
    {"NoFlagsForN", "N:Kowal;Jan", {3, 0, "Kowal;Jan", ""}},
    {"Bday", "BDAY:19800101", {4, 0, "19800101", ""}},
    {"Org", "ORG:Acme", {10, 0, "Acme", ""}},
    {"Title", "TITLE:Dr", {11, 0, "Dr", ""}},
    {"Note", "NOTE:x", {12, 0, "x", ""}},
    {"Fn", "FN:Jan Kowal", {13, 0, "Jan Kowal", ""}},
    {"Grp", "GRP:3", {61, 0, "3", ""}},
    {"OtherKeepsName", "X-IRMC-LUID:0012", {0, 0, "0012", "X-IRMC-LUID"}},
    {"OtherNameUpperCased", "x-foo;bar:v", {0, 0, "v", "X-FOO"}},
    {"EmptyValue", "TEL:", {5, 0x840, "", ""}},
    {"ColonsInValue", "URL:http://a:8080/", {7, 0x40, "http://a:8080/", ""}},
    {"WebsiteInTel", "TEL:Website:  example.org ", {7, 0x840, "example.org", ""}},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }

class VcardLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(VcardLineTest, TypeFlagsValue) { EXPECT_EQ(readOne(GetParam().line), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Properties, VcardLineTest, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase> &i) { return std::string(i.param.name); });

// ---- line rules ----

struct TextCase {
    const char *name;
    const char *text;
    std::vector<Prop> expected;
};

const Prop kEnd{2, 0, "VCARD", ""};

const TextCase kTextCases[] = {
    {"FoldedWithBlank", "NOTE:abc\r\n def\r\nEND:VCARD\r\n", {{12, 0, "abcdef", ""}, kEnd}},
    {"FoldedWithTab", "NOTE:abc\r\n\tdef\r\n\tghi\r\nEND:VCARD\r\n", {{12, 0, "abcdefghi", ""}, kEnd}},
    {"SoftBreak", "NOTE;ENCODING=QUOTED-PRINTABLE:ab=\r\ncd\r\nEND:VCARD\r\n", {{12, 0, "abcd", ""}, kEnd}},
    // The blank after a soft break is data (RFC 2045); only our writer's TAB indent is dropped.
    {"SoftBreakKeepsBlank", "NOTE;ENCODING=QUOTED-PRINTABLE:ab=\r\n cd\r\nEND:VCARD\r\n",
     {{12, 0, "ab cd", ""}, kEnd}},
    // Fault fixed: folding ran first and left the "=" in front of the next escape.
    {"SoftBreakThenTab", "NOTE;ENCODING=QUOTED-PRINTABLE:a=0d=0a=\r\n\t=3Db\r\nEND:VCARD\r\n",
     {{12, 0, "a\r\n=b", ""}, kEnd}},
    {"SoftBreakOnlyForQp", "NOTE:ab=\r\nTEL:1\r\nEND:VCARD\r\n", {{12, 0, "ab=", ""}, {5, 0x840, "1", ""}, kEnd}},
    {"SoftBreakLowerCaseParam", "note;encoding=quoted-printable:ab=\r\ncd\r\nEND:VCARD\r\n",
     {{12, 0, "abcd", ""}, kEnd}},
    {"EmptyLinesPassedOver", "\r\n\r\nTEL:1\r\n\r\nEND:VCARD\r\n", {{5, 0x840, "1", ""}, kEnd}},
    // Files from other systems end lines with LF alone or CR alone; folding and soft breaks work there.
    {"LfLineEnds", "BEGIN:VCARD\nTEL:1\nNOTE:ab\n cd\nEND:VCARD\n",
     {{1, 0, "VCARD", ""}, {5, 0x840, "1", ""}, {12, 0, "abcd", ""}, kEnd}},
    {"CrLineEnds", "BEGIN:VCARD\rTEL:1\rNOTE:ab\r cd\rEND:VCARD\r",
     {{1, 0, "VCARD", ""}, {5, 0x840, "1", ""}, {12, 0, "abcd", ""}, kEnd}},
    {"SoftBreakLf", "NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0A=\n\tb=\nc\nEND:VCARD\n", {{12, 0, "a\r\nbc", ""}, kEnd}},
    {"SoftBreakCr", "NOTE;ENCODING=QUOTED-PRINTABLE:ab=\rcd\rEND:VCARD\r", {{12, 0, "abcd", ""}, kEnd}},
    {"MixedLineEndsAndEmptyLines", "TEL:1\r\rTEL:2\n\nTEL:3\r\n\nEND:VCARD",
     {{5, 0x840, "1", ""}, {5, 0x840, "2", ""}, {5, 0x840, "3", ""}, kEnd}},
    {"VersionAndUidSkipped", "BEGIN:VCARD\r\nVERSION:2.1\r\nUID:7\r\nEND:VCARD\r\n", {{1, 0, "VCARD", ""}, kEnd}},
    {"LineWithoutSeparatorSkipped", "garbage\r\nTEL:1\r\nEND:VCARD\r\n", {{5, 0x840, "1", ""}, kEnd}},
    {"EndWithoutLineEnd", "TEL:1\r\nEND:VCARD", {{5, 0x840, "1", ""}, kEnd}},
    {"EndWithCrAtTheEnd", "TEL:1\rEND:VCARD\r", {{5, 0x840, "1", ""}, kEnd}},
    {"LastLineWaitsForMore", "TEL:1\r\nTEL:2\r\n", {{5, 0x840, "1", ""}}},
    {"EmptyStream", "", {}},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const TextCase &c, std::ostream *os) { *os << c.name; }

class VcardTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(VcardTextTest, Whole) { EXPECT_EQ(readAll(GetParam().text), GetParam().expected); }
TEST_P(VcardTextTest, ByteByByte) { EXPECT_EQ(readByteByByte(GetParam().text, true), GetParam().expected); }
TEST_P(VcardTextTest, ByteByByteWithoutStepBack) {
    EXPECT_EQ(readByteByByte(GetParam().text, false), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, VcardTextTest, testing::ValuesIn(kTextCases),
                         [](const testing::TestParamInfo<TextCase> &i) { return std::string(i.param.name); });

TEST(VcardReaderLines, StepsTheStreamBackToTheNextLine) {
    PieceStream s("TEL:1\r\nTEL:2\r\n");
    Vcard *v = Vcard_new(s.file());
    char out[16];
    int32_t size = sizeof out;
    ASSERT_EQ(Vcard_get(v, nullptr, nullptr, out, &size, nullptr, 0), 1);
    EXPECT_EQ(s.pos(), 7u); // the "T" read ahead was stepped back
    Vcard_delete(v);
}

// Read whole (a piece ending in "END:VCARD" would close the card before the stray bytes arrive).
TEST(VcardReaderLines, LastEndWithStrayBytesAndNoLineEndClosesTheCard) {
    for (const char *end : {"END:VCARD  ", "END:VCARD\t", "end:vcard x", "END:VCARD\x1a"}) {
        std::vector<Prop> props = readAll(std::string("TEL:1\n") + end);
        ASSERT_EQ(props.size(), 2u) << end;
        EXPECT_EQ(props[1].type, VCARD_TYPE_END) << end;
    }
    // Not an end: more than one stray character, or the line of a folded value.
    EXPECT_EQ(readAll("TEL:1\nEND:VCARD xy").size(), 1u);
}

TEST(VcardReaderLines, LongLineIsCutNotOverrun) {
    std::string line = "NOTE:" + std::string(300 * 1024, 'a');
    std::vector<Prop> props = readAll(line + "\r\nTEL:1\r\nEND:VCARD\r\n", 0, 4096);
    ASSERT_EQ(props.size(), 3u);
    EXPECT_EQ(props[0].value.size(), 4095u); // cut to the room given
    EXPECT_EQ(props[1], (Prop{5, 0x840, "1", ""}));
}

// ---- values ----

const TextCase kValueCases[] = {
    {"QpUtf8", "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Zo=C3=AB=0D=0Ax\r\nEND:VCARD\r\n",
     {{12, 0, "Zo\xc3\xab\r\nx", ""}, kEnd}},
    {"QpUnderscoreStays", "EMAIL;ENCODING=QUOTED-PRINTABLE:a_b@c.d\r\nEND:VCARD\r\n", {{6, 0x40, "a_b@c.d", ""}, kEnd}},
    {"QpCutEscapeKept", "NOTE;ENCODING=QUOTED-PRINTABLE:ab=4\r\nEND:VCARD\r\n", {{12, 0, "ab=4", ""}, kEnd}},
    {"Ucs2Qp", "NOTE;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=4E=2D=00A\r\nEND:VCARD\r\n",
     {{12, 0, "\xe4\xb8\xad" "A", ""}, kEnd}},
    {"Utf7", "NOTE;CHARSET=UTF-7:+AOk-+-a\r\nEND:VCARD\r\n", {{12, 0, "\xc3\xa9+a", ""}, kEnd}},
    {"Base64Utf8Text", "NOTE;CHARSET=UTF-8;ENCODING=BASE64:WsOzZmlh\r\nEND:VCARD\r\n",
     {{12, 0, "Z\xc3\xb3" "fia", ""}, kEnd}},
    {"Base64MissingPadding", "NOTE;CHARSET=UTF-8;ENCODING=BASE64:YWI\r\nEND:VCARD\r\n", {{12, 0, "ab", ""}, kEnd}},
    // Fault fixed: "\" and the next character became that character ("C:\temp" read "C:temp").
    {"OtherBackslashStays", "NOTE:C:\\temp\\\r\nEND:VCARD\r\n", {{12, 0, "C:\\temp\\", ""}, kEnd}},
    {"EscapesRemoved", "NOTE:a\\;b\\\\c\r\nEND:VCARD\r\n", {{12, 0, "a;b\\c", ""}, kEnd}},
    // N and ADR keep their escapes for VcardName_dec and VcardAddr_dec.
    {"NameStaysEscaped", "N:Smith\\;Jones;Ann\r\nEND:VCARD\r\n", {{3, 0, "Smith\\;Jones;Ann", ""}, kEnd}},
    {"TelDashesKeptByDefault", "TEL:600-100-200\r\nEND:VCARD\r\n", {{5, 0x840, "600-100-200", ""}, kEnd}},
};

class VcardValueTest : public testing::TestWithParam<TextCase> {};

TEST_P(VcardValueTest, Decodes) { EXPECT_EQ(readAll(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Values, VcardValueTest, testing::ValuesIn(kValueCases),
                         [](const testing::TestParamInfo<TextCase> &i) { return std::string(i.param.name); });

TEST(VcardReaderValues, TelDashesRemovedOnRequest) {
    std::vector<Prop> props = readAll(
        "TEL:600-100-200\r\n"
        "TEL;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=00-=006\r\n" // the UCS-2 "-" unit, not a raw byte
        "NOTE:a-b\r\nEND:VCARD\r\n",
        VCARD_DECODE_TEL_NO_DASH);
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props[0].value, "600100200");
    EXPECT_EQ(props[1].value, "6");
    EXPECT_EQ(props[2].value, "a-b");
}

TEST(VcardReaderValues, CutAtTheRoomOnACharacterBoundary) {
    PieceStream s("NOTE;CHARSET=UTF-8:ab\xe4\xb8\xad\r\nX-LONGNAME:1\r\nEND:VCARD\r\n");
    Vcard *v = Vcard_new(s.file());
    char out[5];
    char name[4];
    int32_t type, flags, size = sizeof out;
    ASSERT_EQ(Vcard_get(v, &type, &flags, out, &size, name, sizeof name), 1);
    EXPECT_EQ(size, 2); // "ab": the three-byte character does not fit in 4
    EXPECT_STREQ(out, "ab");
    size = sizeof out;
    ASSERT_EQ(Vcard_get(v, &type, &flags, out, &size, name, sizeof name), 1);
    EXPECT_EQ(type, 0);
    EXPECT_STREQ(name, "X-L");
    Vcard_delete(v);
}

TEST(VcardReaderValues, NullOutputsAreAllowed) {
    PieceStream s("TEL:1\r\n");
    s.add("END:VCARD\r\n");
    Vcard *v = Vcard_new(s.file());
    int32_t type = -1;
    EXPECT_EQ(Vcard_get(v, &type, nullptr, nullptr, nullptr, nullptr, 0), 1);
    EXPECT_EQ(type, 5);
    Vcard_delete(v);
}

TEST(VcardReaderErrors, StreamErrorIsPassedThroughAndOutputsCleared) {
    PieceStream s("TEL:1\r\n");
    s.setError(DV_E_CLOSED);
    Vcard *v = Vcard_new(s.file());
    char out[8] = "junk";
    int32_t type = 9, flags = 9, size = sizeof out;
    EXPECT_EQ(Vcard_get(v, &type, &flags, out, &size, nullptr, 0), DV_E_CLOSED);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(size, 0);
    EXPECT_STREQ(out, "");
    Vcard_delete(v);
    EXPECT_EQ(Vcard_get(nullptr, &type, &flags, out, &size, nullptr, 0), DV_E_ARG);
}

// ---- cards as handsets write them ----

// A Series-40 style card: UTF-8 in quoted-printable with soft breaks that split a character.
const char kCardQpSoftBreaks[] =
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=C5=81uczak;Pawe=C5=82\r\n"
    "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Pawe=C5=82 =C5=81uczak\r\n"
    "TEL;CELL:+48600100200\r\n"
    "TEL;WORK;VOICE:+48221002030\r\n"
    "TEL;HOME:+48 58 300 40 50\r\n"
    "TEL;FAX:+48221002031\r\n"
    "TEL;PREF;CELL:+48600999888\r\n"
    "EMAIL;INTERNET:pawel@example.com\r\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Spotkanie w =C5=81odzi, potem w=\r\n"
    " Gda=C5=84sku i =\r\n"
    "=C5=\r\n"
    "=BCywcu\r\n"
    "X-NOKIA-ASSIGNED-NAME:Pawel\r\n"
    "END:VCARD\r\n";

TEST(VcardHandsetCards, QuotedPrintableSoftBreaksAndSeveralTels) {
    std::vector<Prop> expected = {
        {1, 0, "VCARD", ""},
        {3, 0, "\xc5\x81uczak;Pawe\xc5\x82", ""},
        {13, 0, "Pawe\xc5\x82 \xc5\x81uczak", ""},
        {5, 0x140, "+48600100200", ""},
        {5, 0x802, "+48221002030", ""},
        {5, 0x801, "+48 58 300 40 50", ""},
        {5, 0x440, "+48221002031", ""},
        {5, 0x180, "+48600999888", ""},
        {6, 0x40, "pawel@example.com", ""},
        {12, 0, "Spotkanie w \xc5\x81odzi, potem w Gda\xc5\x84sku i \xc5\xbcywcu", ""},
        {0, 0, "Pawel", "X-NOKIA-ASSIGNED-NAME"},
        kEnd,
    };
    EXPECT_EQ(readAll(kCardQpSoftBreaks), expected);
    EXPECT_EQ(readByteByByte(kCardQpSoftBreaks, true), expected);
}

// A card with a folded BASE64 photo that ends with an empty line (vCard 2.1), then more properties.
std::string photoBytes() {
    std::string b;
    for (int i = 0; i < 600; ++i)
        b.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    b[100] = '\0'; // binary data holds zero bytes
    return b;
}

std::string cardWithPhoto() {
    std::string photo = photoBytes();
    char *b64 = Base64_encodeBuf(reinterpret_cast<const uint8_t *>(photo.data()), static_cast<int32_t>(photo.size()));
    std::string text(b64);
    std::free(b64);
    std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:M\xc3\xbcller;Anna\r\n"
                       "PHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n";
    for (size_t i = 0; i < text.size(); i += 76)
        card += "    " + text.substr(i, 76) + "\r\n";
    card += "\r\nTEL;HOME;VOICE:+49 30 1234567\r\nEMAIL;PREF;INTERNET:anna@example.de\r\nEND:VCARD\r\n";
    return card;
}

TEST(VcardHandsetCards, Base64PhotoIsBinaryAndTheCardGoesOn) {
    std::vector<Prop> props = readAll(cardWithPhoto());
    std::vector<Prop> expected = {
        {1, 0, "VCARD", ""},
        {3, 0, "M\xc3\xbcller;Anna", ""},
        {0, 0, photoBytes(), "PHOTO"},
        {5, 0x801, "+49 30 1234567", ""},
        {6, 0x80, "anna@example.de", ""},
        kEnd,
    };
    EXPECT_EQ(props, expected);
}

TEST(VcardHandsetCards, UnindentedBase64LinesDoNotBreakTheCard) {
    // Some handsets write Base64 lines without the folding blank: those lines are not properties.
    std::vector<Prop> props = readAll("BEGIN:VCARD\r\nPHOTO;ENCODING=BASE64:QUJD\r\nREVG\r\nR0hJ\r\n\r\n"
                                      "TEL:1\r\nEND:VCARD\r\n");
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props[1], (Prop{0, 0, "ABC", "PHOTO"}));
    EXPECT_EQ(props[2], (Prop{5, 0x840, "1", ""}));
}

// ---- round trip: every value written comes back ----

struct RoundTripValue {
    const char *name;
    std::string value;
};

std::string longCjk() {
    std::string s;
    for (int i = 0; i < 1500; ++i)
        s += "\xe4\xb8\xad\xe6\x96\x87"; // 9000 bytes, 27000 characters once quoted-printable
    return s;
}

const RoundTripValue kRoundTripValues[] = {
    {"Semicolon", "a;b;"},
    {"Equals", "a=41=\r\n="},
    {"Backslashes", "C:\\temp\\"},
    {"BackslashSemicolon", "\\;\\\\;"},
    {"CrLf", "line 1\r\nline 2\r\n"},
    {"LoneLfAndCr", "a\nb\rc"},
    {"IndentedLines", "a\r\n\tb\r\n c"},
    {"TrailingBlank", "a "},
    {"Cjk", "\xe4\xb8\xad\xe6\x96\x87 \xe4\xb9\x97"},
    {"CjkWithBreaks", "\xe4\xb8\xad\r\n\xe6\x96\x87;=\\"},
    {"Latin", "Zo\xc3\xab \xc5\x81\xc3\xb3\x64\xc5\xba"},
    {"Plus", "+48 600 +-"},
    {"LongAscii", std::string(5000, 'x') + "=;\\"},
    {"LongCjk", longCjk()},
};

struct RoundTripCase {
    RoundTripValue value;
    int32_t charset;
    int32_t encoding;
};

std::vector<RoundTripCase> roundTripCases() {
    std::vector<RoundTripCase> cases;
    for (const RoundTripValue &v : kRoundTripValues)
        for (int32_t charset : {1, 2, 4})
            for (int32_t encoding : {0, 1})
                cases.push_back({v, charset, encoding});
    return cases;
}

void expectRoundTrip(const std::string &value, int32_t charset, int32_t encoding) {
    PieceStream s;
    Vcard *w = Vcard_new(s.file());
    ASSERT_EQ(Vcard_setEncodeMethod(w, charset, encoding), 0);
    ASSERT_EQ(Vcard_addBeg(w), 0);
    ASSERT_EQ(Vcard_addNote(w, value.c_str()), 0);
    ASSERT_EQ(Vcard_addTel(w, VCARD_FLAG_CELL, value.c_str()), 0);
    ASSERT_EQ(Vcard_addEnd(w), 0);
    Vcard_delete(w);

    std::vector<Prop> props = readAll(s.written());
    std::vector<Prop> props2 = readByteByByte(s.written(), true);
    ASSERT_EQ(props.size(), 4u) << s.written();
    EXPECT_EQ(props[1], (Prop{12, 0, value, ""})) << s.written();
    EXPECT_EQ(props[2], (Prop{5, 0x140, value, ""})) << s.written();
    EXPECT_EQ(props2, props);
}

void PrintTo(const RoundTripCase &c, std::ostream *os) { *os << c.value.name << " charset " << c.charset << " encoding " << c.encoding; }

class VcardRoundTripTest : public testing::TestWithParam<RoundTripCase> {};

TEST_P(VcardRoundTripTest, ValueComesBack) {
    expectRoundTrip(GetParam().value.value, GetParam().charset, GetParam().encoding);
}

std::string roundTripName(const testing::TestParamInfo<RoundTripCase> &i) {
    static const char *const kCharsets[] = {"Local", "Ucs2", "Utf8", "", "Utf7"};
    return std::string(i.param.value.name) + "_" + kCharsets[i.param.charset] + (i.param.encoding ? "_Qp" : "");
}

INSTANTIATE_TEST_SUITE_P(Values, VcardRoundTripTest, testing::ValuesIn(roundTripCases()), roundTripName);

TEST(VcardRoundTrip, StructuredPartsWithSeparatorsAndBackslashes) {
    for (int32_t charset : {1, 2, 4}) {
        VcardName name;
        VcardName_clear(&name);
        std::strcpy(name.family, "Smith;Jones\\");
        std::strcpy(name.given, "\xc3\x89mile");
        std::strcpy(name.suffix, "\\");
        VcardAddr addr;
        VcardAddr_clear(&addr);
        std::strcpy(addr.street, "Rue 1; app. 2");
        std::strcpy(addr.locality, "Montr\xc3\xa9\x61l\\");
        std::strcpy(addr.country, "CA");

        PieceStream s;
        Vcard *w = Vcard_new(s.file());
        ASSERT_EQ(Vcard_setEncodeMethod(w, charset, 0), 0);
        ASSERT_EQ(Vcard_addNameExt(w, &name), 0);
        ASSERT_EQ(Vcard_addAddr(w, VCARD_FLAG_WORK, &addr), 0);
        ASSERT_EQ(Vcard_addEnd(w), 0);
        Vcard_delete(w);

        std::vector<Prop> props = readAll(s.written());
        ASSERT_EQ(props.size(), 3u) << s.written();
        VcardName nameBack;
        VcardAddr addrBack;
        ASSERT_EQ(VcardName_dec(&nameBack, props[0].value.c_str()), 0);
        ASSERT_EQ(VcardAddr_dec(&addrBack, props[1].value.c_str()), 0);
        EXPECT_EQ(std::memcmp(&name, &nameBack, sizeof name), 0) << s.written();
        EXPECT_EQ(std::memcmp(&addr, &addrBack, sizeof addr), 0) << s.written();
        EXPECT_EQ(props[1].flags, VCARD_FLAG_WORK);
    }
}

// The local code page needs the conversion library; GBK exercises a real conversion, and its
// trail byte 0x5C (the backslash) must never be taken for an escape.
class VcardLocalCodePage : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CsUtil_loadFrom(SELVARK_QUORL_PATH), 0); }
    void TearDown() override {
        CsUtil_setLocalCodePage("UTF-8");
        CsUtil_loadFrom(nullptr);
    }
};

TEST_F(VcardLocalCodePage, GbkWritesRawBytesWithoutCharset) {
    ASSERT_EQ(CsUtil_setLocalCodePage("GBK"), 0);
    PieceStream s;
    Vcard *w = Vcard_new(s.file());
    ASSERT_EQ(Vcard_setEncodeMethod(w, VCARD_CHARSET_LOCAL, 0), 0);
    ASSERT_EQ(Vcard_addNote(w, "\xe4\xb8\xad\xe4\xb9\x97;"), 0); // 中乗;
    Vcard_delete(w);
    EXPECT_EQ(s.written(), "NOTE:\xd6\xd0\x81\x5c\\;\r\n");
}

TEST_F(VcardLocalCodePage, VcardRoundTrip) {
    for (const char *page : {"UTF-8", "GBK"}) {
        ASSERT_EQ(CsUtil_setLocalCodePage(page), 0);
        for (const RoundTripValue &v : kRoundTripValues) {
            if (std::string(page) == "GBK" && v.value.find("\xc5") != std::string::npos)
                continue; // Polish letters are not in GBK
            SCOPED_TRACE(std::string(page) + " " + v.name);
            expectRoundTrip(v.value, VCARD_CHARSET_LOCAL, 0);
            expectRoundTrip(v.value, VCARD_CHARSET_LOCAL, 1);
        }
    }
}

TEST(VcardSelfTest, ReadsItsSampleCard) { EXPECT_EQ(Vcard_test(), 7); }

} // namespace
