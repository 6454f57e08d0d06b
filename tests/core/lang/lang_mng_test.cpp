#include "core/lang_mng.h"
#include "core/prompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A temporary program folder with a Language folder.
class LangDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() /
                ("sv_lang_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    void write(const std::string &file, const std::vector<std::pair<std::string, std::string>> &rows)
    {
        fs::create_directories(root_ / "Language");
        platform::Table t = core::makeLanguageTable();
        for (const auto &[k, v] : rows) {
            t.append();
            t.setText("Name", k);
            t.setText("Value", v);
            t.post();
        }
        ASSERT_TRUE(t.save((root_ / "Language" / file).string()));
    }

    fs::path root_;
};

TEST_F(LangDir, SmokeLoadsFirstAndTranslates)
{
    write("Test.dat", {{"b", "B"}, {"a", "A"}});
    write("English.dat", {{"k", "K"}, {"K", "upper"}});
    core::RecordingPrompt prompt;
    core::TLangMng lang(root_.string(), &prompt);
    EXPECT_EQ(lang.languages(), (std::vector<std::string>{"English", "Test"}));
    EXPECT_EQ(lang.currentLanguage(), "English");
    EXPECT_EQ(lang.translate("k"), "K");
    EXPECT_EQ(lang.translate("K"), "upper");
    EXPECT_EQ(lang.setLanguage("Test"), 0);
    EXPECT_EQ(lang.translate("a"), "A");
    EXPECT_TRUE(prompt.shown().empty());
    lang.clearMissedKeys();
}

} // namespace
