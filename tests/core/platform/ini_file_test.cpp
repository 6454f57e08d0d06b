// Ini files: lookups and in-place updates on exact texts, and writes through safe replacement.
#include "platform/ini_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace platform;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

TEST(IniFind, Rows)
{
    struct Row {
        const char *text, *section, *key;
        std::optional<std::string> want;
    };
    const std::vector<Row> rows = {
        {"[Set]\nPort=COM1\n", "Set", "Port", "COM1"},
        {"[SET]\r\nport=COM1\r\n", "set", "PORT", "COM1"},          // no case, CR LF
        {"  [ Set ]  \n  Port  =  COM1  \n", "Set", "Port", "COM1"}, // blanks around
        {"[Set]\nPort=a\nPort=b\n", "Set", "Port", "a"},             // first key wins
        {"[Set]\nPort=a\n[Set]\nPort=b\nBaud=9600\n", "Set", "Baud", std::nullopt}, // first section only
        {"[Set]\nName=\" two  \"\n", "Set", "Name", " two  "},      // one pair of quotes dropped
        {"[Set]\nName='x'\n", "Set", "Name", "x"},
        {"[Set]\nName=\"\"x\"\"\n", "Set", "Name", "\"x\""},
        {"[Set]\nName=\"x'\n", "Set", "Name", "\"x'"},              // unmatched quotes stay
        {"[Set]\nEmpty=\n", "Set", "Empty", ""},
        {"[Set]\n;Port=1\n#Port=2\nPort=3\n", "Set", "Port", "3"},   // comments
        {"[Other]\nPort=1\n", "Set", "Port", std::nullopt},
        {"Port=1\n[Set]\n", "Set", "Port", std::nullopt},            // before any section
        {"\xEF\xBB\xBF[Set]\nPort=1", "Set", "Port", "1"},           // BOM, no final line end
        {"[Set]\nA=b=c\n", "Set", "A", "b=c"},
        {"[Set]\nA=1\r", "Set", "A", "1"},
        {"", "Set", "Port", std::nullopt},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(iniFind(r.text, r.section, r.key), r.want);
    }
}

TEST(IniParseInt, SignAndDigitsWithin32Bits)
{
    struct Row {
        const char *text;
        int32_t want;
    };
    const std::vector<Row> rows = {
        {"12", 12},          {" -7 ", -7},         {"+5", 5},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", -1},  {"-2147483649", -1},  {"99999999999999999999", -1},
        {"12abc", -1},       {"", -1},             {"-", -1},
        {"0x10", -1},        {"1 2", -1},          {"007", 7},
    };
    for (const Row &r : rows)
        EXPECT_EQ(iniParseInt(r.text, -1), r.want) << r.text;
}

