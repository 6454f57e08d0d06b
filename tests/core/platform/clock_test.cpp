#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, SystemClockNeverGoesBack)
{
    auto &c = platform::SystemClock::instance();
    int64_t a = c.nowMs();
    int64_t b = c.nowMs();
    EXPECT_LE(a, b);
    EXPECT_GT(a, 0);
}

TEST(Clock, FakeClockStepsAndPassesFortyNineDays)
{
    platform::FakeClock c(0xFFFFFF00LL);
    c.advance(0x200);
    EXPECT_EQ(c.nowMs(), 0x100000100LL); // past 2^32 ms: no wrap
}
