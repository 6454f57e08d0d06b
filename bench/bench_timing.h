// Timing helpers shared by the plain timed benchmark programs.
#pragma once

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median wall time in seconds of `runs` calls of f.
template <typename F> double medianSeconds(int runs, F f)
{
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        const auto a = Clock::now();
        f();
        t.push_back(std::chrono::duration<double>(Clock::now() - a).count());
    }
    return median(std::move(t));
}

} // namespace bench
