// Whole-file writes that never leave a half-written file behind, and bounded whole-file reads.
//
// writeFileSafely() writes the new contents to a temporary file in the same folder, flushes it to the
// disk, renames it over the old name and flushes the folder. A crash, a full disk or a kill at any
// moment leaves either the old file or the new one, whole. On failure the old file is untouched and
// the temporary is removed.
//
// The system calls go through a FileOps table so that tests can inject ENOSPC, EIO, short writes
// or a failing rename.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The system calls used by this module. Each member behaves like the call it is named after
// (result and errno). A default-constructed table holds the real calls.
struct FileOps {
    std::function<int(const char *path, int flags, mode_t mode)> open;
    std::function<ssize_t(int fd, const void *buf, size_t n)> write;
    std::function<int(int fd)> fsync;
    std::function<int(int fd)> close;
    std::function<int(const char *from, const char *to)> rename;
    std::function<int(const char *path)> unlink;
    std::function<int(int fd, mode_t mode)> fchmod;

    FileOps();
    // The shared table of the real calls.
    static const FileOps &system();
};

// The answer of a write: ok, or the errno and a text for the user naming the file and the cause.
struct FileResult {
    bool ok = true;
    int error = 0;       // errno of the failing call; 0 when ok
    std::string message; // empty when ok, else e.g. "Cannot write /x/set.ini: No space left on device"

    explicit operator bool() const { return ok; }
    static FileResult failure(int err, std::string text);
};

// Replaces (or creates) `path` with exactly `contents`. An existing file keeps its permission bits.
// Temporaries of `path` abandoned by a writer that was killed are removed on the way.
// An existing file without any write permission bit (u, g or o) is refused with EACCES and left
// alone, whoever runs the program (root included). A folder that is missing is not created.
FileResult writeFileSafely(const std::string &path, std::string_view contents,
                           const FileOps &ops = FileOps::system());

// The answer of a read.
// NotRegular: the path names a named pipe, a folder, a device or a socket; it was not read.
enum class ReadStatus { Ok, Missing, TooLarge, Failed, NotRegular };
struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    int error = 0;
    std::string message;
    std::string data;
};

// Reads the whole of `path` when it holds at most `maxBytes` bytes (a larger file is TooLarge and
// nothing is read). Only a regular file is read (see openRegularFile).
ReadResult readWholeFile(const std::string &path, size_t maxBytes);

// Opens `path` for reading only when it is a regular file (a symbolic link is followed), checked
// without blocking: a named pipe with no writer, or a device, never makes the caller wait. The
// descriptor (close-on-exec, blocking reads) or -1 with why's status, error and message set
// (why may be null). Every reader of a file a user or another program may have put in place
// goes through here.
int openRegularFile(const std::string &path, ReadResult *why = nullptr);

// Renames `path` to the first free name of `path + suffix`, `path + suffix + ".1"`, ".2", ...
// (up to ".999"), never replacing a file that is there, and flushes the folder. *movedTo gets the
// new name on success.
FileResult moveAside(const std::string &path, const std::string &suffix, std::string *movedTo);

} // namespace platform
