// Runs every registered path at its two sizes, in name order, and prints one line a path:
//   <path>: n=<n1> <t1> s, n=<n2> <t2> s, exponent <e>
// where e = log(t2 / t1) / log(n2 / n1): 1 is linear, 2 quadratic. Each time is the median of three
// runs. A program, not a test: run it by
// hand in a Release build, `build-rel/bench/scale [name ...]`; names given keep only those paths
// (a name matches a path that contains it).

#include "scale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The median of three runs: the machine may be shared.
double medianOf3(const ScalePath &p, int n)
{
    double t[3] = {p.run(n), p.run(n), p.run(n)};
    std::sort(t, t + 3);
    return t[1];
}

} // namespace

bool RegisterScalePath(const ScalePath &path)
{
    registry().push_back(path);
    return true;
}

int main(int argc, char **argv)
{
    std::vector<ScalePath> paths = registry();
    std::sort(paths.begin(), paths.end(),
              [](const ScalePath &a, const ScalePath &b) { return std::strcmp(a.name, b.name) < 0; });
    int shown = 0;
    for (const ScalePath &p : paths) {
        if (!wanted(p, argc, argv))
            continue;
        ++shown;
        const double t1 = medianOf3(p, p.n1);
        const double t2 = medianOf3(p, p.n2);
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
