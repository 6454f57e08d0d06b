// Selvark: the desktop manager for GSM handsets.
//
//   Selvark [--quit-after-paint]
//
//   --quit-after-paint   end after the main window's first paint and print the time since the
//                        process started ("first paint: <ms> ms"); for timing the start.
#include "program/program.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <unistd.h>

namespace {

// Milliseconds since this process started (the kernel's start time, 10 ms steps), or a negative
// value when it cannot be read.
double msSinceProcessStart()
{
    std::ifstream in("/proc/self/stat");
    std::string line;
    if (!std::getline(in, line))
        return -1;
    // The command name in parentheses may hold spaces: count the fields after its closing one.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i)
        if (i == 22)
            startTicks = std::stoull(field);
    const long hz = sysconf(_SC_CLK_TCK);
    timespec now{};
    if (startTicks == 0 || hz <= 0 || clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    const double nowMs = double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
    return nowMs - double(startTicks) * 1000.0 / double(hz);
}

} // namespace

int main(int argc, char **argv)
{
    program::ProgramOptions options;
    // Our own switch is taken out before the toolkit reads the command line.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quit-after-paint") == 0)
            options.quitAfterFirstPaint = true;
        else
            argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    argc = kept;
    if (options.quitAfterFirstPaint)
        options.firstPaint = [] {
            std::printf("first paint: %.0f ms\n", msSinceProcessStart());
            std::fflush(stdout);
        };
    try {
        return program::runProgram(argc, argv, std::move(options));
    } catch (const std::exception &e) {
        // Start-up shows its own failures; this is what escaped the loop or the end.
        std::fprintf(stderr, "Selvark: %s\n", e.what());
        return 1;
    }
}
