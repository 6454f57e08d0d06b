// The handset-supplied texts of IrMC: info.log (counts, access levels, the field block) and the
// Application-Parameters of level-4 responses. Hostile rows sit next to the well-formed ones.

#include "dv_result.h"
#include "dv_stream.h"
#include "dv_vcard.h"
#include "irmc/irmc_int.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    McStoreInfo info{};
    std::vector<McFieldDesc> fields;
};

Parsed parse(const std::string &text, int32_t capacity = 8) {
    Parsed p;
    p.fields.resize(static_cast<size_t>(capacity));
    p.info.fields = p.fields.data();
    p.info.fieldCapacity = capacity;
    std::string copy = text;
    AbsFile *in = AbsFileMem_new(copy.data(), static_cast<int32_t>(copy.size()), static_cast<int32_t>(copy.size()), 0);
    EXPECT_EQ(McInfo_parse(in, &p.info), 0);
    AbsFileMem_delete(in);
    return p;
}

struct CountCase {
    const char *name;
    std::string text;
    int32_t max, total, freeRecords, access;
};

class InfoCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(InfoCounts, Parse) {
    const CountCase &c = GetParam();
    Parsed p = parse(c.text);
    EXPECT_EQ(p.info.maxRecords, c.max);
    EXPECT_EQ(p.info.totalRecords, c.total);
    EXPECT_EQ(p.info.freeRecords, c.freeRecords);
    EXPECT_EQ(p.info.access, c.access);
    EXPECT_EQ(p.info.fieldCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Irmc, InfoCounts,
    ::testing::Values(
        CountCase{"star_maximum", "Maximum-Records:*\r\nTotal-Records:5\r\nFree-Records:95\r\nIEL:0x8\r\n", -1, 5, 95, 11},
        CountCase{"nothing", "", -1, -1, -1, 1},
        CountCase{"lf_only_blanks_and_case", "total-records : 7\nMAXIMUM-RECORDS: 200 \nIEL:  0x10\n", 200, 7, -1, 15},
        CountCase{"octal_and_hex", "Total-Records:010\r\nFree-Records:0x1F\r\nIEL:04\r\n", -1, 8, 31, 7},
        CountCase{"iel_2", "IEL:0x2\r\n", -1, -1, -1, 3}, CountCase{"iel_1", "IEL:0x01\r\n", -1, -1, -1, 1},
        CountCase{"iel_unknown", "IEL:0x20\r\n", -1, -1, -1, 1},
        CountCase{"iel_garbage", "IEL:0x8z\r\nIEL\r\n", -1, -1, -1, 1},
        CountCase{"malformed_values_skip_the_line", "Total-Records:12abc\r\nFree-Records:-3\r\nMaximum-Records:1 2\r\n",
                  -1, -1, -1, 1},
        CountCase{"overflow", "Total-Records:99999999999\r\nMaximum-Records:0x80000000\r\nFree-Records:2147483647\r\n",
                  -1, -1, 2147483647, 1},
        CountCase{"unknown_lines_and_no_newline_at_end", "HD:YES\r\nSAT:x:y:z\r\n:::\r\nTotal-Records:3", -1, 3, -1, 1},
        CountCase{"cr_inside_and_nul", std::string("Total-Records:4\r\r\n\0\r\nFree-Records:6\r\n", 37), -1, 4, 6,
                  1}),
    [](const auto &row) { return std::string(row.param.name); });

struct FieldCase {
    const char *name;
    const char *line;    // one line of the field block
    bool kept;
    int32_t type, flags, maxLen;
    std::vector<int32_t> sub; // sub-field limits 1..7
};

class InfoFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(InfoFields, Parse) {
    const FieldCase &c = GetParam();
    Parsed p = parse(std::string("Total-Records:1\r\nX-IRMC-FIELDS:\r\n<BEGIN>\r\n") + c.line + "\r\n<END>\r\nIEL:0x4\r\n");
    EXPECT_EQ(p.info.access, 7) << "lines after <END> are read as keys again";
    ASSERT_EQ(p.info.fieldCount, c.kept ? 1 : 0);
    if (!c.kept)
        return;
    const McFieldDesc &d = p.fields[0];
    EXPECT_EQ(d.type, c.type);
    EXPECT_EQ(d.flags, c.flags);
    EXPECT_EQ(d.maxLen, c.maxLen);
    std::vector<int32_t> sub(d.sub, d.sub + 7);
    std::vector<int32_t> want = c.sub;
    want.resize(7, 0);
    EXPECT_EQ(sub, want);
    EXPECT_EQ(d.reserved, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Irmc, InfoFields,
    ::testing::Values(
        FieldCase{"name_with_parts", "N[1=20;2=30]:=50", true, VCARD_TYPE_N, 0, 50, {20, 30}},
        FieldCase{"tel_cell", "TEL;CELL:=20", true, VCARD_TYPE_TEL, 0x140, 20, {}},
        FieldCase{"tel_home", "tel;HOME:=20", true, VCARD_TYPE_TEL, 0x801, 20, {}},
        FieldCase{"tel_plain", "TEL:=20", true, VCARD_TYPE_TEL, 0x840, 20, {}},
        FieldCase{"tel_work_fax", "TEL;WORK;FAX:=24", true, VCARD_TYPE_TEL, 0x402, 24, {}},
        FieldCase{"email_no_length", "EMAIL;WORK:", true, VCARD_TYPE_EMAIL, 0x2, -1, {}},
        FieldCase{"url_bare", "URL", true, VCARD_TYPE_URL, 0x40, -1, {}},
        FieldCase{"adr_parts", "ADR;HOME[3=40;4=20;7=10]:=120", true, VCARD_TYPE_ADR, 0x1, 120, {0, 0, 40, 20, 0, 0, 10}},
        FieldCase{"note", "NOTE:=0x100", true, VCARD_TYPE_NOTE, 0, 256, {}},
        // Sub-field numbers outside 1..7 name nothing we keep (they once wrote past the table).
        FieldCase{"sub_index_out_of_range", "ADR[9=5;0=6;8=7;2=3]:=60", true, VCARD_TYPE_ADR, 0x40, 60, {0, 3}},
        FieldCase{"sub_index_huge", "N[2147483647=1;1=2]", true, VCARD_TYPE_N, 0, -1, {2}},
        FieldCase{"unknown_property", "PHOTO:=5", false, 0, 0, 0, {}},
        FieldCase{"bad_sub_value", "TEL[1=x]:=5", false, 0, 0, 0, {}},
        FieldCase{"unclosed_bracket", "N[1=2", false, 0, 0, 0, {}},
        FieldCase{"bad_length", "N:=five", false, 0, 0, 0, {}},
        FieldCase{"stray_separator", "N]:=5", false, 0, 0, 0, {}},
        FieldCase{"type_word_missing", "TEL;:=5", false, 0, 0, 0, {}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(IrmcInfo, FieldBlockFindsBeginLaterAndKeepsToTheTableCapacity) {
    Parsed p = parse("X-IRMC-FIELDS:\r\nnoise\r\n  <BEGIN>\r\nN:=10\r\nTEL:=11\r\nEMAIL:=12\r\n<END>\r\nFree-Records:9\r\n", 2);
    ASSERT_EQ(p.info.fieldCount, 2);
    EXPECT_EQ(p.fields[0].maxLen, 10);
    EXPECT_EQ(p.fields[1].maxLen, 11);
    EXPECT_EQ(p.info.freeRecords, 9);

    Parsed none = parse("X-IRMC-FIELDS:<BEGIN>\r\nN:=10\r\n", 0);
    EXPECT_EQ(none.info.fieldCount, 0) << "no table: descriptions are dropped";

    Parsed unended = parse("X-IRMC-FIELDS:\r\n<BEGIN>\r\nN:=10\r\nTotal-Records:4\r\n");
    EXPECT_EQ(unended.info.fieldCount, 1);
    EXPECT_EQ(unended.info.totalRecords, -1) << "still inside the block";
}

TEST(IrmcInfo, LongLinesAreCutNotOverrun) {
    std::string text = "Total-Records:" + std::string(5000, '1') + "\r\nFree-Records:4\r\nN" + std::string(3000, ';');
    Parsed p = parse(text);
    EXPECT_EQ(p.info.totalRecords, -1);
    EXPECT_EQ(p.info.freeRecords, 4);
}

// ---- Application-Parameters ----

struct AppCase {
    const char *name;
    std::vector<uint8_t> value;
    const char *id;
    int32_t cc;
    const char *extra;
};

class AppParams : public ::testing::TestWithParam<AppCase> {};

TEST_P(AppParams, Parse) {
    const AppCase &c = GetParam();
    StrBuf *id = StrBuf_new(8);
    StrBuf *extra = StrBuf_new(8);
    StrBuf_appendChars(id, "old");
    StrBuf_appendChars(extra, "old");
    int32_t cc = -1;
    McApp_parse(c.value.data(), static_cast<int32_t>(c.value.size()), id, &cc, extra);
    EXPECT_STREQ(StrBuf_buf(id), c.id);
    EXPECT_EQ(cc, c.cc);
    EXPECT_STREQ(StrBuf_buf(extra), c.extra);
    StrBuf_delete(id);
    StrBuf_delete(extra);
}

INSTANTIATE_TEST_SUITE_P(
    Irmc, AppParams,
    ::testing::Values(
        AppCase{"all_three", {1, 3, 'A', 'B', 'C', 2, 2, '1', '7', 3, 1, 'x'}, "ABC", 17, "x"},
        AppCase{"empty", {}, "old", -1, "old"},
        AppCase{"empty_id", {1, 0}, "", -1, "old"},
        AppCase{"value_past_the_end", {2, 1, '5', 1, 9, 'A', 'B'}, "old", 5, "old"},
        AppCase{"lone_tag", {1}, "old", -1, "old"},
        AppCase{"counter_not_a_number", {2, 2, 'x', '1'}, "old", -1, "old"},
        AppCase{"counter_overflow", {2, 11, '9', '9', '9', '9', '9', '9', '9', '9', '9', '9', '9'}, "old", -1, "old"},
        AppCase{"unknown_tags_skipped", {0x7F, 2, 0, 0, 1, 1, 'Z'}, "Z", -1, "old"}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
