// The CSV codec: the encoder's quoting and separators, the decoder's events and counts, and the
// encoder -> decoder round trip.

#include "dv_csv.h"
#include "dv_result.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() / ("selvark-csv-" + std::to_string(::getpid()) + "-" +
                                             std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const char *name) const { return (path_ / name).string(); }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void spill(const std::string &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

// Records the handler calls as text: "[" line begin, "<item>" per field, "]" line end.
struct Recorder {
    std::string events;
    static void lineBegin(void *ctx) { static_cast<Recorder *>(ctx)->events += "["; }
    static void item(void *ctx, const char *text) { static_cast<Recorder *>(ctx)->events += "<" + std::string(text) + ">"; }
    static void lineEnd(void *ctx) { static_cast<Recorder *>(ctx)->events += "]"; }
    CsvFileDecHandler table() { return {lineBegin, item, lineEnd, this}; }
};

// ---- encoder ----

struct EncCase {
    const char *name;
    std::vector<std::string> fields;
    const char *line;
};

const EncCase kEncCases[] = {
    {"Plain", {"a", "b"}, "a,b\r\n"},
    {"InnerQuoteDoubled", {"a\"b"}, "\"a\"\"b\"\r\n"},
    {"CommaQuoted", {"a,b", "c"}, "\"a,b\",c\r\n"},
    // Fault fixed: CR and LF did not cause quoting, so the field split the line on reading.
    {"CrLfQuoted", {"\r\n"}, "\"\r\n\"\r\n"},
    {"LfQuoted", {"a\nb"}, "\"a\nb\"\r\n"},
    {"EmptyFirstField", {"", "x"}, ",x\r\n"},
    {"OnlyEmptyFields", {"", ""}, ",\r\n"},
    {"NoFields", {}, "\r\n"},
    {"BlanksKept", {" a ", "b"}, " a ,b\r\n"},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const EncCase &c, std::ostream *os) { *os << c.name; }

class CsvEncoderTest : public testing::TestWithParam<EncCase> {};

TEST_P(CsvEncoderTest, WritesTheLine) {
    TempDir dir;
    std::string path = dir.file("out.csv");
    CsvFileEnc *e = CsvFileEnc_new(path.c_str());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(CsvFileEnc_addLineBeg(e), 1);
    for (const std::string &f : GetParam().fields)
        EXPECT_EQ(CsvFileEnc_addLineItemStr(e, f.c_str()), 1);
    EXPECT_EQ(CsvFileEnc_addLineEnd(e), 1);
    CsvFileEnc_delete(e);
    EXPECT_EQ(slurp(path), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Fields, CsvEncoderTest, testing::ValuesIn(kEncCases),
                         [](const testing::TestParamInfo<EncCase> &i) { return std::string(i.param.name); });

TEST(CsvEncoder, NumbersAndSeveralLines) {
    TempDir dir;
    std::string path = dir.file("out.csv");
    CsvFileEnc *e = CsvFileEnc_new(path.c_str());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(CsvFileEnc_addLineBeg(e), 1);
    EXPECT_EQ(CsvFileEnc_addLineItemInt(e, -2147483647 - 1), 1);
    EXPECT_EQ(CsvFileEnc_addLineItemInt(e, 42), 1);
    EXPECT_EQ(CsvFileEnc_addLineEnd(e), 1);
    EXPECT_EQ(CsvFileEnc_addLineBeg(e), 1);
    EXPECT_EQ(CsvFileEnc_addLineItemStr(e, "x"), 1);
    EXPECT_EQ(CsvFileEnc_addLineEnd(e), 1);
    CsvFileEnc_delete(e);
    EXPECT_EQ(slurp(path), "-2147483648,42\r\nx\r\n");
}

TEST(CsvEncoder, LineLongerThanTheOldBufferIsWrittenWhole) {
    // Fault fixed: the 10240-byte line buffer was not checked.
    TempDir dir;
    std::string path = dir.file("out.csv");
    std::string big(50000, 'q');
    CsvFileEnc *e = CsvFileEnc_new(path.c_str());
    EXPECT_EQ(CsvFileEnc_addLineBeg(e), 1);
    EXPECT_EQ(CsvFileEnc_addLineItemStr(e, big.c_str()), 1);
    EXPECT_EQ(CsvFileEnc_addLineItemStr(e, big.c_str()), 1);
    EXPECT_EQ(CsvFileEnc_addLineEnd(e), 1);
    CsvFileEnc_delete(e);
    EXPECT_EQ(slurp(path), big + "," + big + "\r\n");
}

TEST(CsvEncoder, WithoutAFile) {
    CsvFileEnc *e = CsvFileEnc_new("/nonexistent-dir/x.csv");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(CsvFileEnc_addLineBeg(e), DV_E_NOFILE);
    EXPECT_EQ(CsvFileEnc_addLineItemStr(e, "a"), DV_E_NOFILE);
    EXPECT_EQ(CsvFileEnc_addLineEnd(e), DV_E_NOFILE);
    CsvFileEnc_delete(e);
    CsvFileEnc_delete(nullptr);
    EXPECT_EQ(CsvFileEnc_new(nullptr), nullptr);
    EXPECT_EQ(CsvFileEnc_addLineBeg(nullptr), DV_E_ARG);
}

// ---- decoder ----

struct DecCase {
    const char *name;
    std::string input;
    const char *events;
    int32_t result;
};

const DecCase kDecCases[] = {
    {"TwoLines", "a,b\r\nc\r\n", "[<a><b>][<c>]", 2},
    {"TwoEmptyFields", ",,\r\n", "[<><>]", 1},
    {"TrailingSeparatorAddsNoField", "a,b,\r\n", "[<a><b>]", 1},
    {"LeadingEmptyField", ",x\r\n", "[<><x>]", 1},
    {"QuotedWithDoubledQuote", "\"a\"\"b\",c\r\n", "[<a\"b><c>]", 1},
    {"QuotedCommaAndLineBreak", "\"a,b\r\nc\"\r\n", "[<a,b\r\nc>]", 1},
    {"LoneLfIsText", "a\nb\r\n", "[<a\nb>]", 1},
    {"CrAloneEndsALineAndKeepsTheNext", "a\rb\r\n", "[<a>][<b>]", 2},
    {"EmptyLineCounts", "a\r\n\r\nb\r\n", "[<a>][<b>]", 3},
    // Fault fixed: the last field was dropped when the file had no final CR LF.
    {"LastLineWithoutLineEnd", "a,b\r\nc,d", "[<a><b>][<c><d>]", 2},
    {"UnclosedQuoteKeepsItsText", "a,\"bc", "[<a><bc>]", 1},
    {"TextAfterClosingQuoteStaysInTheField", "\"ab\"cd,e\r\n", "[<abcd><e>]", 1},
    {"EmptyQuotedField", "\"\",x\r\n", "[<><x>]", 1},
    {"OnlyALineEnd", "\r\n", "", 1},
    {"Empty", "", "", DV_E_EMPTY},
};

// Test names, not bytes, in the failure messages.
void PrintTo(const DecCase &c, std::ostream *os) { *os << c.name; }

class CsvDecoderTest : public testing::TestWithParam<DecCase> {};

TEST_P(CsvDecoderTest, ReportsEvents) {
    TempDir dir;
    std::string path = dir.file("in.csv");
    spill(path, GetParam().input);
    CsvFileDec *d = CsvFileDec_new(path.c_str());
    ASSERT_NE(d, nullptr);
    Recorder rec;
    CsvFileDecHandler table = rec.table();
    EXPECT_EQ(CsvFileDec_regHandle(d, &table), 1);
    EXPECT_EQ(CsvFileDec_do(d, 0), GetParam().result);
    EXPECT_EQ(rec.events, GetParam().events);
    CsvFileDec_delete(d);
}

INSTANTIATE_TEST_SUITE_P(Inputs, CsvDecoderTest, testing::ValuesIn(kDecCases),
                         [](const testing::TestParamInfo<DecCase> &i) { return std::string(i.param.name); });

TEST(CsvDecoder, StopsAfterMaxLinesAndGoesOn) {
    TempDir dir;
    std::string path = dir.file("in.csv");
    spill(path, "a\r\nb\r\n\r\nc\r\nd\r\n");
    CsvFileDec *d = CsvFileDec_new(path.c_str());
    Recorder rec;
    CsvFileDecHandler table = rec.table();
    CsvFileDec_regHandle(d, &table);
    EXPECT_EQ(CsvFileDec_do(d, 2), 2);
    EXPECT_EQ(rec.events, "[<a>][<b>]");
    EXPECT_EQ(CsvFileDec_do(d, 1), DV_E_CANCELLED); // the line that reached the count was empty
    EXPECT_EQ(CsvFileDec_do(d, -8), DV_E_CANCELLED);
    EXPECT_EQ(rec.events, "[<a>][<b>][<c>]");
    EXPECT_EQ(CsvFileDec_do(d, 0), 1);
    EXPECT_EQ(CsvFileDec_do(d, 0), 0); // at the end, but not an empty file
    EXPECT_EQ(rec.events, "[<a>][<b>][<c>][<d>]");
    CsvFileDec_delete(d);
}

TEST(CsvDecoder, WithoutAFileOrHandlers) {
    CsvFileDec *d = CsvFileDec_new("/nonexistent-dir/x.csv");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(CsvFileDec_do(d, 0), DV_E_NOFILE);
    EXPECT_EQ(CsvFileDec_regHandle(d, nullptr), DV_E_ARG);
    CsvFileDec_delete(d);
    CsvFileDec_delete(nullptr);
    EXPECT_EQ(CsvFileDec_do(nullptr, 0), DV_E_ARG);

    // No handler table: lines are still counted.
    TempDir dir;
    std::string path = dir.file("in.csv");
    spill(path, "a,b\r\nc\r\n");
    d = CsvFileDec_new(path.c_str());
    EXPECT_EQ(CsvFileDec_do(d, 0), 2);
    CsvFileDec_delete(d);
}

TEST(CsvCodec, RoundTrip) {
    const std::vector<std::vector<std::string>> lines = {
        {"plain", "with,comma", "with \"quote\"", "", "line\r\nbreak", "lf\nonly", "cr\ronly"},
        {"", "\xe4\xb8\xad\xe6\x96\x87", "\"", ",", " "},
        {"last"},
    };
    TempDir dir;
    std::string path = dir.file("rt.csv");
    CsvFileEnc *e = CsvFileEnc_new(path.c_str());
    for (const auto &line : lines) {
        CsvFileEnc_addLineBeg(e);
        for (const std::string &f : line)
            ASSERT_EQ(CsvFileEnc_addLineItemStr(e, f.c_str()), 1);
        ASSERT_EQ(CsvFileEnc_addLineEnd(e), 1);
    }
    CsvFileEnc_delete(e);

    struct Collect {
        std::vector<std::vector<std::string>> lines;
        static void begin(void *c) { static_cast<Collect *>(c)->lines.emplace_back(); }
        static void item(void *c, const char *t) { static_cast<Collect *>(c)->lines.back().push_back(t); }
    } got;
    CsvFileDecHandler table{Collect::begin, Collect::item, nullptr, &got};
    CsvFileDec *d = CsvFileDec_new(path.c_str());
    CsvFileDec_regHandle(d, &table);
    EXPECT_EQ(CsvFileDec_do(d, 0), 3);
    CsvFileDec_delete(d);
    EXPECT_EQ(got.lines, lines);
}

} // namespace
