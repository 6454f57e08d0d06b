#include "core/lang_mng.h"
#include "core/prompt.h"
#include "lang_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using lang_test::buildLanguage;
using platform_test::TempTree;

namespace {

using Names = std::vector<std::string>;

// Restores the working directory at the end of a test that changes it.
struct CwdGuard {
    std::filesystem::path saved = std::filesystem::current_path();
    ~CwdGuard() { std::filesystem::current_path(saved); }
};

TEST(LangMng, NoLanguageFolderGivesNoLanguageAndRecordsEveryLookup)
{
    TempTree t;
    core::RecordingPrompt prompt;
    core::TLangMng lang(t.root(), &prompt);
    EXPECT_TRUE(lang.languages().empty());
    EXPECT_EQ(lang.currentLanguage(), "");
    EXPECT_EQ(lang.translate("fMain_Caption"), "");
    EXPECT_EQ(lang.translate("fMain_Caption"), "");
    EXPECT_EQ(lang.translate("Info_DefaultSCA"), "");
    EXPECT_EQ(lang.missedKeys().at("fMain_Caption"), 2);
    EXPECT_EQ(lang.missedKeys().at("Info_DefaultSCA"), 1);
    EXPECT_TRUE(prompt.shown().empty()); // nothing to complain about: no file at all
    lang.clearMissedKeys();
    EXPECT_TRUE(lang.missedKeys().empty());
}

TEST(LangMng, ListsLoadableLanguagesSortedAndLoadsTheFirst)
{
    TempTree t;
    buildLanguage(t, "Test", "k\tfrom Test\n");
    buildLanguage(t, "English", "k\tfrom English\nempty\t\n");
    t.file("Language/Broken.dat", "SVKTABLE but not really");
    t.file("Language/notes.txt", "not a language");
    core::RecordingPrompt prompt;
    core::TLangMng lang(t.root(), &prompt);
    EXPECT_EQ(lang.languages(), (Names{"English", "Test"}));
    EXPECT_EQ(lang.currentLanguage(), "English");
    EXPECT_EQ(lang.translate("k"), "from English");
    // A key that is there with an empty text is not a missed key.
    EXPECT_EQ(lang.translate("empty"), "");
    EXPECT_TRUE(lang.missedKeys().empty());
    EXPECT_TRUE(prompt.shown().empty()); // a bad file found while scanning is only left out

    EXPECT_EQ(lang.setLanguage("Test"), 0);
    EXPECT_EQ(lang.currentLanguage(), "Test");
    EXPECT_EQ(lang.translate("k"), "from Test");
    EXPECT_EQ(lang.translate("empty"), "");
    EXPECT_EQ(lang.missedKeys().at("empty"), 1);
    lang.clearMissedKeys();
}

TEST(LangMng, FolderAndFileNamesMatchWithoutCase)
{
    TempTree t;
    buildLanguage(t, "english", "k\tv\n", "language");
    core::TLangMng lang(t.root());
    EXPECT_EQ(lang.languages(), (Names{"english"}));
    EXPECT_EQ(lang.translate("k"), "v");
    // Selecting "English" finds english.dat (here by way of another language first).
    buildLanguage(t, "Other", "k\tother\n", "language");
    ASSERT_EQ(lang.setLanguage("Other"), 0);
    EXPECT_EQ(lang.setLanguage("English"), 0);
    EXPECT_EQ(lang.translate("k"), "v");
}

TEST(LangMng, SelectingTheCurrentLanguageReadsNothing)
{
    TempTree t;
    buildLanguage(t, "English", "k\tv\n");
    core::RecordingPrompt prompt;
    core::TLangMng lang(t.root(), &prompt);
    ASSERT_EQ(lang.currentLanguage(), "English");
    std::filesystem::remove(t.path("Language/English.dat"));
    EXPECT_EQ(lang.setLanguage("English"), core::kLangFailed);
    EXPECT_EQ(lang.currentLanguage(), "English");
    EXPECT_EQ(lang.translate("k"), "v");
    EXPECT_TRUE(prompt.shown().empty());
}

TEST(LangMng, AFailedLoadKeepsThePreviousLanguage)
{
    TempTree t;
    buildLanguage(t, "English", "k\tv\n");
    buildLanguage(t, "Test", "k\tt\n");
    core::RecordingPrompt prompt;
    core::TLangMng lang(t.root(), &prompt);
    ASSERT_EQ(lang.languages(), (Names{"English", "Test"}));

    // Test.dat is cut short after the scan accepted it.
    std::string bytes;
    {
        std::ifstream in(t.path("Language/Test.dat"), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 8u);
    t.file("Language/Test.dat", bytes.substr(0, bytes.size() - 7));

    EXPECT_EQ(lang.setLanguage("Test"), core::kLangFailed);
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(prompt.shown()[0].text, "Invalid language file.");
    EXPECT_EQ(prompt.shown()[0].flags, core::kMbOk);
    EXPECT_EQ(lang.currentLanguage(), "English");
    EXPECT_EQ(lang.translate("k"), "v");

    // A missing file fails the same way; an empty name is no file at all and says nothing.
    EXPECT_EQ(lang.setLanguage("Klingon"), core::kLangFailed);
    EXPECT_EQ(prompt.shown().size(), 2u);
    EXPECT_EQ(lang.setLanguage(""), core::kLangFailed);
    EXPECT_EQ(prompt.shown().size(), 2u);
    // A name is never a path out of the language folder.
    buildLanguage(t, "Outside", "k\toutside\n", "elsewhere");
    EXPECT_EQ(lang.setLanguage("../elsewhere/Outside"), core::kLangFailed);
    EXPECT_EQ(lang.translate("k"), "v");
}

TEST(LangMng, ANameEndingInDatIsTheFileName)
{
    TempTree t;
    buildLanguage(t, "English", "k\tv\n");
    buildLanguage(t, "Test", "k\tt\n");
    core::TLangMng lang(t.root());
    EXPECT_EQ(lang.setLanguage("Test.dat"), 0);
    EXPECT_EQ(lang.translate("k"), "t");
    EXPECT_EQ(lang.setLanguage("English.DAT"), 0);
    EXPECT_EQ(lang.translate("k"), "v");
}

TEST(LangMng, KeysAreByteExactAndCaseSensitive)
{
    TempTree t;
    buildLanguage(t, "English",
                  "Key\tupper\n"
                  "key\tlower\n"
                  "ke\tprefix\n"
                  "k\xC3\xA9y\tnon-ASCII\n"
                  "\xE4\xB8\xAD\xE6\x96\x87\tChinese key\n");
    core::TLangMng lang(t.root());
    EXPECT_EQ(lang.translate("Key"), "upper");
    EXPECT_EQ(lang.translate("key"), "lower");
    EXPECT_EQ(lang.translate("ke"), "prefix");
    EXPECT_EQ(lang.translate("k\xC3\xA9y"), "non-ASCII");
    EXPECT_EQ(lang.translate("\xE4\xB8\xAD\xE6\x96\x87"), "Chinese key");
    EXPECT_EQ(lang.translate("KEY"), "");
    EXPECT_EQ(lang.translate("keys"), "");
    EXPECT_EQ(lang.translate(""), "");
    EXPECT_EQ(lang.missedKeys().size(), 3u);
    lang.clearMissedKeys();
}

TEST(LangMng, WorkingDirectoryDoesNotMatter)
{
    TempTree program, elsewhere;
    buildLanguage(program, "English", "k\tfrom the program folder\n");
    buildLanguage(elsewhere, "Decoy", "k\tfrom the working directory\n");
    CwdGuard guard;
    std::filesystem::current_path(elsewhere.root());
    core::TLangMng lang(program.root());
    EXPECT_EQ(lang.languages(), (Names{"English"}));
    EXPECT_EQ(lang.translate("k"), "from the program folder");
    EXPECT_EQ(lang.setLanguage("Decoy"), core::kLangFailed);
}

// A file written by another tool: duplicate keys, longer fields than ours, many rows.
TEST(LangMng, ForeignFileDuplicatesAnswerTheFirstRow)
{
    TempTree t;
    t.dir("Language");
    platform::Table table({{"Name", platform::FieldType::Text, 100},
                           {"Value", platform::FieldType::Text, 1000}});
    auto add = [&](const std::string &k, const std::string &v) {
        table.append();
        table.setText("Name", k);
        table.setText("Value", v);
        table.post();
    };
    for (int i = 0; i < 3000; ++i)
        add("key" + std::to_string(i), "value" + std::to_string(i));
    add("dup", "first");
    add("dup", "second");
    add("long", std::string(300, 'x'));
    add("dup", "third");
    ASSERT_TRUE(table.save(t.path("Language/Foreign.dat")));

    core::TLangMng lang(t.root());
    ASSERT_EQ(lang.currentLanguage(), "Foreign");
    EXPECT_EQ(lang.size(), 3004u);
    EXPECT_EQ(lang.translate("dup"), "first");
    EXPECT_EQ(lang.translate("long"), std::string(core::kLangValueChars, 'x'));
    for (int i : {0, 1, 1023, 1024, 2999})
        EXPECT_EQ(lang.translate("key" + std::to_string(i)), "value" + std::to_string(i));
}

TEST(LangMng, AFileWithoutTheLanguageFieldsIsNoLanguage)
{
    TempTree t;
    t.dir("Language");
    platform::Table other({{"id", platform::FieldType::Integer}, {"Name", platform::FieldType::Text, 50}});
    ASSERT_TRUE(other.save(t.path("Language/Table.dat")));
    core::RecordingPrompt prompt;
    core::TLangMng lang(t.root(), &prompt);
    EXPECT_TRUE(lang.languages().empty());
    EXPECT_EQ(lang.setLanguage("Table"), core::kLangFailed);
    EXPECT_EQ(prompt.texts(), (Names{"Invalid language file."}));
}

TEST(RecordingPrompt, RecordsAndAnswersFromTheScriptThenTheFirstButton)
{
    core::RecordingPrompt p;
    p.script({core::kIdNo, core::kIdCancel});
    EXPECT_EQ(p.show("a", "t", core::kMbYesNoCancel | core::kMbIconQuestion), core::kIdNo);
    EXPECT_EQ(p.show("b", "t", core::kMbOkCancel), core::kIdCancel);
    EXPECT_EQ(p.show("c", "t", core::kMbYesNo), core::kIdYes);
    EXPECT_EQ(p.show("d", "", core::kMbOk | core::kMbIconError), core::kIdOk);
    ASSERT_EQ(p.shown().size(), 4u);
    EXPECT_EQ(p.shown()[0], (core::RecordingPrompt::Shown{"a", "t", 0x23}));
    EXPECT_EQ(p.shown()[3].flags, 0x10u);
    EXPECT_EQ(p.texts(), (Names{"a", "b", "c", "d"}));
}

} // namespace
