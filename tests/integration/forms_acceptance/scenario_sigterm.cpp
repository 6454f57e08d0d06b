// Scenario 10: SIGTERM while a download is running, in a process of its own (this test binary
// again, running only the child test below). The program ends within a bounded time with exit
// code 0, the session's table changes are saved, and none of the handset's boxes was stored.

#include "acceptance_rig.h"

#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/db_main.h"
#include "core/prompt.h"
#include "forms_app.h"
#include "program/stages.h"

#include <QAction>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using acceptance::Rig;
using program_test::waitUntil;
using Scenario = Rig;

constexpr const char *kChildFolder = "SV_ACCEPTANCE_CHILD_FOLDER";
constexpr const char *kKeptDraft = "kept through the signal";

// The program as main() runs it, signals handled, on the folder the parent names: a draft of this
// session, then Download from the menu once connected; ends when the signal ends the loop.
TEST(ScenarioChild, DownloadUntilSignalled)
{
    const char *dir = std::getenv(kChildFolder);
    if (!dir)
        GTEST_SKIP() << "run by S10 in a process of its own";
    forms_test::app();
    platform::FakeClock clock{1000000};
    core::RecordingPrompt prompt;
    program::ProgramOptions o;
    o.programDir = dir;
    o.lockDir = dir;
    o.clock = &clock;
    o.workerPause = [](int) {};
    o.workerIdleSleep = [](int32_t ms) { return std::min<int32_t>(ms, 50); }; // steps 50 ms apart, not a second
    o.prompt = &prompt;
    program::Program program(o);
    int argc = 1;
    char name[] = "Selvark";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(program.start(argc, argv), program::Program::Start::Running);
    content::ArraySms draft{{.boxid = content::kBoxDrafts, .Tel = "+4412", .body = kKeptDraft}};
    ASSERT_GT(program.stages().sms().AddMessages(draft, -1, false), 0);
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!program.manage().Connected)
            return;
        poll.stop();
        program.mainWindow().action("mSmsDownload")->trigger();
    });
    poll.start();
    program.run();
    program.shutDown();
    EXPECT_TRUE(program.workerStoppedInTime());
}

TEST_F(Scenario, S10_SigtermDuringADownload)
{
    startHandset();
    sim->setReplyDelay(40); // a download long enough to be caught in the middle

    std::string self = std::filesystem::read_symlink("/proc/self/exe");
    std::string filter = "--gtest_filter=ScenarioChild.DownloadUntilSignalled";
    char *args[] = {self.data(), filter.data(), nullptr};
    ::setenv(kChildFolder, folder.root().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, self.c_str(), nullptr, nullptr, args, environ);
    ::unsetenv(kChildFolder);
    ASSERT_EQ(rc, 0);

    const auto sawList = [&] {
        const auto cmds = sim->commands();
        return std::any_of(cmds.begin(), cmds.end(), [](const std::string &c) { return c.rfind("AT+CMGL", 0) == 0; });
    };
    const bool listing = waitUntil(sawList, std::chrono::seconds(60));
    EXPECT_TRUE(listing) << "the child never started the download";
    ::kill(pid, SIGTERM);
    const auto signalled = std::chrono::steady_clock::now();
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() - signalled < std::chrono::seconds(20))
        ::usleep(10000);
    const auto took = std::chrono::steady_clock::now() - signalled;
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the program did not end within 20 s of SIGTERM";
    }
    EXPECT_LT(took, std::chrono::seconds(15)) << "ending took too long";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);

    core::RecordingPrompt quiet;
    core::TdbMain db(folder.root() + "/Database", &quiet);
    ASSERT_TRUE(db.isOpen(core::DbTable::Smsinfo));
    const platform::Table &t = db.table(core::DbTable::Smsinfo);
    const size_t body = size_t(t.fieldIndex("body"));
    const size_t box = size_t(t.fieldIndex("boxid"));
    bool kept = false;
    for (const platform::Row &r : t.rows()) {
        kept = kept || r.textAt(body) == kKeptDraft;
        EXPECT_LT(r.intAt(box), content::kBoxPhone) << "a handset box's row was stored: " << r.textAt(body);
    }
    EXPECT_TRUE(kept);
}

} // namespace
