// Files that cannot be read or written: every failure is an answer and a log line, never an
// exception; the entry stays in memory; a save cut short leaves the old file whole.
#include "controls/history/history.h"

#include "core/platform/temp_dir.h"
#include "qt_print.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtGlobal>

#include <string>
#include <vector>

using controls::History;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

namespace {

QString q(const std::string &s) { return QString::fromStdString(s); }

// Collects the warnings the history logs while it lives.
class LogCapture {
public:
    LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    static std::vector<std::string> &lines()
    {
        static std::vector<std::string> l;
        return l;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
    {
        if (type == QtWarningMsg && ctx.category && std::string(ctx.category) == "selvark.controls.history")
            lines().push_back(msg.toStdString());
    }
    QtMessageHandler previous_;
};

} // namespace

TEST(HistoryFault, APathBelowARegularFileAnswersAndKeepsTheEntry)
{
    TempDir dir;
    writeText(dir.file("plain"), "not a folder");
    const std::string path = dir.file("plain/SmsADRSFile.Vrk");
    LogCapture log;
    LogCapture::lines().clear();

    History h;
    platform::FileResult loaded;
    ASSERT_NO_THROW(loaded = h.SetFilename(q(path)));
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.message.find(path), std::string::npos) << loaded.message;
    EXPECT_TRUE(h.entries().isEmpty());

    History::AddResult r;
    ASSERT_NO_THROW(r = h.AddHistory("13800138000"));
    EXPECT_EQ(r.added, History::Added::New);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(r.saved.error, ENOTDIR);
    EXPECT_FALSE(r.saved.message.empty());
    EXPECT_EQ(h.entries(), QStringList{"13800138000"});
    // Still in memory: the next text goes on top of it, and the same text is found.
    EXPECT_EQ(h.AddHistory("13800138000").added, History::Added::Present);
    EXPECT_EQ(h.AddHistory("13900").added, History::Added::New);
    EXPECT_EQ(h.entries(), QStringList({"13900", "13800138000"}));
    EXPECT_EQ(LogCapture::lines().size(), 3u); // the load and two saves
    EXPECT_EQ(readText(dir.file("plain")), "not a folder");
}

TEST(HistoryFault, AFileThatCannotBeReadIsNeverReplaced)
{
    // Too large to be a history: loading gives an empty list, and no save may shrink it to the
    // one new entry.
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    const std::string big(History::MaxFileBytes + 1, 'x');
    writeText(path, big);
    LogCapture log;

    History h;
    const platform::FileResult loaded = h.SetFilename(q(path));
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(h.entries().isEmpty());
    const History::AddResult r = h.AddHistory("13800");
    EXPECT_EQ(r.added, History::Added::New);
    EXPECT_FALSE(r.saved);
    EXPECT_EQ(h.entries(), QStringList{"13800"});
    EXPECT_EQ(readText(path), big);

    // Once the file is mended, setting the name again reads and saves as usual.
    writeText(path, "13900\r\n");
    ASSERT_TRUE(h.SetFilename(q(path)));
    EXPECT_TRUE(h.AddHistory("13800").saved);
    EXPECT_EQ(readText(path), "13800\r\n13900\r\n");
}

TEST(HistoryFault, AFailingWriteKeepsTheOldFileAndTheEntryInMemory)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    writeText(path, "13900\r\n");
    platform::FileOps full;
    full.write = [](int, const void *, size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    LogCapture log;

    History h;
    h.setFileOps(&full);
    ASSERT_TRUE(h.SetFilename(q(path)));
    const History::AddResult r = h.AddHistory("13800");
    EXPECT_EQ(r.saved.error, ENOSPC);
    EXPECT_EQ(h.entries(), QStringList({"13800", "13900"}));
    EXPECT_EQ(readText(path), "13900\r\n");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"SmsADRSFile.Vrk"});
}

TEST(HistoryFault, ASaveInterruptedByAKilledProcessLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string path = dir.file("SmsADRSFile.Vrk");
    std::string old;
    for (int i = 0; i < 10; ++i)
        old += "1380013800" + std::to_string(i) + "\r\n";
    writeText(path, old);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Write half of the new file, tell the parent, and wait there to be killed.
        ::close(ready[0]);
        platform::FileOps stalls;
        stalls.write = [&](int fd, const void *buf, size_t n) -> ssize_t {
            const ssize_t done = ::write(fd, buf, n / 2);
            const char c = 'w';
            (void)!::write(ready[1], &c, 1);
            for (;;)
                ::pause();
            return done;
        };
        History h;
        h.setFileOps(&stalls);
        h.SetFilename(q(path));
        h.AddHistory("a new recipient that is never saved");
        ::_exit(3); // not reached unless the write never came
    }
    ::close(ready[1]);
    char c = 0;
    const ssize_t got = ::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1) << "the child never wrote";
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(readText(path), old);
    History h;
    ASSERT_TRUE(h.SetFilename(q(path)));
    EXPECT_EQ(h.entries().size(), 10);
    EXPECT_EQ(dir.list().size(), 2u); // the history and the killed writer's temporary

    // The next save goes through and clears the abandoned temporary away.
    ASSERT_TRUE(h.AddHistory("13900").saved);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"SmsADRSFile.Vrk"});
    EXPECT_EQ(h.entries().size(), 10);
    EXPECT_EQ(readText(path).rfind("13900\r\n", 0), 0u);
}
