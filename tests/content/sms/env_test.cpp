// The program's seam over the real application manager: texts from its language, boxes through
// its message box with the application's title, folders as it found them, its connection state.
#include "content/env.h"
#include "core/app_manage.h"
#include "core/app_manage/program_folder.h"
#include "core/prompt.h"

#include <gtest/gtest.h>

#include <regex>

TEST(ContentEnv, ThroughTheApplicationManager)
{
    platform_test::TempTree tmp;
    core_test::writeLanguage(tmp.root(), {{"Application_Hite_title", core_test::kTitle},
                                          {"SmsMng_Tree_1", "Inbox"}});
    core::RecordingPrompt prompt;
    core::TManage manage(tmp.root(), &prompt);
    platform::FakeClock clock(1234);
    content::ManageEnv env(manage, clock);

    EXPECT_EQ(env.text("SmsMng_Tree_1"), "Inbox");
    EXPECT_EQ(env.text("no such key"), "");

    prompt.script({core::kIdNo});
    EXPECT_EQ(env.messageBox("Delete?", core::kMbYesNo), core::kIdNo);
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(prompt.shown()[0], (core::RecordingPrompt::Shown{"Delete?", core_test::kTitle, core::kMbYesNo}));

    EXPECT_EQ(env.clock().nowMs(), 1234);
    EXPECT_TRUE(std::regex_match(env.localTime(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
    EXPECT_EQ(env.programDir() + "/", manage.AppDir);
    EXPECT_EQ(env.databaseDir(), manage.DatabaseDir());
    EXPECT_EQ(env.tempDir(), manage.TempDir());

    EXPECT_FALSE(env.state().Connected);
    manage.Connected = true;
    manage.PhoneMan = "Other";
    manage.SetPbCaps(4);
    const content::AppState s = env.state();
    EXPECT_TRUE(s.Connected);
    EXPECT_EQ(s.PhoneMan, "Other");
    EXPECT_TRUE(s.PbCap4);
    EXPECT_FALSE(s.PbCap2);
}

TEST(ContentEnv, LocalTimeFormat)
{
    EXPECT_EQ(content::formatLocalTime(2005, 3, 4, 5, 6, 7), "2005-03-04 05:06:07");
}
