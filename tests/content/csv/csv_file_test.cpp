// The CSV file: writing and splitting fields by the state table, the line list, and loading and
// saving whole files (line ends, size bounds, failed saves).

#include "content/csv_file.h"
#include "core/platform/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

using content::TCsvFile;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;
using Fields = std::vector<std::string>;

namespace {

struct LineCase {
    const char *name;
    std::string line;
    Fields fields;
};

// Lines as the splitter must read them; none holds a line break, so each can also stand in a file.
const std::vector<LineCase> &lineCases()
{
    static const std::vector<LineCase> cases = {
        {"ThreeWrittenFields", R"("a,b","x ""y""",c)", {"a,b", R"(x "y")", "c"}},
        {"SpacesAroundBareFields", "  a  ,  b c  , d ", {"a", "b c", "d"}},
        {"SpacesAroundQuotedFields", R"(  "a b"  ,  "c"  )", {"a b", "c"}},
        {"UnclosedQuoteLosesLastField", R"(a,"bc,d)", {"a"}},
        {"OnlyAnOpeningQuoteAndAWord", R"("word)", {}},
        {"OneComma", ",", {"", ""}},
        {"EmptyLine", "", {""}},
        {"TrailingComma", "a,", {"a", ""}},
        {"QuoteInsideBareFieldKeepsWhatFollows", R"(ab"cd,e)", {"cd", "e"}},
        {"StrayCharacterAfterClosingQuote", R"("ab"x,c)", {"", "c"}},
        {"QuoteAfterSpacesAfterClosingQuote", R"("ab" "c",d)", {"", "d"}},
        {"DoubledQuotesOnly", R"("""")", {"\""}},
        {"TabIsAnOrdinaryCharacter", "a\tb,\tc\t", {"a\tb", "c"}},
        {"SpacesInsideQuotesStay", R"(" a ")", {" a "}},
        {"EmptyQuotedField", R"("",x)", {"", "x"}},
        {"FormulaLikeCellsAreText", "=1+1,@x,+8613800138000,-100", {"=1+1", "@x", "+8613800138000", "-100"}},
        {"Utf8EndingInAccent", "José,Zoé", {"José", "Zoé"}},
    };
    return cases;
}

void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }

class CsvLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(CsvLines, ParsesAsALine)
{
    EXPECT_EQ(TCsvFile::ParseLine(GetParam().line), GetParam().fields);
}

TEST_P(CsvLines, ParsesThroughAFileWithEachLineEnd)
{
    TempDir dir;
    for (const char *end : {"\r\n", "\r", "\n"}) {
        const std::string path = dir.file("one.csv");
        writeText(path, GetParam().line + end);
        TCsvFile csv;
        ASSERT_TRUE(csv.LoadFromFile(path)) << end;
        ASSERT_EQ(csv.RowCount(), 1);
        EXPECT_EQ(csv.GetRow(0), GetParam().fields);
    }
}

INSTANTIATE_TEST_SUITE_P(TCsvFile, CsvLines, ::testing::ValuesIn(lineCases()),
                         [](const ::testing::TestParamInfo<LineCase> &p) { return std::string(p.param.name); });

TEST(CsvFile, AllCasesInOneFileWithEachLineEnd)
{
    TempDir dir;
    for (const char *end : {"\r\n", "\r", "\n"}) {
        std::string text;
        for (const LineCase &c : lineCases())
            text += c.line + end;
        const std::string path = dir.file("all.csv");
        writeText(path, text);
        TCsvFile csv;
        ASSERT_TRUE(csv.LoadFromFile(path));
        ASSERT_EQ(csv.RowCount(), int(lineCases().size()));
        for (size_t i = 0; i < lineCases().size(); ++i)
            EXPECT_EQ(csv.GetRow(int(i)), lineCases()[i].fields) << lineCases()[i].name << " with end " << int(end[0]);
    }
}

