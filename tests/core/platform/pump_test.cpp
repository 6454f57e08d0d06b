#include "platform/pump.h"

#include <gtest/gtest.h>

#include <thread>

TEST(ThreadPump, EachThreadRunsOnlyItsOwnPump)
{
    int mine = 0, theirs = 0;
    platform::ScopedThreadPump pump([&] { ++mine; });
    platform::threadPumpHook(nullptr);
    std::thread([&] {
        platform::threadPumpHook(nullptr);  // nothing registered here: nothing runs
        platform::ScopedThreadPump own([&] { ++theirs; });
        platform::threadPumpHook(nullptr);
        platform::threadPumpHook(nullptr);
    }).join();
    EXPECT_EQ(mine, 1);
    EXPECT_EQ(theirs, 2);
}

TEST(ThreadPump, ScopesNestAndAPumpMayReplaceItselfWhileRunning)
{
    std::vector<int> ran;
    {
        platform::ScopedThreadPump outer([&] { ran.push_back(1); });
        {
            platform::ScopedThreadPump inner([&] { ran.push_back(2); });
            platform::runThreadPump();
        }
        platform::runThreadPump();
    }
    platform::runThreadPump();  // none left
    EXPECT_EQ(ran, (std::vector<int>{2, 1}));

    int count = 0;
    platform::setThreadPump([&] {
        ++count;
        platform::setThreadPump({});  // the running pump stays alive until it returns
        platform::runThreadPump();    // and nested pumping now finds nothing
    });
    platform::runThreadPump();
    platform::runThreadPump();
    EXPECT_EQ(count, 1);
}
