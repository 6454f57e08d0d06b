// A tiny client for the simulated handset's tests: plain POSIX reads and writes on the pty slave,
// the way a serial port is used (raw, non-blocking, flushed on open).

#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <string_view>

namespace simtest {

// True when `buf` ends in a V.250 final result code or the SMS prompt.
inline bool replyComplete(const std::string &buf) {
    if (buf.size() >= 2 && buf.compare(buf.size() - 2, 2, "> ") == 0)
        return true;
    for (const char *eol : {"\r\n", "\r"}) {
        const std::string e = eol;
        if (buf.size() < e.size() || buf.compare(buf.size() - e.size(), e.size(), e) != 0)
            continue;
        const std::string body = buf.substr(0, buf.size() - e.size());
        const size_t start = body.rfind(e);
        const std::string last = start == std::string::npos ? body : body.substr(start + e.size());
        if (last == "OK" || last == "ERROR" || last == "COMMAND NOT SUPPORT" ||
            last.rfind("+CME ERROR:", 0) == 0 || last.rfind("+CMS ERROR:", 0) == 0)
            return true;
    }
    return false;
}

class Client {
  public:
    // `flush` drops whatever waits in the pty, as a serial port's open does; without it the client
    // sees what the handset left there.
    explicit Client(const std::string &path, bool flush = true) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
        if (flush)
            ::tcflush(fd_, TCIOFLUSH);
    }
    ~Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    int fd() const { return fd_; }

    void send(std::string_view bytes) {
        size_t off = 0;
        while (off < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + off, bytes.size() - off);
            if (n > 0) {
                off += static_cast<size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else if (n < 0 && errno != EINTR) {
                throw std::runtime_error("write failed");
            }
        }
    }

    // One byte per write, as a slow terminal types.
    void sendBytewise(std::string_view bytes) {
        for (char c : bytes)
            send(std::string_view(&c, 1));
    }

    // Reads until `done(buffer)` holds or `timeoutMs` passes; returns what arrived. `hungUp` tells
    // that the other side closed the pty (end of file or EIO); `lastError` keeps a failed read's errno.
    template <typename Pred> std::string readWhile(Pred done, int timeoutMs) {
        std::string buf;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done(buf)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char chunk[65536];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n > 0) {
                buf.append(chunk, static_cast<size_t>(n));
                ++reads_;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                lastError = errno;
                hungUp = errno == EIO;
                break;
            } else if (n == 0) {
                hungUp = true;
                break;
            }
        }
        return buf;
    }

    std::string readReply(int timeoutMs = 3000) { return readWhile(replyComplete, timeoutMs); }
    std::string readFor(int ms) {
        return readWhile([](const std::string &) { return false; }, ms);
    }
    std::string readUntil(const std::string &marker, int timeoutMs = 3000) {
        return readWhile([&](const std::string &b) { return b.find(marker) != std::string::npos; },
                         timeoutMs);
    }
    // Sends "AT" + cmd + CR and returns everything up to the final result (echo included).
    std::string at(const std::string &cmd, int timeoutMs = 3000) {
        send("AT" + cmd + "\r");
        return readReply(timeoutMs);
    }

    int lastError = 0;
    bool hungUp = false;
    int reads() const { return reads_; }

  private:
    int fd_ = -1;
    int reads_ = 0;
};

} // namespace simtest
