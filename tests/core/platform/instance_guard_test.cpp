#include "platform/instance_guard.h"

#include "temp_tree.h"

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using platform::InstanceGuard;
using platform_test::TempTree;
using Status = InstanceGuard::Status;

namespace {

// Runs fn in a child process and answers its exit code (-1 when it did not exit normally).
template <class Fn>
int inChild(Fn fn)
{
    pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A second start as the program block does it: exit 0 at once when another instance runs.
int secondStart(const std::string &path)
{
    InstanceGuard g(path);
    return g.status() == Status::AlreadyRunning ? 0 : 1;
}

} // namespace

TEST(InstanceGuard, LockPathPrefersTheRuntimeFolder)
{
    EXPECT_EQ(InstanceGuard::lockPathFor("/run/user/1000", 1000), "/run/user/1000/ZeqSelvarkTarnovel.lock");
    EXPECT_EQ(InstanceGuard::lockPathFor(nullptr, 1000), "/tmp/ZeqSelvarkTarnovel-1000.lock");
    EXPECT_EQ(InstanceGuard::lockPathFor("", 7), "/tmp/ZeqSelvarkTarnovel-7.lock");
    EXPECT_EQ(InstanceGuard::lockPathFor("relative", 7), "/tmp/ZeqSelvarkTarnovel-7.lock");
}

TEST(InstanceGuard, SecondProcessEndsAtOnceWithZero)
{
    TempTree t;
    std::string path = t.path("guard.lock");
    InstanceGuard first(path);
    ASSERT_EQ(first.status(), Status::Acquired) << first.error();

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(inChild([&] { return secondStart(path); }), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(InstanceGuard, KilledHolderLeavesNoLock)
{
    TempTree t;
    std::string path = t.path("guard.lock");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        InstanceGuard g(path);
        char c = g.status() == Status::Acquired ? 'A' : 'X';
        (void)!write(ready[1], &c, 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    ASSERT_EQ(c, 'A');
    EXPECT_EQ(InstanceGuard(path).status(), Status::AlreadyRunning);

    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(InstanceGuard(path).status(), Status::Acquired);
}

TEST(InstanceGuard, ProgramStartedByTheHolderDoesNotKeepTheLock)
{
    TempTree t;
    std::string path = t.path("guard.lock");
    auto holder = std::make_unique<InstanceGuard>(path);
    ASSERT_EQ(holder->status(), Status::Acquired);

    pid_t child = 0;
    char sleepPath[] = "/bin/sleep", arg[] = "30";
    char *argv[] = {sleepPath, arg, nullptr};
    ASSERT_EQ(posix_spawn(&child, sleepPath, nullptr, nullptr, argv, environ), 0);

    holder.reset();  // the program ends; the help viewer it started runs on
    EXPECT_EQ(InstanceGuard(path).status(), Status::Acquired);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(InstanceGuard, UnusableLockFileIsReportedNotMistakenForAnInstance)
{
    TempTree t;
    std::filesystem::create_symlink(t.path("elsewhere"), t.path("link.lock"));
    InstanceGuard viaLink(t.path("link.lock"));
    EXPECT_EQ(viaLink.status(), Status::Unavailable);
    EXPECT_FALSE(viaLink.error().empty());

    InstanceGuard noFolder(t.path("missing/guard.lock"));
    EXPECT_EQ(noFolder.status(), Status::Unavailable);
    EXPECT_NE(noFolder.error().find("missing/guard.lock"), std::string::npos) << noFolder.error();
}
