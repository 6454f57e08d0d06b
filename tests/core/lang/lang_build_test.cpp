#include "core/lang_mng.h"
#include "lang_fixture.h"

#include <gtest/gtest.h>

#include <string>

using lang_test::runTool;
using platform_test::TempTree;

namespace {

struct BadCase {
    const char *what;
    std::string text;  // the whole file; the bad line is line 3
    const char *message;
};

TEST(LangBuild, EachBadLineFailsNamingFileAndLine)
{
    const std::string good = "# comment\nfMain_Caption\tSelvark\n";
    const BadCase cases[] = {
        {"no tab", good + "fMain_Battery Battery\n", "no tab"},
        {"empty key", good + "\tvalue\n", "empty key"},
        {"duplicate key", good + "fMain_Caption\tagain\n", "duplicate key"},
        {"key over 50", good + std::string(51, 'k') + "\tv\n", "key longer than 50"},
        {"value over 200", good + "k\t" + std::string(201, 'v') + "\n", "value longer than 200"},
        {"value over 200 in CJK", good + "k\t" + [] {
             std::string s;
             for (int i = 0; i < 201; ++i)
                 s += "\xE4\xB8\xAD";
             return s;
         }() + "\n", "value longer than 200"},
        {"invalid UTF-8", good + "k\tbad \xC3\x28 byte\n", "invalid UTF-8"},
        {"overlong UTF-8", good + "k\t\xC0\xAF\n", "invalid UTF-8"},
        {"UTF-16 surrogate", good + "k\t\xED\xA0\x80\n", "invalid UTF-8"},
        {"cut UTF-8 at the end", good + "k\tend \xE4\xB8", "invalid UTF-8"},
        {"control character", good + "k\tbell\x07\n", "control character"},
        {"carriage return", good + "k\tvalue\r\n", "control character"},
        {"control in key", good + "k\x01\tv\n", "control character"},
        {"C1 control", good + "k\t\xC2\x85\n", "control character"},
        {"raw second tab", good + "k\ta\tb\n", "second tab"},
        {"unknown escape", good + "k\ta\\qb\n", "unknown escape"},
        {"backslash at the end", good + "k\tvalue\\\n", "backslash ends"},
    };
    TempTree t;
    for (const BadCase &c : cases) {
        SCOPED_TRACE(c.what);
        t.file("bad.tsv", c.text);
        lang_test::ToolRun r = runTool(t.path("bad.tsv"), t.path("bad.dat"));
        EXPECT_EQ(r.exitCode, 1) << r.output;
        EXPECT_NE(r.output.find(t.path("bad.tsv") + ":3: "), std::string::npos) << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
        EXPECT_FALSE(std::filesystem::exists(t.path("bad.dat")));
    }
}

TEST(LangBuild, ReportsEveryBadLineNotJustTheFirst)
{
    TempTree t;
    t.file("bad.tsv", "a\tA\nno tab here\nb\tB\n\tnothing\na\tagain\n");
    lang_test::ToolRun r = runTool(t.path("bad.tsv"), t.path("bad.dat"));
    EXPECT_EQ(r.exitCode, 1);
    for (const char *at : {":2: ", ":4: ", ":5: "})
        EXPECT_NE(r.output.find(t.path("bad.tsv") + at), std::string::npos) << at << "\n" << r.output;
    EXPECT_NE(r.output.find("first on line 1"), std::string::npos) << r.output;
}

TEST(LangBuild, UsageAndMissingInputAreErrorsToo)
{
    TempTree t;
    EXPECT_EQ(runTool(t.path("missing.tsv"), t.path("out.dat")).exitCode, 2);
}

TEST(LangBuild, GoodFileRoundTripsEveryKeyAndValue)
{
    std::string cjk200;
    for (int i = 0; i < 200; ++i)
        cjk200 += "\xE6\x96\x87"; // 200 characters, 600 bytes
    const std::string key50(50, 'K');
    const std::string value200(200, 'v');
    struct Row {
        std::string key, written, expected;
    } rows[] = {
        {"plain", "Selvark", "Selvark"},
        {"tab", "a\\tb", "a\tb"},
        {"newline", "line 1\\nline 2", "line 1\nline 2"},
        {"backslash", "C:\\\\Temp\\\\x", "C:\\Temp\\x"},
        {"escaped escape", "\\\\n", "\\n"},
        {"cjk", "\xE4\xB8\xAD\xE6\x96\x87\xE7\x9F\xAD\xE4\xBF\xA1", "\xE4\xB8\xAD\xE6\x96\x87\xE7\x9F\xAD\xE4\xBF\xA1"},
        {"cjk200", cjk200, cjk200},
        {key50, value200, value200},
        {"empty", "", ""},
        {"spaces", "  around  ", "  around  "},
        {"Case", "upper", "upper"},
        {"case", "lower", "lower"},
        {"hash # inside", "# not a comment", "# not a comment"},
    };
    std::string tsv = "# comment line\n\n";
    for (const Row &r : rows)
        tsv += r.key + "\t" + r.written + "\n";
    tsv += "last\tno newline at the end";

    TempTree t;
    t.file("good.tsv", tsv);
    lang_test::ToolRun run = runTool(t.path("good.tsv"), t.path("good.dat"));
    ASSERT_EQ(run.exitCode, 0) << run.output;

    platform::Table table = core::makeLanguageTable();
    ASSERT_TRUE(table.load(t.path("good.dat")));
    ASSERT_EQ(table.totalRows(), int(std::size(rows)) + 1);
    for (const Row &r : rows) {
        SCOPED_TRACE(r.key);
        ASSERT_TRUE(table.locate("Name", r.key));
        EXPECT_EQ(table.text("Value"), r.expected);
    }
    ASSERT_TRUE(table.locate("Name", "last"));
    EXPECT_EQ(table.text("Value"), "no newline at the end");
}

} // namespace
