// Runs every registered path at its two sizes, in name order, and prints one line a path:
//   <path>: n=<n1> <t1> s, n=<n2> <t2> s, exponent <e>
// where e = log(t2 / t1) / log(n2 / n1): 1 is linear, 2 quadratic. Each time is the median of five
// runs, the two sizes taking turns. A program, not a test: run it by
// hand in a Release build, `build-rel/bench/scale [name ...]`; names given keep only those paths
// (a name matches a path that contains it).
//
// For profilers (perf stat, callgrind) that must see one size alone:
// `build-rel/bench/scale --size <n> [name ...]` runs each chosen path once at n and prints its time.

#include "scale.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<ScalePath> &registry()
{
    static std::vector<ScalePath> paths; // built before main() by static initialisers
    return paths;
}

bool wanted(const ScalePath &p, int argc, char **argv)
{
    if (argc <= 1)
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strstr(p.name, argv[i]))
            return true;
    return false;
}

constexpr int kRuns = 5;

double median(double (&t)[kRuns])
{
    std::sort(t, t + kRuns);
    return t[kRuns / 2];
}

// The median of five runs at each size: the machine may be shared. The sizes take turns, so a
// spell of load falls on both rather than on one size's runs alone.
void medianTimes(const ScalePath &p, double &t1, double &t2)
{
    double a[kRuns], b[kRuns];
    // Each run starts with the free memory handed back to the system. Otherwise a small run
    // reuses pages an earlier run left (a warm start), while glibc maps a large run's big blocks
    // afresh and unmaps them when freed (a cold one every time): the sizes would not be paid
    // alike, and the exponent would show the difference.
    auto run = [&p](int n) {
        malloc_trim(0);
        return p.run(n);
    };
    for (int i = 0; i < kRuns; ++i) {
        a[i] = run(p.n1);
        b[i] = run(p.n2);
    }
    t1 = median(a);
    t2 = median(b);
}

} // namespace

bool RegisterScalePath(const ScalePath &path)
{
    registry().push_back(path);
    return true;
}

int main(int argc, char **argv)
{
    int onlySize = 0;
    if (argc > 2 && std::strcmp(argv[1], "--size") == 0) {
        onlySize = std::atoi(argv[2]);
        if (onlySize <= 0) {
            std::fprintf(stderr, "--size wants a positive number\n");
            return 1;
        }
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    std::vector<ScalePath> paths = registry();
    std::sort(paths.begin(), paths.end(),
              [](const ScalePath &a, const ScalePath &b) { return std::strcmp(a.name, b.name) < 0; });
    int shown = 0;
    for (const ScalePath &p : paths) {
        if (!wanted(p, argc, argv))
            continue;
        ++shown;
        if (onlySize > 0) {
            std::printf("%s: n=%d %.6f s\n", p.name, onlySize, p.run(onlySize));
            std::fflush(stdout);
            continue;
        }
        double t1 = 0, t2 = 0;
        medianTimes(p, t1, t2);
        const double e = (t1 > 0 && t2 > 0 && p.n2 != p.n1)
                             ? std::log(t2 / t1) / std::log(double(p.n2) / double(p.n1))
                             : 0.0;
        std::printf("%s: n=%d %.6f s, n=%d %.6f s, exponent %.2f\n", p.name, p.n1, t1, p.n2, t2, e);
        std::fflush(stdout);
    }
    if (shown == 0) {
        std::fprintf(stderr, "no path matches; paths:");
        for (const ScalePath &p : paths)
            std::fprintf(stderr, " %s", p.name);
        std::fprintf(stderr, "\n");
        return 1;
    }
    return 0;
}
