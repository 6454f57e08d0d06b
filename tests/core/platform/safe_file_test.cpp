// Safe replacement: the old file stays whole and no temporary is left on any failure.
#include "platform/safe_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

using platform::FileOps;
using platform::writeFileSafely;
using platform_test::readText;
using platform_test::TempDir;
using platform_test::writeText;

namespace {

mode_t modeOf(const std::string &path)
{
    struct stat st{};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(SafeFile, CreatesAndReplacesKeepingTheMode)
{
    TempDir dir;
    const std::string f = dir.file("set.ini");
    ASSERT_TRUE(writeFileSafely(f, "first"));
    EXPECT_EQ(readText(f), "first");
    ::chmod(f.c_str(), 0640);
    ASSERT_TRUE(writeFileSafely(f, std::string(100000, 'x')));
    EXPECT_EQ(readText(f), std::string(100000, 'x'));
    EXPECT_EQ(modeOf(f), 0640u);
    EXPECT_EQ(dir.list(), std::vector<std::string>{"set.ini"});
}

TEST(SafeFile, ShortWritesAndInterruptsStillWriteEverything)
{
    TempDir dir;
    const std::string f = dir.file("t.cds");
    FileOps ops;
    int calls = 0;
    ops.write = [&](int fd, const void *b, size_t n) -> ssize_t {
        if (++calls % 3 == 0) {
            errno = EINTR;
            return -1;
        }
        return ::write(fd, b, n > 7 ? 7 : n);
    };
    std::string text(1000, 'a');
    text += "end";
    ASSERT_TRUE(writeFileSafely(f, text, ops));
    EXPECT_EQ(readText(f), text);
}

// Each injected failure: the old contents stay, the folder holds only the old file, the answer
// names the file and the cause.
TEST(SafeFile, InjectedFailuresLeaveTheOldFileAndNoTemporary)
{
    struct Case {
        const char *name;
        std::function<void(FileOps &)> inject;
        int expectErr;
    };
    const std::vector<Case> cases = {
        {"ENOSPC on write", [](FileOps &o) {
             o.write = [](int fd, const void *b, size_t n) -> ssize_t {
                 static thread_local int k = 0;
                 if (k++ % 2 == 1) { errno = ENOSPC; return -1; }
                 return ::write(fd, b, n > 10 ? 10 : n);
             };
         }, ENOSPC},
        {"write makes no progress", [](FileOps &o) { o.write = [](int, const void *, size_t) -> ssize_t { return 0; }; }, ENOSPC},
        {"EIO on fsync", [](FileOps &o) { o.fsync = [](int) { errno = EIO; return -1; }; }, EIO},
        {"EIO on close", [](FileOps &o) { o.close = [](int fd) { ::close(fd); errno = EIO; return -1; }; }, EIO},
        {"rename fails", [](FileOps &o) { o.rename = [](const char *, const char *) { errno = EXDEV; return -1; }; }, EXDEV},
        {"open fails", [](FileOps &o) { o.open = [](const char *, int, mode_t) { errno = EMFILE; return -1; }; }, EMFILE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string f = dir.file("Smsinfo.cds");
        writeText(f, "old contents");
        FileOps ops;
        c.inject(ops);
        auto r = writeFileSafely(f, std::string(5000, 'n'), ops);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, c.expectErr);
        EXPECT_NE(r.message.find(f), std::string::npos) << r.message;
        EXPECT_EQ(readText(f), "old contents");
        EXPECT_EQ(dir.list(), std::vector<std::string>{"Smsinfo.cds"});
    }
}

TEST(SafeFile, AFileWithoutWriteBitsIsNotReplacedEvenByRoot)
{
    TempDir dir;
    const std::string f = dir.file("PlugInfo.cds");
    writeText(f, "kept");
    ::chmod(f.c_str(), 0444);
    auto r = writeFileSafely(f, "new");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, EACCES);
    EXPECT_NE(r.message.find("read-only"), std::string::npos);
    EXPECT_EQ(readText(f), "kept");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"PlugInfo.cds"});
}

TEST(SafeFile, MissingFolderIsAnErrorWithText)
{
    TempDir dir;
    auto r = writeFileSafely(dir.file("no/such/set.ini"), "x");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_NE(r.message.find("no/such/set.ini"), std::string::npos);
}

TEST(SafeFile, ReadWholeFileBounds)
{
    TempDir dir;
    const std::string f = dir.file("a");
    writeText(f, "12345");
    EXPECT_EQ(platform::readWholeFile(f, 5).data, "12345");
    EXPECT_EQ(platform::readWholeFile(f, 4).status, platform::ReadStatus::TooLarge);
    EXPECT_EQ(platform::readWholeFile(dir.file("b"), 4).status, platform::ReadStatus::Missing);
    EXPECT_EQ(platform::readWholeFile(dir.path(), 4).status, platform::ReadStatus::NotRegular);
}

