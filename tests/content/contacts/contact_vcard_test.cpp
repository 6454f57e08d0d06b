// A contact's vCard text and its typed fields: parsing (order, encodings, whole values, garbage),
// building (per type, the GRP rules, byte cuts on character boundaries) and the round trip.

#include "content/phonebook_manage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace content;

namespace {

constexpr const char *kHead = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
constexpr const char *kTail = "END:VCARD\r\n";

std::string card(const std::string &lines) { return kHead + lines + kTail; }

std::string repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Flags the reader reports for a TEL without a type (voice, general) and for a bare EMAIL.
constexpr int32_t kTelPlain = 0x840;
constexpr int32_t kGeneral = 0x40;

// ---- Parsing ----

struct ParseCase {
    const char *name;
    std::string text;
    TMobileVacrd fields;
};

std::vector<ParseCase> parseCases()
{
    const std::string note300 = repeat("\xE4\xB8\xAD", 150) + repeat("ab", 75); // 300 characters
    return {
        // The exchange sort swaps the first and the last field, then nothing more: the second TEL
        // now stands before the first.
        {"tel_tel_n", card("TEL:111\r\nTEL:222\r\nN:Doe;John\r\n"),
         {{kFieldName, 0, "Doe;John"}, {kFieldTel, kTelPlain, "222"}, {kFieldTel, kTelPlain, "111"}}},
        {"quoted_printable", card("NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=B8=89\r\n"),
         {{kFieldNote, 0, "张三"}}},
        {"base64", card("NOTE;CHARSET=UTF-8;ENCODING=BASE64:5byg5LiJ\r\n"), {{kFieldNote, 0, "张三"}}},
        {"ucs2", card("NOTE;CHARSET=UCS2;ENCODING=QUOTED-PRINTABLE:=5F=20=4E=09\r\n"), {{kFieldNote, 0, "张三"}}},
        {"utf7", card("NOTE;CHARSET=UTF-7:+XyBOCQ-\r\n"), {{kFieldNote, 0, "张三"}}},
        // Values are read whole (a 300-character note, 600 bytes, is not cut at 99 bytes).
        {"note_300_characters", card("NOTE;CHARSET=UTF-8:" + note300 + "\r\n"), {{kFieldNote, 0, note300}}},
        {"long_name_and_address_whole",
         card("N:" + repeat("x", 70) + ";" + repeat("y", 70) + "\r\nADR;HOME:;;" + repeat("s", 120) + ";City;;;\r\n"),
         {{kFieldName, 0, repeat("x", 70) + ";" + repeat("y", 70)},
          {kFieldAddr, 0x1, ";;" + repeat("s", 120) + ";City;;;"}}},
        // Unknown properties and FN-less cards: other properties are skipped, FN and GRP kept.
        {"other_properties_skipped", card("X-FOO:bar\r\nFN:John Doe\r\nGRP:2\r\nPHOTO;ENCODING=BASE64:AAAA\r\n"),
         {{kFieldFullName, 0, "John Doe"}, {kFieldGroup, 0, "2"}}},
        {"ends_at_end", card("TEL:1\r\n") + "TEL:2\r\n", {{kFieldTel, kTelPlain, "1"}}},
        {"escapes_of_plain_values", card("NOTE:a\\;b\\\\c\r\n"), {{kFieldNote, 0, "a;b\\c"}}},
        {"lf_line_ends", "BEGIN:VCARD\nN:A;B\nTEL;CELL:5\nEND:VCARD\n",
         {{kFieldName, 0, "A;B"}, {kFieldTel, 0x140, "5"}}},
        {"garbage", "\x01\x02\xff no card here\r\n;;;\r\n", {}},
        {"empty_text", "", {}},
        {"empty_card", card(""), {}},
    };
}

class ParseContactTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseContactTest, GivesFieldsInModelOrder)
{
    EXPECT_EQ(TPhoneBookManage::ParseContact(GetParam().text), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseContactTest, ::testing::ValuesIn(parseCases()),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(ParseContact, SortIsTheModelsExchangeSort)
{
    // Equal types change their order exactly as the exchange sort moves them.
    TMobileVacrd f{{kFieldTel, 0, "a"}, {kFieldEmail, 0, "e"}, {kFieldTel, 0, "b"}, {kFieldName, 0, "n"}};
    SortFields(f);
    EXPECT_EQ(f, (TMobileVacrd{{kFieldName, 0, "n"}, {kFieldTel, 0, "b"}, {kFieldTel, 0, "a"}, {kFieldEmail, 0, "e"}}));
}

// ---- Building ----

struct BuildCase {
    const char *name;
    TMobileVacrd fields;
    std::string lines; // between the head and the tail
};

std::vector<BuildCase> buildCases()
{
    const std::string chinese50 = repeat("\xE4\xB8\xAD", 50); // 150 bytes
    const std::string chinese42 = repeat("\xE4\xB8\xAD", 42); // 126 bytes: the cut at 127 bytes
    return {
        {"name_five_parts", {{kFieldName, -1, "Doe;John"}}, "N:Doe;John;;;\r\n"},
        {"name_given_only", {{kFieldName, -1, ";John"}}, "N:;John;;;\r\n"},
        // The name record holds 79 bytes a part: 30 Chinese characters (90 bytes) keep 26.
        {"name_family_cut_on_character", {{kFieldName, -1, repeat("\xE4\xB8\xAD", 30) + ";A"}},
         "N;CHARSET=UTF-8:" + repeat("\xE4\xB8\xAD", 26) + ";A;;;\r\n"},
        {"name_escaped_part", {{kFieldName, -1, "A\\;B;C;D;E;F"}}, "N:A\\;B;C;D;E;F\r\n"},
        {"birthday", {{kFieldBirthday, 0, "1990-01-02"}}, "BDAY:1990-01-02\r\n"},
        {"tel_flags", {{kFieldTel, 0x102, "+48 600"}}, "TEL;WORK;CELL:+48 600\r\n"},
        {"tel_pager_pref", {{kFieldTel, 0x280, "1"}}, "TEL;PREF;PAGER:1\r\n"},
        {"email_flags", {{kFieldEmail, 0x1, "a@b.c"}}, "EMAIL;HOME:a@b.c\r\n"},
        {"url_flags", {{kFieldUrl, 0x2, "http://x.y"}}, "URL;WORK:http://x.y\r\n"},
        {"adr_through_record", {{kFieldAddr, 0x1, "box;ext;Main\\;1;City;Reg;00-950;PL;extra"}},
         "ADR;HOME:box;ext;Main\\;1;City;Reg;00-950;PL\r\n"},
        {"adr_text_cut_at_127_bytes", {{kFieldAddrText, 0x2, chinese50}},
         "ADR;WORK;CHARSET=UTF-8:" + chinese42 + ";;;;;;\r\n"},
        {"org_title_note", {{kFieldOrg, 0, "Acme"}, {kFieldTitle, 0, "Boss"}, {kFieldNote, 0, "a;b"}},
         "ORG:Acme\r\nTITLE:Boss\r\nNOTE:a\\;b\r\n"},
        {"group_number", {{kFieldTel, 0, "1"}, {kFieldGroup, 0, "3"}}, "TEL:1\r\nGRP:3\r\n"},
        {"group_zero", {{kFieldGroup, 0, "0"}}, "GRP:0\r\n"},
        // No group, a blank and a value that is no number are left out; the rest is written.
        {"group_none", {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}, {kFieldGroup, 0, "-100"}}, "N:A;;;;\r\nTEL:1\r\n"},
        {"group_blank", {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}, {kFieldGroup, 0, " "}}, "N:A;;;;\r\nTEL:1\r\n"},
        {"group_not_a_number", {{kFieldName, -1, "A;"}, {kFieldTel, 0, "1"}, {kFieldGroup, 0, "x"}}, "N:A;;;;\r\nTEL:1\r\n"},
        {"group_trailing_text", {{kFieldTel, 0, "1"}, {kFieldGroup, 0, "3a"}}, "TEL:1\r\n"},
        {"empty_values_and_other_types_left_out",
         {{kFieldOther, 0, "x"}, {kFieldName, -1, ""}, {kFieldTel, 0, "1"}, {kFieldFullName, 0, "F"}}, "TEL:1\r\n"},
        {"note_with_line_break", {{kFieldNote, 0, "a\r\nb"}},
         "NOTE;ENCODING=QUOTED-PRINTABLE:a=0d=0a=\r\n\tb\r\n"},
    };
}

class BuildContactTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildContactTest, WritesEachTypeItsWay)
{
    int32_t r = -1;
    EXPECT_EQ(TPhoneBookManage::BuildContact(GetParam().fields, &r), card(GetParam().lines));
    EXPECT_EQ(r, 0);
}

INSTANTIATE_TEST_SUITE_P(Types, BuildContactTest, ::testing::ValuesIn(buildCases()),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(BuildContact, NeverAnEmptyTextOnSuccess)
{
    int32_t r = -1;
    EXPECT_EQ(TPhoneBookManage::BuildContact({}, &r), card(""));
    EXPECT_EQ(r, 0);
}

// ---- Round trip ----

std::vector<TMobileVacrd> sampleContacts()
{
    return {
        {{kFieldName, 0, "Kowal;Jan;Maria;Dr.;Jr."},
         {kFieldBirthday, 0, "1980-05-06"},
         {kFieldTel, 0x140, "+48 600 100 200"},
         {kFieldTel, 0x802, "+48 22 100 20 30"},
         {kFieldTel, 0x401, "+48 22 100 20 31"},
         {kFieldEmail, kGeneral, "jan@example.com"},
         {kFieldEmail, 0x2, "jan@work.example"},
         {kFieldUrl, 0x1, "http://example.com/~jan"},
         {kFieldAddr, 0x1, ";;ul. Prosta 1\\;m. 2;Warszawa;;00-950;Polska"},
         {kFieldOrg, 0, "Acme; Sp. z o.o."},
         {kFieldTitle, 0, "Kierownik"},
         {kFieldNote, 0, "line one\r\nline two \\ with = and ;"},
         {kFieldGroup, 0, "2"}},
        {{kFieldName, 0, "张;三丰;;;"},
         {kFieldTel, 0x140, "13800138000"},
         {kFieldAddr, 0x2, ";;长安街1号;北京;;100000;中国"},
         {kFieldNote, 0, repeat("备注", 150)}},
        {{kFieldName, 0, ";Only Given;;;"}, {kFieldTel, 0x840, "112"}},
    };
}

TEST(ContactRoundTrip, BuildThenParseReturnsEveryField)
{
    for (const TMobileVacrd &sample : sampleContacts()) {
        std::string text = TPhoneBookManage::BuildContact(sample);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(TPhoneBookManage::ParseContact(text), sample) << text;
    }
}

TEST(ContactRoundTrip, AddressTextComesBackAsAddress)
{
    std::string text = TPhoneBookManage::BuildContact({{kFieldAddrText, 0x1, "Main 1; City"}});
    EXPECT_EQ(TPhoneBookManage::ParseContact(text), (TMobileVacrd{{kFieldAddr, 0x1, "Main 1\\; City;;;;;;"}}));
}

} // namespace
