// The program block run inside the program's own application class: once the block has ended,
// an exception that escapes a handler is still reported, never through the block's freed box.

#include "program_fixture.h"

#include "forms/f_main.h"
#include "forms/main_application.h"
#include "forms/support/main_application_rig.h"
#include "program/program.h"

#include <QTimer>

namespace {

forms::MainApplication &app() { return forms_test::mainApplication("program_application_tests"); }

TEST(ProgramApplication, AnEscapeAfterTheBlockEndedIsReportedWithoutItsBox)
{
    forms::MainApplication &a = app();
    {
        program_test::ProgramFolder folder;
        program::ProgramOptions o;
        o.programDir = folder.root();
        o.lockDir = folder.root();
        o.handleSignals = false;
        program::Program p(o);
        int argc = 1;
        char name[] = "Selvark";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(p.start(argc, argv), program::Program::Start::Running);
        p.mainWindow().close();
        p.shutDown();
    }
    const int before = a.caughtCount();
    forms_test::Thrower w("after the end");
    QCoreApplication::postEvent(&w, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(a.caughtCount(), before + 1);
}

} // namespace

// Font look-ups make fontconfig fill caches it never frees; they are not ours.
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
