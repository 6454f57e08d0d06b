// The program block in-process, as main() runs it, on a program folder of the test's own: the
// status texts before and after the simulated handset comes into infrared range, a hang-up, the
// parameters message with the link gone, a folder without Plug-in, the quit signals, the
// working directory's Temp, and a second start of the built program while this one runs.

#include "content/sms_qt/sms_list_rows.h"
#include "running_program.h"

#include "content/sms_manage.h"
#include "content/qt/sms_view.h"
#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "forms/f_main.h"
#include "forms_app.h"
#include "platform/instance_guard.h"
#include "program/program.h"
#include "program/stages.h"
#include "forms/frm_progress.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using program_test::waitUntil;
namespace fs = std::filesystem;

class Block : public program_test::RunningProgram {
protected:
    // Runs the loop until the program ends; the action runs once the loop is running.
    void runUntilEnd(std::function<void()> action)
    {
        QTimer::singleShot(0, program.get() ? &program->mainWindow() : nullptr, std::move(action));
        // A loop that does not end fails the test instead of stalling the run.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [this] {
            ADD_FAILURE() << "the loop did not end";
            program->mainWindow().close();
        });
        guard.start(20000);
        program->run();
    }

    QString text(const char *key) { return QString::fromStdString(program->manage().LangMng().translate(key)); }
    QString panel(int i) { return program->mainWindow().statusPanel(i)->text(); }
    void chooseBox(int box) { program_test::chooseBox(program->mainWindow(), box); }
    int listed() { return sms_list::count(program->mainWindow().ListView_sms()); }
};

TEST_F(Block, StatusTextsFollowTheHandset)
{
    start();
    core::TManage &manage = program->manage();
    EXPECT_EQ(panel(0), text("fMain_DisConnected"));
    EXPECT_EQ(panel(1), text("fMain_Manufacturer"));
    EXPECT_EQ(panel(2), text("fMain_Battery"));
    EXPECT_EQ(program->mainWindow().windowTitle().isEmpty(), false);

    startHandset();
    ASSERT_TRUE(waitUntil([&] { return manage.Connected; }));
    EXPECT_EQ(panel(0), text("fMain_Connected") + ": IrDA");
    EXPECT_EQ(panel(1), "SIMULATED HS-1000");
    EXPECT_TRUE(waitUntil([&] { return panel(2) == text("fMain_Battery") + ": 75%"; })) << panel(2).toStdString();

    // A handset box's list goes with the handset; a local box's stays.
    ASSERT_EQ(program->stages().smsTransfer().Download(), 0);
    chooseBox(content::kBoxPhoneReceived);
    EXPECT_EQ(listed(), 3);
    sim->dropLink(handsetsim::DropMode::Hangup);
    ASSERT_TRUE(waitUntil([&] { return !manage.Connected; }));
    EXPECT_EQ(panel(0), text("fMain_DisConnected"));
    EXPECT_EQ(panel(1), text("fMain_Manufacturer"));
    EXPECT_EQ(panel(2), text("fMain_Battery"));
    EXPECT_EQ(listed(), 0);

    sim->reconnect();
    ASSERT_TRUE(waitUntil([&] { return manage.Connected; }));
    ASSERT_EQ(program->stages().smsTransfer().Download(), 0);
    chooseBox(content::kBoxReceived);
    const int local = listed();
    EXPECT_EQ(local, 3);
    sim->dropLink(handsetsim::DropMode::Hangup);
    ASSERT_TRUE(waitUntil([&] { return !manage.Connected; }));
    EXPECT_EQ(listed(), local);

    // The parameters message handled after the link went: the settings stay as they are.
    manage.SetComParams("IrDA", "kept-port", "kept-baud");
    program->mainWindow().windowProc(forms::WM_CONN_PARAMS_CHANGED, 0, 0);
    EXPECT_EQ(manage.ComPort, "kept-port");
    runUntilEnd([this] { program->mainWindow().close(); });
    program->shutDown();
    const std::string ini = folder.readFile("ini/set.ini");
    EXPECT_NE(ini.find("ComPort=kept-port"), std::string::npos) << ini;
    EXPECT_NE(ini.find("ComType=IrDA"), std::string::npos) << ini;
}

