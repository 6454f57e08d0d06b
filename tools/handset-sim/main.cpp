// handset-sim: the simulated GSM handset as a program. Prints the pty slave path on standard
// output and serves it until SIGINT or SIGTERM.
//
//   handset-sim [--scenario file.json] [--link path] [--baud N] [--transcript file]

#include "handset_sim.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: handset-sim [--scenario file.json] [--link path] [--baud N] [--transcript file]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string scenario, link, transcript;
    int baud = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return usage();
        const std::string v = argv[++i];
        if (a == "--scenario") {
            scenario = v;
        } else if (a == "--link") {
            link = v;
        } else if (a == "--transcript") {
            transcript = v;
        } else if (a == "--baud") {
            char *end = nullptr;
            const long b = std::strtol(v.c_str(), &end, 10);
            if (!end || *end || b < 0 || b > 10000000)
                return usage();
            baud = static_cast<int>(b);
        } else {
            return usage();
        }
    }

    // The serving thread inherits this mask; the signals are taken by sigwait below.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<handsetsim::HandsetSim> sim;
    try {
        sim = scenario.empty() ? std::make_unique<handsetsim::HandsetSim>()
                               : handsetsim::HandsetSim::fromFile(scenario);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "handset-sim: %s\n", e.what());
        return 1;
    }
    if (baud > 0)
        sim->setThrottle(baud);
    std::ofstream log;
    if (!transcript.empty()) {
        log.open(transcript, std::ios::binary | std::ios::trunc);
        if (!log) {
            std::fprintf(stderr, "handset-sim: cannot write %s\n", transcript.c_str());
            return 1;
        }
        sim->setTranscriptSink([&log](const handsetsim::TranscriptEntry &e) {
            log << handsetsim::HandsetSim::formatEntry(e) << '\n';
            log.flush();
        });
    }
    std::string path;
    try {
        path = sim->start(link);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "handset-sim: %s\n", e.what());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    int sig = 0;
    sigwait(&set, &sig);
    sim->stop();
    sim->setTranscriptSink(nullptr);
    return 0;
}
