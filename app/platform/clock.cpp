#include "platform/clock.h"

#include <time.h>

namespace platform {

int64_t SystemClock::nowMs() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

SystemClock &SystemClock::instance()
{
    static SystemClock clock;
    return clock;
}

} // namespace platform
