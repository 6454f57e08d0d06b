// Single-instance guard of the program.
//
// An exclusive flock on a lock file in the user's runtime folder. The lock belongs to the open file,
// so it ends with the process however the process ends (kill -9 included), and the descriptor is
// close-on-exec, so a program started by ours (a help viewer, a browser) never keeps it alive.
#pragma once

#include <string>
#include <sys/types.h>

namespace platform {

class InstanceGuard {
public:
    enum class Status {
        Acquired,        // this process is the only instance
        AlreadyRunning,  // another process holds the lock: end at once, silently, with code 0
        Unavailable,     // the lock file cannot be used (see error()); run without the guard
    };

    // "$XDG_RUNTIME_DIR/ZeqSelvarkTarnovel.lock" when that folder is set (and absolute), else
    // "/tmp/ZeqSelvarkTarnovel-<uid>.lock".
    static std::string lockPathFor(const char *xdgRuntimeDir, uid_t uid);
    static std::string defaultLockPath();

    // Tries the lock at once (never waits). Keep the object for the life of the process: destroying
    // it releases the lock.
    explicit InstanceGuard(const std::string &lockPath = defaultLockPath());
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    Status status() const { return status_; }
    const std::string &error() const { return error_; }
    const std::string &path() const { return path_; }

private:
    int fd_ = -1;
    Status status_ = Status::Unavailable;
    std::string path_;
    std::string error_;
};

} // namespace platform