TEST_F(Block, AStartWithoutPlugInMakesItAndRunsUnconnected)
{
    fs::remove_all(folder.root() + "/Plug-in");
    startHandset();
    start();
    EXPECT_TRUE(fs::is_directory(folder.root() + "/Plug-in"));
    EXPECT_TRUE(program->db().catalogue()->baseInfo().empty());
    EXPECT_TRUE(program->db().catalogue()->plugInfo().empty());
    // The worker tries every second; a few tries find nothing to connect through.
    EXPECT_FALSE(waitUntil([&] { return program->manage().Connected; }, std::chrono::milliseconds(2500)));
    EXPECT_EQ(panel(0), text("fMain_DisConnected"));
}

TEST_F(Block, TreesAndListsCarryTheirPictures)
{
    start();
    forms::TfMain &w = program->mainWindow();
    QTreeWidget *boxes = w.TreeView_sms();
    ASSERT_GT(boxes->topLevelItemCount(), 0);
    for (int i = 0; i < boxes->topLevelItemCount(); ++i) {
        QTreeWidgetItem *top = boxes->topLevelItem(i);
        EXPECT_FALSE(top->icon(0).isNull()) << top->text(0).toStdString();
        for (int k = 0; k < top->childCount(); ++k)
            EXPECT_FALSE(top->child(k)->icon(0).isNull()) << top->child(k)->text(0).toStdString();
    }
}

TEST_F(Block, AQuitSignalEndsTheLoopAndTheSessionsMessagesAreSaved)
{
    for (int sig : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(sig);
        start();
        content::ArraySms draft{{.boxid = content::kBoxDrafts, .Tel = "+4412", .body = "kept " + std::to_string(sig)}};
        ASSERT_GT(program->stages().sms().AddMessages(draft, -1, false), 0);
        runUntilEnd([sig] { ::raise(sig); });
        EXPECT_FALSE(program->mainWindow().isVisible());
        program->shutDown();
        program.reset();

        core::RecordingPrompt prompt;
        core::TdbMain db(folder.root() + "/Database", &prompt);
        ASSERT_TRUE(db.isOpen(core::DbTable::Smsinfo));
        bool found = false;
        const platform::Table &t = db.table(core::DbTable::Smsinfo);
        for (const platform::Row &r : t.rows())
            found = found || r.textAt(size_t(t.fieldIndex("body"))) == "kept " + std::to_string(sig);
        EXPECT_TRUE(found);
    }
}

TEST_F(Block, ClosingEmptiesOnlyTheProgramFoldersTemp)
{
    const fs::path work = fs::path(folder.root()) / "work";
    fs::create_directories(work / "Temp");
    std::ofstream(work / "Temp" / "mine.txt") << "the user's";
    const fs::path old = fs::current_path();
    fs::current_path(work);
    start();
    std::ofstream(fs::path(program->manage().TempDir()) / "scratch.tmp") << "ours";
    runUntilEnd([this] { program->requestQuit(); });
    program->shutDown();
    fs::current_path(old);
    EXPECT_TRUE(fs::exists(work / "Temp" / "mine.txt"));
    EXPECT_FALSE(fs::exists(fs::path(folder.root()) / "Temp" / "scratch.tmp"));
}

