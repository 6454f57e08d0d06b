// "Read contacts" with no handset in range, on the program as main() runs it: the command comes
// back at once, nothing is left waiting, and the user is told why nothing was read.

#include "program_fixture.h"

#include "core/app_manage.h"
#include "forms/f_main.h"
#include "forms_app.h"
#include "program/program.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <set>

namespace {

using program_test::ProgramFolder;

class ReadDisconnected : public ::testing::Test {
protected:
    void SetUp() override { forms_test::app(); }
    void TearDown() override
    {
        if (program)
            program->shutDown();
        program.reset();
    }

    // The program as a user starts it: the real clock and the worker's real pauses, so its
    // connection attempts run while the command is given.
    void start()
    {
        program::ProgramOptions o;
        o.programDir = folder.root();
        o.lockDir = folder.root();
        program = std::make_unique<program::Program>(std::move(o));
        int argc = 1;
        char name[] = "Selvark";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(program->start(argc, argv), program::Program::Start::Running);
        program->mainWindow().show();
        QCoreApplication::processEvents();
    }

    ProgramFolder folder; // its infrared stand-in stays empty: no handset in range
    std::unique_ptr<program::Program> program;
};

TEST_F(ReadDisconnected, ReadContactsWithoutAHandsetComesBackAtOnce)
{
    start();
    ASSERT_FALSE(program->manage().Connected);
    forms::TfMain &win = program->mainWindow();
    for (const char *name : {"menu_cont_read", "button_loadcont", "menu_readcont"}) {
        SCOPED_TRACE(name);
        QAction *a = win.action(name);
        ASSERT_NE(a, nullptr);
        // Any dialog that comes up is noted; a message box is answered, a progress dialog left to
        // run its batch as a user would, so a stall shows as time, not as a hang.
        std::set<std::string> dialogs;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *m = QApplication::activeModalWidget();
            if (!m || !m->isVisible())
                return;
            dialogs.insert(m->objectName().toStdString() + " " + m->metaObject()->className());
            if (auto *box = qobject_cast<QMessageBox *>(m))
                box->done(QMessageBox::Ok);
        });
        poll.start();
        const auto t0 = std::chrono::steady_clock::now();
        a->trigger();
        const auto took = std::chrono::steady_clock::now() - t0;
        poll.stop();
        // The worker's connection attempt takes seconds; the command must not wait for it.
        EXPECT_LT(took, std::chrono::seconds(2));
        EXPECT_TRUE(dialogs.empty()) << *dialogs.begin();
        EXPECT_FALSE(program->manage().Connected);
    }
}

} // namespace
