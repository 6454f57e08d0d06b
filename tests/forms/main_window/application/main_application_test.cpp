// The program's application: an exception that escapes an event handler is shown in a stop-icon
// box titled with the application's title, and the program goes on.

#include "core/prompt.h"
#include "forms/main_application.h"
#include "forms/support/main_application_rig.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

forms::MainApplication &app() { return forms_test::mainApplication("forms_main_application_tests"); }

TEST(MainApplication, EscapedExceptionIsShownAndTheProgramGoesOn)
{
    forms::MainApplication &a = app();
    core::RecordingPrompt prompt;
    a.setPrompt(&prompt, "Selvark Tarnovel");
    forms_test::Thrower w("The table is locked");
    QCoreApplication::postEvent(&w, new QEvent(QEvent::User));
    bool after = false;
    QTimer::singleShot(0, [&] { after = true; });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(after);
    EXPECT_EQ(a.caughtCount(), 1);
    ASSERT_EQ(prompt.shown().size(), 1u);
    EXPECT_EQ(prompt.shown()[0],
              (core::RecordingPrompt::Shown{"The table is locked", "Selvark Tarnovel", core::kMbOk | core::kMbIconError}));
    a.setPrompt(nullptr, "");
}

} // namespace