TEST(IniUpdate, Rows)
{
    struct Row {
        const char *name, *text, *section, *key, *value, *want;
    };
    const std::vector<Row> rows = {
        {"update in place, other lines kept",
         "; settings\r\n[Set]\r\nPort=COM1\r\nBaud=9600\r\n[Foreign]\r\nx = y \r\n",
         "Set", "Port", "COM3",
         "; settings\r\n[Set]\r\nPort=COM3\r\nBaud=9600\r\n[Foreign]\r\nx = y \r\n"},
        {"key in other case keeps its spelling",
         "[SET]\nport = COM1\n", "Set", "PORT", "COM2", "[SET]\nport=COM2\n"},
        {"missing key goes after the section's last line that is not blank",
         "[Set]\nPort=1\n\n[Other]\nA=1\n", "Set", "Baud", "9600",
         "[Set]\nPort=1\nBaud=9600\n\n[Other]\nA=1\n"},
        {"missing key in a section that ends the file without a line end",
         "[Set]\r\nPort=1", "set", "Baud", "9600", "[Set]\r\nPort=1\r\nBaud=9600\r\n"},
        {"missing key in an empty section", "[Set]\n[B]\n", "Set", "K", "v", "[Set]\nK=v\n[B]\n"},
        {"missing section appended with the file's line ends",
         "[A]\r\nk=1\r\n", "Set", "Port", "COM1", "[A]\r\nk=1\r\n[Set]\r\nPort=COM1\r\n"},
        {"missing section after a last line without line end",
         "[A]\nk=1", "Set", "Port", "1", "[A]\nk=1\n[Set]\nPort=1\n"},
        {"empty file", "", "Set", "Port", "1", "[Set]\nPort=1\n"},
        {"first duplicate is the one updated",
         "[Set]\nP=1\nP=2\n[set]\nP=3\n", "Set", "P", "9", "[Set]\nP=9\nP=2\n[set]\nP=3\n"},
        {"blank-edged value is quoted", "[S]\nK=1\n", "S", "K", "  a b ", "[S]\nK=\"  a b \"\n"},
        {"quoted value is quoted again", "[S]\n", "S", "K", "\"q\"", "[S]\nK=\"\"q\"\"\n"},
        {"CR and LF in a value become blanks", "[S]\n", "S", "K", "a\r\nb", "[S]\nK=a  b\n"},
        {"last line ending in a lone CR", "[S]\nK=1\r", "S", "J", "2", "[S]\nK=1\r\nJ=2\n"},
        {"comments and the BOM stay", "\xEF\xBB\xBF;c\n[S]\n;k=1\nk=2\n", "S", "k", "3",
         "\xEF\xBB\xBF;c\n[S]\n;k=1\nk=3\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        auto out = iniUpdate(r.text, r.section, r.key, r.value);
        ASSERT_TRUE(out);
        EXPECT_EQ(*out, r.want);
    }
}

TEST(IniUpdate, RoundTripsAwkwardValues)
{
    for (std::string v : {"", " ", "  lead", "trail  ", "\"", "\"\"", "'a'", "a=b", "中文 值", "\t x \t"}) {
        auto out = iniUpdate("[S]\n", "S", "K", v);
        ASSERT_TRUE(out);
        EXPECT_EQ(iniFind(*out, "S", "K"), v) << *out;
    }
}

TEST(IniUpdate, RefusesNamesThatCannotBeWritten)
{
    for (auto [s, k] : std::vector<std::pair<std::string, std::string>>{
             {"", "K"}, {"S]", "K"}, {"S", "K=1"}, {"S", ""}, {"S", " K"}, {"S\n", "K"}, {"S", ";K"}})
        EXPECT_FALSE(iniUpdate("[S]\n", s, k, "v")) << s << "/" << k;
}

TEST(IniFile, WritesAndReadsThroughTheFile)
{
    TempDir dir;
    const std::string f = dir.file("set.ini");
    EXPECT_EQ(iniReadString(f, "Set", "Port", "dflt"), "dflt");
    EXPECT_EQ(iniReadInt(f, "Set", "Baud", 19200), 19200);
    ASSERT_TRUE(iniWriteString(f, "Set", "Port", "/dev/ttyUSB0"));
    ASSERT_TRUE(iniWriteInt(f, "Set", "Baud", 115200));
    EXPECT_EQ(readText(f), "[Set]\nPort=/dev/ttyUSB0\nBaud=115200\n");
    EXPECT_EQ(iniReadString(f, "SET", "port", ""), "/dev/ttyUSB0");
    EXPECT_EQ(iniReadInt(f, "set", "BAUD", 0), 115200);
    ASSERT_TRUE(iniWriteString(f, "Set", "Baud", "12abc"));
    EXPECT_EQ(iniReadInt(f, "Set", "Baud", 4), 4);
}

TEST(IniFile, FailedWritesLeaveTheOldFileAndNoTemporary)
{
    const std::string old = "[Set]\r\nPort=COM1\r\n";
    std::vector<std::pair<const char *, std::function<void(FileOps &)>>> faults = {
        {"ENOSPC", [](FileOps &o) { o.write = [](int, const void *, size_t) -> ssize_t { errno = ENOSPC; return -1; }; }},
        {"rename", [](FileOps &o) { o.rename = [](const char *, const char *) { errno = EIO; return -1; }; }},
    };
    for (auto &[name, inject] : faults) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string f = dir.file("set.ini");
        writeText(f, old);
        FileOps ops;
        inject(ops);
        auto r = iniWriteString(f, "Set", "Port", "COM2", ops);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.empty());
        EXPECT_EQ(readText(f), old);
        EXPECT_EQ(dir.list(), std::vector<std::string>{"set.ini"});
    }
}

TEST(IniFile, ReadOnlyFileIsNotWritten)
{
    TempDir dir;
    const std::string f = dir.file("set.ini");
    writeText(f, "[S]\nK=1\n");
    ::chmod(f.c_str(), 0444);
    auto r = iniWriteString(f, "S", "K", "2");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, EACCES);
    EXPECT_EQ(iniReadString(f, "S", "K", ""), "1");
}

TEST(IniSections, NamesEntriesAndErasing)
{
    const std::string text = "\xEF\xBB\xBF; head\r\nfree=1\r\n[ Layout ]\r\nView = ' 2 '\r\n; c\r\n[Grouping]\r\nA=1\r\n"
                             "[Group7]\r\nCaption=x\r\n[layout]\r\nView=3\r\n";
    EXPECT_EQ(iniSectionNames(text), (std::vector<std::string>{"Layout", "Grouping", "Group7", "layout"}));
    const auto entries = iniEntries(text);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].section, "Layout");
    EXPECT_EQ(entries[0].key, "View");
    EXPECT_EQ(entries[0].value, " 2 "); // one pair of quotes dropped, as iniFind does
    EXPECT_EQ(entries[3].value, "3");
    const std::string erased = iniEraseSections(text, [](std::string_view n) { return n == "Group7" || n == "layout"; });
    EXPECT_EQ(erased, "\xEF\xBB\xBF; head\r\nfree=1\r\n[ Layout ]\r\nView = ' 2 '\r\n; c\r\n[Grouping]\r\nA=1\r\n");
    EXPECT_EQ(iniEraseSections("", [](std::string_view) { return true; }), "");
}
