// Round trip of a bare "AT" through the AT terminal against the simulated handset, whose output is
// paced to the line rate, compared with the time the bytes need on the line.
//
// The simulator paces what the handset sends: the echo "AT\r" and "\r\nOK\r\n", 9 bytes of 10 bits
// (the command itself crosses the pseudo-terminal at once). `line_ms` is their time on the line;
// `extra_ms` is what the terminal adds on top of it and should stay below one 5 ms pass of the wait
// loop (`extra_passes` < 1), since received bytes wake the wait at once.
//
// Run by hand, e.g. `<build>/bench/at_bench --benchmark_min_time=2`, in a Release build.

#include "attach.h"
#include "dv_at.h"
#include "dv_transport.h"

#include "handset_sim.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

constexpr double kPacedBytes = 3 + 6;
constexpr double kPassMs = 5.0;

void roundTrip(benchmark::State &state, const char *cmd, double pacedBytes) {
    const int baud = static_cast<int>(state.range(0));
    Dravnik_attach();
    handsetsim::HandsetSim sim;
    sim.setThrottle(baud);
    const std::string path = sim.start();
    Cns232 *port = Cns232_newPath(path.c_str(), baud, 2048, 0);
    CnsSock *sock = port ? Cns232_toSock(port) : nullptr;
    AtTe *te = nullptr;
    if (!sock || CnsSock_open(sock) != 0 || !(te = AtTe_new(sock))) {
        state.SkipWithError("cannot open the simulated handset");
    } else {
        AtTe_setRxTimeout(te, 2000, nullptr);
        AtTe_setAny(te, cmd, nullptr, nullptr); // first exchange off the clock
        double totalMs = 0;
        int64_t n = 0;
        for (auto _ : state) {
            auto t0 = std::chrono::steady_clock::now();
            int32_t r = AtTe_setAny(te, cmd, nullptr, nullptr);
            totalMs +=
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            ++n;
            if (r != 0) {
                state.SkipWithError("the handset did not answer OK");
                break;
            }
        }
        const double lineMs = pacedBytes * 10.0 * 1000.0 / baud;
        const double rttMs = n ? totalMs / static_cast<double>(n) : 0.0;
        state.counters["rtt_ms"] = rttMs;
        state.counters["line_ms"] = lineMs;
        state.counters["extra_ms"] = rttMs - lineMs;
        state.counters["extra_passes"] = (rttMs - lineMs) / kPassMs;
    }
    AtTe_delete(te);
    Cns232_delete(port);
    sim.stop();
    Dravnik_detach();
}

void BM_AtRoundTrip(benchmark::State &state) {
    roundTrip(state, "", kPacedBytes);
}

} // namespace

BENCHMARK(BM_AtRoundTrip)->Arg(115200)->Arg(9600)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