TEST(CsvFile, WritesFieldsAsTheTableSays)
{
    EXPECT_EQ(TCsvFile::JoinRow({"a,b", R"(x "y")", " c "}), R"("a,b","x ""y""",c)");
    EXPECT_EQ(TCsvFile::JoinRow({"   "}), "");
    EXPECT_EQ(TCsvFile::JoinRow({}), "");
    EXPECT_EQ(TCsvFile::JoinRow({"", ""}), ",");
    // Only a quote or a comma causes quoting.
    EXPECT_EQ(TCsvFile::QuoteField("a b;c\td"), "a b;c\td");
    EXPECT_EQ(TCsvFile::QuoteField("\"\""), "\"\"\"\"\"\"");
    // Formula-like cells are data and stay as they are.
    EXPECT_EQ(TCsvFile::QuoteField("=1+1"), "=1+1");
    EXPECT_EQ(TCsvFile::QuoteField("+8613800138000"), "+8613800138000");
}

TEST(CsvFile, LineBreaksInsideAFieldBecomeBlanks)
{
    EXPECT_EQ(TCsvFile::QuoteField("one\r\ntwo\nthree\rfour\r\n"), "one two three four");
    EXPECT_EQ(TCsvFile::QuoteField("a,\nb"), "\"a, b\"");
    TCsvFile csv;
    csv.AddRow({"1", "note\r\nwith breaks", "x"});
    csv.AddRow({"2"});
    TCsvFile back;
    ASSERT_TRUE(back.LoadFromText(csv.ToText()));
    ASSERT_EQ(back.RowCount(), 2);
    EXPECT_EQ(back.GetRow(0), (Fields{"1", "note with breaks", "x"}));
}

TEST(CsvFile, TrimDropsOnlyBytesBelow33ComparedUnsigned)
{
    // The last byte of "é" is 0xA9: negative as a signed char, and it must stay.
    EXPECT_EQ(TCsvFile::Trim(" \t\x01José\r\n"), "José");
    EXPECT_EQ(TCsvFile::Trim("\xE5\xBC\xA0"), "\xE5\xBC\xA0");
    EXPECT_EQ(TCsvFile::Trim("\x7F"), "\x7F");
    EXPECT_EQ(TCsvFile::Trim("  \x1F "), "");
}

TEST(CsvFile, UnquoteRefusesBrokenQuoting)
{
    EXPECT_EQ(TCsvFile::UnquoteField(""), "");
    EXPECT_EQ(TCsvFile::UnquoteField(R"("abc)"), "");
    EXPECT_EQ(TCsvFile::UnquoteField(R"(")"), "");
    EXPECT_EQ(TCsvFile::UnquoteField(R"("a"b")"), "");
    EXPECT_EQ(TCsvFile::UnquoteField(R"(a"b)"), "");
    EXPECT_EQ(TCsvFile::UnquoteField(R"("a""b")"), "a\"b");
    EXPECT_EQ(TCsvFile::UnquoteField(R"(a""b)"), "a\"b");
}

TEST(CsvFile, FieldsRoundTripTrimmedAtTheirEnds)
{
    const Fields in = {R"(say "hi")", "a,b", "inner\ttab", "in ner  spaces", " outer blanks ", "Zoé", "張三丰",
                       "\"", ",", "", "=SUM(A1:A2)", "@x", "+8613800138000", "-100", "(0)_", "a\"\"b"};
    const Fields want = {R"(say "hi")", "a,b", "inner\ttab", "in ner  spaces", "outer blanks", "Zoé", "張三丰",
                         "\"", ",", "", "=SUM(A1:A2)", "@x", "+8613800138000", "-100", "(0)_", "a\"\"b"};
    EXPECT_EQ(TCsvFile::ParseLine(TCsvFile::JoinRow(in)), want);

    TempDir dir;
    TCsvFile csv;
    csv.AddRow(in);
    csv.AddRow({"second"});
    ASSERT_TRUE(csv.SaveToFile(dir.file("rt.csv")));
    TCsvFile back;
    ASSERT_TRUE(back.LoadFromFile(dir.file("rt.csv")));
    ASSERT_EQ(back.RowCount(), 2);
    EXPECT_EQ(back.GetRow(0), want);
    EXPECT_EQ(back.GetRow(1), Fields{"second"});
}

TEST(CsvFile, RowsAndTheirBounds)
{
    TCsvFile csv;
    EXPECT_EQ(csv.RowCount(), 0);
    csv.AddRow({"a", "b"});
    csv.AddRow({});
    EXPECT_EQ(csv.RowCount(), 2);
    Fields out{"stale"};
    csv.GetRow(2, out);
    EXPECT_TRUE(out.empty());
    out = {"stale"};
    csv.GetRow(-1, out);
    EXPECT_TRUE(out.empty());
    csv.GetRow(0, out);
    EXPECT_EQ(out, (Fields{"a", "b"}));
    EXPECT_EQ(csv.GetRow(1), Fields{""});
    csv.Clear();
    EXPECT_EQ(csv.RowCount(), 0);
    EXPECT_TRUE(csv.GetRow(0).empty());
}

TEST(CsvFile, SavesEveryLineEndedByCrLf)
{
    TempDir dir;
    TCsvFile csv;
    csv.AddRow({"Man", "Model"});
    csv.AddRow({""});
    csv.AddRow({"SIM"});
    ASSERT_TRUE(csv.SaveToFile(dir.file("s.csv")));
    EXPECT_EQ(readText(dir.file("s.csv")), "Man,Model\r\n\r\nSIM\r\n");
}

TEST(CsvFile, LineEndsMixed)
{
    TCsvFile csv;
    ASSERT_TRUE(csv.LoadFromText("a\r\r\nb\n\rc\n\nd"));
    EXPECT_EQ(csv.lines(), (Fields{"a", "", "b", "", "c", "", "d"}));
    ASSERT_TRUE(csv.LoadFromText(""));
    EXPECT_EQ(csv.RowCount(), 0);
    ASSERT_TRUE(csv.LoadFromText("\r\n"));
    EXPECT_EQ(csv.lines(), Fields{""});
}

TEST(CsvFile, RefusesAFileOver16MiBAndKeepsNoLines)
{
    TempDir dir;
    const std::string path = dir.file("big.csv");
    writeText(path, "a,b\r\nc\r\n");
    TCsvFile csv;
    ASSERT_TRUE(csv.LoadFromFile(path));
    ASSERT_EQ(csv.RowCount(), 2);

    std::string line(1023, 'x');
    line += '\n';
    std::string big;
    big.reserve(17u << 20);
    while (big.size() < (17u << 20))
        big += line;
    writeText(path, big);
    platform::FileResult r = csv.LoadFromFile(path);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find(path), std::string::npos);
    EXPECT_EQ(csv.RowCount(), 0);
}

TEST(CsvFile, RefusesTooManyLinesAndKeepsNoLines)
{
    TCsvFile csv;
    ASSERT_TRUE(csv.LoadFromText(std::string(TCsvFile::kMaxLines, '\n')));
    EXPECT_EQ(csv.RowCount(), int(TCsvFile::kMaxLines));
    EXPECT_FALSE(csv.LoadFromText(std::string(TCsvFile::kMaxLines + 1, '\n')));
    EXPECT_EQ(csv.RowCount(), 0);
    EXPECT_FALSE(csv.LoadFromText(std::string(TCsvFile::kMaxLines, '\n') + "x"));
    EXPECT_EQ(csv.RowCount(), 0);
}

TEST(CsvFile, AFailedLoadLeavesNoLines)
{
    TempDir dir;
    TCsvFile csv;
    csv.AddRow({"kept?"});
    platform::FileResult r = csv.LoadFromFile(dir.file("missing.csv"));
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(csv.RowCount(), 0);
    csv.AddRow({"kept?"});
    EXPECT_FALSE(csv.LoadFromFile(dir.path())); // a folder
    EXPECT_EQ(csv.RowCount(), 0);
}

TEST(CsvFile, AFailedSaveLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string path = dir.file("old.csv");
    writeText(path, "old,contents\r\n");
    TCsvFile csv;
    csv.AddRow({"new", "contents"});

    platform::FileOps full;
    full.write = [](int, const void *, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    platform::FileResult r = csv.SaveToFile(path, full);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_NE(r.message.find(path), std::string::npos);
    EXPECT_EQ(readText(path), "old,contents\r\n");
    EXPECT_EQ(dir.list(), Fields{"old.csv"});

    platform::FileOps noRename;
    noRename.rename = [](const char *, const char *) {
        errno = EIO;
        return -1;
    };
    EXPECT_FALSE(csv.SaveToFile(path, noRename));
    EXPECT_EQ(readText(path), "old,contents\r\n");
    EXPECT_EQ(dir.list(), Fields{"old.csv"});

    // A missing folder is answered, not swallowed.
    EXPECT_FALSE(csv.SaveToFile(dir.file("no/such/folder.csv")));
}

} // namespace