TEST_F(Block, AQuitDuringABatchCancelsItFirst)
{
    startHandset();
    start();
    ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
    sim->setReplyDelay(300); // the batch is still running when the quit comes
    bool downloaded = false;
    bool progressUp = false;
    bool cancelled = false;
    size_t phoneRows = 99;
    runUntilEnd([&] {
        QTimer::singleShot(200, [&] {
            progressUp = QApplication::activeModalWidget() == &program->stages().progress();
            ::raise(SIGTERM);
        });
        program->stages().smsTransfer().Download();
        downloaded = true;
        cancelled = program->stages().progress().cancelled();
        phoneRows = program->stages().sms().FillList(content::kBoxPhoneReceived).rows.size();
    });
    EXPECT_TRUE(progressUp) << "the quit came while the progress dialog was up";
    EXPECT_TRUE(downloaded) << "the batch ended before the loop did";
    EXPECT_TRUE(cancelled) << "the batch was cancelled, not run to its end";
    EXPECT_EQ(phoneRows, 0u) << "a cancelled download leaves the handset boxes empty";
    program->shutDown();
    EXPECT_TRUE(program->workerStoppedInTime());
}

TEST_F(Block, AQuitWithTheHandsetSilentEndsWithinItsBound)
{
    startHandset();
    program::ProgramOptions o = options();
    o.workerStopWait = std::chrono::milliseconds(500);
    start(o);
    ASSERT_TRUE(waitUntil([&] { return program->manage().Connected; }));
    content::ArraySms draft{{.boxid = content::kBoxDrafts, .Tel = "+4412", .body = "before the silence"}};
    ASSERT_GT(program->stages().sms().AddMessages(draft, -1, false), 0);
    sim->setSilent(true); // the batch waits in the driver for an answer that never comes
    const auto begin = std::chrono::steady_clock::now();
    runUntilEnd([&] {
        QTimer::singleShot(100, [] { ::raise(SIGTERM); });
        program->stages().smsTransfer().Download();
    });
    program->shutDown();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
    program.reset();
    core::RecordingPrompt prompt;
    core::TdbMain db(folder.root() + "/Database", &prompt);
    const platform::Table &t = db.table(core::DbTable::Smsinfo);
    bool found = false;
    for (const platform::Row &r : t.rows())
        found = found || r.textAt(size_t(t.fieldIndex("body"))) == "before the silence";
    EXPECT_TRUE(found);
}

TEST_F(Block, QuitAfterTheFirstPaint)
{
    program::ProgramOptions o = options();
    o.quitAfterFirstPaint = true;
    start(o);
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        program->mainWindow().close();
    });
    guard.start(20000);
    program->run();
    EXPECT_FALSE(timedOut);
    program->shutDown();
    EXPECT_TRUE(fs::exists(folder.root() + "/ini/set.ini"));
}

// Spawns the built program with the lock folder as its runtime folder; its exit status, or -1
// when it was still running after the limit (then it is killed).
int runBuiltProgram(const std::string &runtimeDir, std::chrono::seconds limit)
{
    const std::string exe = std::string(SELVARK_DIST_DIR) + "/Selvark";
    std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtimeDir, "QT_QPA_PLATFORM=offscreen",
                                 "ASAN_OPTIONS=detect_leaks=0"};
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char *argv[] = {const_cast<char *>(exe.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return -2;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        QTest::qSleep(20);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(Block, ASecondStartEndsSilentlyAndLeavesTheFirstAlone)
{
    start();
    const std::string lock = platform::InstanceGuard::lockPathFor(folder.root().c_str(), ::getuid());
    EXPECT_TRUE(fs::exists(lock));
    EXPECT_EQ(runBuiltProgram(folder.root(), std::chrono::seconds(30)), 0);
    EXPECT_TRUE(program->mainWindow().isVisible());

    // A program the first one started keeps running after it: it must not keep the lock.
    pid_t child = 0;
    char sleepName[] = "sleep";
    char seconds[] = "30";
    char *argv[] = {sleepName, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    EXPECT_EQ(runBuiltProgram(folder.root(), std::chrono::seconds(30)), 0) << "the first still runs";
    runUntilEnd([this] { program->mainWindow().close(); });
    program->shutDown();
    program.reset();
    {
        platform::InstanceGuard next(lock);
        EXPECT_EQ(next.status(), platform::InstanceGuard::Status::Acquired) << "the child holds no lock";
    }
    ::kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace
