// The program's application: an exception that escapes an event handler is shown in a stop-icon
// box titled with the application's title, and the program goes on.

#include "core/prompt.h"
#include "forms/main_application.h"

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

forms::MainApplication &app()
{
    static int argc = 1;
    static char name[] = "forms_main_application_tests";
    static char *argv[] = {name, nullptr};
    static forms::MainApplication *a = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new forms::MainApplication(argc, argv);
    }();
    return *a;
}

class Thrower : public QWidget {
protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("The table is locked");
        return QWidget::event(e);
    }
};

TEST(MainApplication, EscapedExceptionIsShownAndTheProgramGoesOn)
{
    forms::MainApplication &a = app();
    core::RecordingPrompt prompt;
    a.setPrompt(&prompt, "Selvark Tarnovel");
    Thrower w;
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
