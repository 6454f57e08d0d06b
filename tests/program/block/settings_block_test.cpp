// The settings dialog opened from the running program's menu: its idle minutes reach the
// program's worker through the program's own keep-time step, and only a change is handed over
// (a hand-over restarts the worker's idle count, so an unchanged value must not).

#include "running_program.h"

#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/comm/comm_thread.h"
#include "core/db_main.h"
#include "core/prompt.h"
#include "forms/f_main.h"
#include "forms/f_set.h"
#include "forms_app.h"
#include "program/program.h"
#include "program/stages.h"
#include "when_modal.h"

#include <QAction>
#include <QTest>

#include <sys/stat.h>

namespace {

using program_test::waitUntil;

class ProgramSettings : public program_test::RunningProgram {
protected:
    program::ProgramOptions options() override
    {
        program::ProgramOptions o = RunningProgram::options();
        o.handleSignals = false;
        o.prompt = &prompt;
        return o;
    }
    // The menu's settings item; act runs inside the dialog, which is then closed with OK.
    void settingsWithOk(const std::function<void(forms::TfSet &)> &act)
    {
        QAction *item = program->mainWindow().action("m_comset");
        ASSERT_NE(item, nullptr);
        bool shown = false;
        forms_test::whenModal("fSet", [&](QWidget *w) {
            shown = true;
            auto &dlg = *static_cast<forms::TfSet *>(w);
            act(dlg);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        });
        item->trigger();
        EXPECT_TRUE(shown);
    }
    int64_t workerTimeout() { return program->stages().worker().IdleTimeout(); }

    core::RecordingPrompt prompt;
};

TEST_F(ProgramSettings, AppliedMinutesReachTheWorker)
{
    folder.settings("KeepTime=10\n");
    start();
    ASSERT_EQ(workerTimeout(), 600000);
    settingsWithOk([](forms::TfSet &d) {
        EXPECT_TRUE(d.Radio_disconn->isChecked());
        EXPECT_EQ(d.edit_disconntime->value(), 10);
        d.edit_disconntime->setValue(15);
    });
    EXPECT_EQ(program->manage().KeepTime, 15);
    EXPECT_EQ(workerTimeout(), 900000);
    EXPECT_NE(folder.readFile("ini/set.ini").find("KeepTime=15"), std::string::npos);

    settingsWithOk([](forms::TfSet &d) { d.Radio_keep->click(); });
    EXPECT_EQ(program->manage().KeepTime, 0);
    EXPECT_EQ(workerTimeout(), 0);
}

// After a start with 10, OK with 10 again must leave the idle count running: the handset is
// dropped ten minutes after the start, not ten minutes after the dialog.
TEST_F(ProgramSettings, TheSameMinutesAgainHandNothingOver)
{
    folder.settings("KeepTime=10\n");
    startHandset();
    start();
    core::TManage &manage = program->manage();
    ASSERT_TRUE(waitUntil([&] { return manage.Connected; }));
    clock.advance(9 * 60000);
    settingsWithOk([](forms::TfSet &d) { EXPECT_EQ(d.edit_disconntime->value(), 10); });
    EXPECT_EQ(manage.KeepTime, 10);
    EXPECT_EQ(workerTimeout(), 600000);
    EXPECT_TRUE(manage.Connected);

    clock.advance(60000 + 1);
    EXPECT_TRUE(waitUntil([&] { return !manage.Connected; }, std::chrono::seconds(10)))
        << "the idle count was restarted by the dialog";
}

// Files that cannot be written at exit: the settings and the message table each get one box
// naming the file and the cause, the old files stay whole, and the end of the block (the
// database's destructor) shows nothing more.
TEST_F(ProgramSettings, FailedSavesAtExitShowOneBoxEach)
{
    folder.settings("KeepTime=10\n");
    start();
    core::TdbMain &db = program->db();
    content::ArraySms draft{content::Ssms{.boxid = content::kBoxDrafts, .Tel = "+44", .body = "first"}};
    program->stages().sms().AddMessages(draft, -1, false);
    ASSERT_TRUE(waitUntil([&] { return db.allSaved(); }));
    const std::string ini = folder.root() + "/ini/set.ini", sms = db.path(core::DbTable::Smsinfo);
    const std::string oldIni = folder.readFile("ini/set.ini"), oldSms = folder.readFile("Database/Smsinfo.cds");
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(sms.c_str(), 0444), 0);
    content::ArraySms second{content::Ssms{.boxid = content::kBoxDrafts, .Tel = "+44", .body = "second"}};
    program->stages().sms().AddMessages(second, -1, false);
    prompt.clear();
    program->shutDown();
    program.reset();
    std::vector<std::string> expected = {"Cannot write " + ini + ": the file is read-only",
                                         "Failed to acess database file .\nCannot write " + sms +
                                             ": the file is read-only"};
    EXPECT_EQ(prompt.texts(), expected);
    EXPECT_EQ(folder.readFile("ini/set.ini"), oldIni);
    EXPECT_EQ(folder.readFile("Database/Smsinfo.cds"), oldSms);
}

} // namespace
