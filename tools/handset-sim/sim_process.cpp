// SimProcess: the `handset-sim` program as a child process, for tests that keep the simulated
// handset out of their own address space.

#include "handset_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#ifndef HANDSETSIM_EXE
#define HANDSETSIM_EXE "handset-sim"
#endif

namespace handsetsim {

std::string SimProcess::defaultExecutable() {
    if (const char *dir = std::getenv("SELVARK_BINARY_DIR"); dir && *dir)
        return std::string(dir) + "/tools/handset-sim/handset-sim";
    return HANDSETSIM_EXE;
}

SimProcess::SimProcess(const std::vector<std::string> &args, const std::string &exe) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    std::vector<std::string> argv{exe};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
        ::close(out[0]);
        ::close(out[1]);
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(exe.c_str(), cargv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // The program prints the slave path as its first line once the pty is up.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[256];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
        if (line.size() > 4096)
            break;
    }
    ::close(out[0]);
    const size_t nl = line.find('\n');
    if (nl == std::string::npos || nl == 0) {
        terminate(SIGKILL);
        throw std::runtime_error("handset-sim did not start: " + exe);
    }
    path_ = line.substr(0, nl);
}

SimProcess::~SimProcess() {
    terminate(SIGTERM);
}

int SimProcess::terminate(int sig) {
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, sig);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

} // namespace handsetsim