// Only regular files are read, checked without blocking: a named pipe with no writer answers at
// once (a blocking open would wait for ever), as do a folder and a device; a link to a file reads.
TEST(SafeFile, OnlyRegularFilesAreRead)
{
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeText(dir.file("plain"), "abc");
    ASSERT_EQ(::symlink(dir.file("plain").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(::symlink(fifo.c_str(), dir.file("link-to-pipe").c_str()), 0);
    struct Row {
        std::string path;
        platform::ReadStatus status;
        const char *kind;
    } rows[] = {
        {fifo, platform::ReadStatus::NotRegular, "a named pipe"},
        {dir.file("link-to-pipe"), platform::ReadStatus::NotRegular, "a named pipe"},
        {dir.path(), platform::ReadStatus::NotRegular, "a folder"},
        {"/dev/null", platform::ReadStatus::NotRegular, "a device"},
        {dir.file("link"), platform::ReadStatus::Ok, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        const platform::ReadResult got = platform::readWholeFile(r.path, 100);
        EXPECT_EQ(got.status, r.status);
        if (r.status == platform::ReadStatus::Ok) {
            EXPECT_EQ(got.data, "abc");
            continue;
        }
        EXPECT_TRUE(got.data.empty());
        EXPECT_EQ(got.message, "Cannot read " + r.path + ": not a regular file (" + r.kind + ")");
        platform::ReadResult why;
        EXPECT_EQ(platform::openRegularFile(r.path, &why), -1);
        EXPECT_EQ(why.status, r.status);
    }
    // The descriptor handed out reads blocking, like any other.
    const int fd = platform::openRegularFile(dir.file("plain"));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    ::close(fd);
}

// Setting a file aside takes the first free name and never replaces one that is there.
TEST(SafeFile, MoveAsideTakesTheFirstFreeName)
{
    TempDir dir;
    const std::string f = dir.file("t.cds");
    std::string moved;
    for (int round = 0; round < 3; ++round) {
        writeText(f, "v" + std::to_string(round));
        ASSERT_TRUE(platform::moveAside(f, ".damaged", &moved));
        EXPECT_EQ(moved, round == 0 ? f + ".damaged" : f + ".damaged." + std::to_string(round));
        EXPECT_FALSE(::access(f.c_str(), F_OK) == 0);
    }
    EXPECT_EQ(readText(f + ".damaged"), "v0");
    EXPECT_EQ(readText(f + ".damaged.1"), "v1");
    EXPECT_EQ(readText(f + ".damaged.2"), "v2");
    const platform::FileResult gone = platform::moveAside(dir.file("none"), ".damaged", &moved);
    EXPECT_FALSE(gone);
    EXPECT_EQ(gone.error, ENOENT);
    EXPECT_NE(gone.message.find(dir.file("none")), std::string::npos);
}

TEST(SafeFile, TemporariesOfKilledWritersAreRemovedOthersKept)
{
    TempDir dir;
    const std::string own = ".set.ini.tmp." + std::to_string(::getpid()) + ".7";
    for (const std::string &n : {std::string(".set.ini.tmp.999999999.1"), own, std::string(".set.ini.tmp.x.1"),
                                 std::string(".other.ini.tmp.999999999.1")})
        writeText(dir.file(n), "t");
    ASSERT_TRUE(writeFileSafely(dir.file("set.ini"), "new"));
    EXPECT_EQ(dir.list(), (std::vector<std::string>{".other.ini.tmp.999999999.1", own, ".set.ini.tmp.x.1", "set.ini"}));
}

// The data reaches the disk before the rename, and the folder after it, so that neither a crash
// before nor one after the rename can leave an empty or a missing file.
TEST(SafeFile, FlushesTheFileBeforeTheRenameAndTheFolderAfterIt)
{
    TempDir dir;
    const std::string f = dir.file("set.ini");
    writeText(f, "old");
    std::vector<std::string> calls;
    int folderFd = -1;
    FileOps ops;
    ops.open = [&](const char *p, int flags, mode_t m) {
        int fd = ::open(p, flags, m);
        if (flags & O_DIRECTORY) {
            EXPECT_EQ(std::string(p), dir.path());
            folderFd = fd;
            calls.push_back("open folder");
        }
        return fd;
    };
    ops.fsync = [&](int fd) {
        calls.push_back(fd == folderFd ? "fsync folder" : "fsync file");
        return ::fsync(fd);
    };
    ops.rename = [&](const char *a, const char *b) {
        calls.push_back("rename");
        return ::rename(a, b);
    };
    ASSERT_TRUE(writeFileSafely(f, "new", ops));
    EXPECT_EQ(calls, (std::vector<std::string>{"fsync file", "rename", "open folder", "fsync folder"}));
    EXPECT_EQ(readText(f), "new");
}
