#include "platform/instance_guard.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr const char *kLockName = "ZeqSelvarkTarnovel";
}

std::string InstanceGuard::lockPathFor(const char *xdgRuntimeDir, uid_t uid)
{
    if (xdgRuntimeDir && xdgRuntimeDir[0] == '/')
        return std::string(xdgRuntimeDir) + "/" + kLockName + ".lock";
    return std::string("/tmp/") + kLockName + "-" + std::to_string(uid) + ".lock";
}

std::string InstanceGuard::defaultLockPath()
{
    return lockPathFor(getenv("XDG_RUNTIME_DIR"), getuid());
}

InstanceGuard::InstanceGuard(const std::string &lockPath) : path_(lockPath)
{
    // O_NOFOLLOW: in /tmp another user could plant a link to a file of ours.
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error_ = lockPath + ": " + strerror(errno);
        return;
    }
    // A file that another user made in /tmp could be locked by them to keep us from starting.
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        error_ = lockPath + ": not a lock file of this user";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    int rc;
    do {
        rc = flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        status_ = Status::Acquired;
        return;
    }
    int err = errno;
    ::close(fd_);
    fd_ = -1;
    if (err == EWOULDBLOCK) {
        status_ = Status::AlreadyRunning;
    } else {
        error_ = lockPath + ": " + strerror(err);
    }
}

InstanceGuard::~InstanceGuard()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace platform
