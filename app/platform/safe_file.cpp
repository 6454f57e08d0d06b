#include "platform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cerrno>
#include <cstring>

namespace platform {

FileOps::FileOps()
    : open([](const char *p, int f, mode_t m) { return ::open(p, f, m); }),
      write([](int fd, const void *b, size_t n) { return ::write(fd, b, n); }),
      fsync([](int fd) { return ::fsync(fd); }), close([](int fd) { return ::close(fd); }),
      rename([](const char *a, const char *b) { return ::rename(a, b); }),
      unlink([](const char *p) { return ::unlink(p); }),
      fchmod([](int fd, mode_t m) { return ::fchmod(fd, m); })
{
}

const FileOps &FileOps::system()
{
    static const FileOps ops;
    return ops;
}

FileResult FileResult::failure(int err, std::string text)
{
    FileResult r;
    r.ok = false;
    r.error = err;
    r.message = std::move(text);
    return r;
}

namespace {

const char *fileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a file";
}

std::string describe(const char *what, const std::string &path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

std::string folderOf(const std::string &path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string &path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other writer of this process or another uses at the same moment.
std::string temporaryName(const std::string &path)
{
    static std::atomic<unsigned> counter{0};
    std::string dir = folderOf(path);
    return dir + "/." + baseOf(path) + ".tmp." + std::to_string(::getpid()) + "." +
           std::to_string(counter.fetch_add(1));
}

// Removes temporaries of `path` left by writers that were killed: names of the form
// ".<name>.tmp.<pid>.<n>" whose process no longer exists. Temporaries of live processes (this one
// included) are left alone.
void removeAbandonedTemporaries(const std::string &path, const FileOps &ops)
{
    std::string prefix = "."; // built step by step: gcc 12 warns falsely on "." + s + "..."
    prefix += baseOf(path);
    prefix += ".tmp.";
    const std::string dir = folderOf(path);
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return;
    while (dirent *e = ::readdir(d)) {
        std::string_view name(e->d_name);
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view rest = name.substr(prefix.size());
        auto dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos)
            continue;
        long pid = 0;
        bool digits = dot <= 9;
        for (char c : rest.substr(0, dot)) {
            digits = digits && c >= '0' && c <= '9';
            pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            ops.unlink((dir + "/" + std::string(name)).c_str());
    }
    ::closedir(d);
}

} // namespace

FileResult writeFileSafely(const std::string &path, std::string_view contents, const FileOps &ops)
{
    mode_t mode = 0644;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return FileResult::failure(EISDIR, "Cannot write " + path + ": not a regular file");
        // Judged on the bits, not on access(): root may write anywhere, but a file the user has
        // made read-only must stay as it is.
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return FileResult::failure(EACCES, "Cannot write " + path + ": the file is read-only");
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return FileResult::failure(errno, describe("Cannot write", path, errno));
    }

    removeAbandonedTemporaries(path, ops);
    const std::string tmp = temporaryName(path);
    int fd = -1;
    do {
        fd = ops.open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FileResult::failure(errno, describe("Cannot write", path, errno));

    auto abandon = [&](int err, const char *what) {
        if (fd >= 0)
            ops.close(fd);
        ops.unlink(tmp.c_str());
        return FileResult::failure(err, describe(what, path, err));
    };

    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = ops.write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon(errno, "Cannot write");
        }
        if (n == 0) // no progress and no error: treat as a full disk rather than spin
            return abandon(ENOSPC, "Cannot write");
        done += size_t(n);
    }
    if (ops.fchmod(fd, mode) != 0)
        return abandon(errno, "Cannot write");
    if (ops.fsync(fd) != 0)
        return abandon(errno, "Cannot write");
    int closeResult = ops.close(fd);
    fd = -1;
    if (closeResult != 0)
        return abandon(errno, "Cannot write");
    if (ops.rename(tmp.c_str(), path.c_str()) != 0)
        return abandon(errno, "Cannot replace");

    // Make the rename itself durable. Some file systems refuse fsync on a folder (EINVAL); the new
    // file is in place by now, so that is not a failure of the write.
    int dfd = ops.open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dfd >= 0) {
        ops.fsync(dfd);
        ops.close(dfd);
    }
    return {};
}

int openRegularFile(const std::string &path, ReadResult *why)
{
    ReadResult scratch;
    ReadResult &r = why ? *why : scratch;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for ever; a device
    // is not made to wait for its carrier either. Nothing but a regular file is read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        r.error = errno;
        r.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
        r.message = describe("Cannot read", path, r.error);
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        r.error = errno;
        r.status = ReadStatus::Failed;
        r.message = describe("Cannot read", path, r.error);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        r.status = ReadStatus::NotRegular;
        r.message = "Cannot read " + path + ": not a regular file (" + fileKind(st.st_mode) + ")";
        ::close(fd);
        return -1;
    }
    // Plain blocking reads from here on.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

ReadResult readWholeFile(const std::string &path, size_t maxBytes)
{
    ReadResult r;
    int fd = openRegularFile(path, &r);
    if (fd < 0)
        return r;
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        r.error = errno;
        r.status = ReadStatus::Failed;
        r.message = describe("Cannot read", path, r.error);
        ::close(fd);
        return r;
    }
    if (uint64_t(st.st_size) > maxBytes) {
        r.status = ReadStatus::TooLarge;
        r.error = EFBIG;
        r.message = "Cannot read " + path + ": the file is too large";
        ::close(fd);
        return r;
    }
    r.data.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < r.data.size()) {
        ssize_t n = ::read(fd, r.data.data() + got, r.data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.error = errno;
            r.status = ReadStatus::Failed;
            r.message = describe("Cannot read", path, r.error);
            r.data.clear();
            ::close(fd);
            return r;
        }
        if (n == 0)
            break; // the file shrank under us: take what is there
        got += size_t(n);
    }
    r.data.resize(got);
    ::close(fd);
    return r;
}

namespace {

// rename() that fails with EEXIST instead of replacing the target.
int renameNoReplace(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: a hard link is never made over an existing name either.
    if (::link(from, to) == 0)
        return ::unlink(from);
    if (errno == EEXIST)
        return -1;
    // Neither (a folder, or a file system without hard links): check, then rename.
    struct stat st{};
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

} // namespace

FileResult moveAside(const std::string &path, const std::string &suffix, std::string *movedTo)
{
    const std::string base = path + suffix;
    for (int n = 0; n < 1000; ++n) {
        const std::string target = n == 0 ? base : base + "." + std::to_string(n);
        if (renameNoReplace(path.c_str(), target.c_str()) == 0) {
            const int dfd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dfd >= 0) {
                ::fsync(dfd);
                ::close(dfd);
            }
            if (movedTo)
                *movedTo = target;
            return {};
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            return FileResult::failure(errno, describe("Cannot rename", path, errno));
    }
    return FileResult::failure(EEXIST, "Cannot rename " + path + ": every name " + base + ".N is taken");
}

} // namespace platform
