#include "platform/window_messages.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;
using platform::RecordingWindowMessages;
using platform::SendError;

TEST(RecordingWindowMessages, PostsFromFourThreadsKeepEachSendersOrder)
{
    RecordingWindowMessages hub;
    auto win = hub.openWindow();
    constexpr int kThreads = 4, kPerThread = 2500;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                ASSERT_TRUE(hub.post(win, 1000 + t, t, i));
        });
    for (auto &s : senders)
        s.join();

    auto log = hub.messages();
    ASSERT_EQ(log.size(), size_t(kThreads * kPerThread));
    std::vector<intptr_t> next(kThreads, 0);
    for (const auto &m : log) {
        ASSERT_EQ(m.msg, uint32_t(1000 + m.w));
        ASSERT_EQ(m.l, next[m.w]) << "sender " << m.w;
        ++next[m.w];
    }
}

TEST(RecordingWindowMessages, GoneWindowsDropAndIdsAreNeverReused)
{
    RecordingWindowMessages hub;
    auto a = hub.openWindow();
    hub.closeWindow(a);
    auto b = hub.openWindow();
    EXPECT_NE(a, b);
    EXPECT_FALSE(hub.post(a, 1, 0, 0));
    EXPECT_FALSE(hub.post(platform::kNoWindow, 1, 0, 0));
    EXPECT_EQ(hub.send(a, 1, 0, 0).error, SendError::NoWindow);
    EXPECT_TRUE(hub.messages().empty());
}

TEST(RecordingWindowMessages, SendIsForTheUiThreadOnly)
{
    RecordingWindowMessages hub;
    auto win = hub.openWindow([](uint32_t msg, intptr_t w, intptr_t l) -> intptr_t { return msg + w + l; });
    auto r = hub.send(win, 10, 20, 30);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.value, 60);

    platform::SendResult elsewhere;
    std::thread([&] { elsewhere = hub.send(win, 1, 0, 0); }).join();
    EXPECT_EQ(elsewhere.error, SendError::NotUiThread);
    EXPECT_EQ(hub.messages().size(), 1u);
}

TEST(RecordingWindowMessages, WaitForAnswersEachMessageOnceOrTimesOut)
{
    RecordingWindowMessages hub;
    auto win = hub.openWindow();
    hub.post(win, 7, 1, 0);
    std::thread later([&] {
        std::this_thread::sleep_for(20ms);
        hub.post(win, 8, 0, 0);
        hub.post(win, 7, 2, 0);
    });
    auto first = hub.waitFor(7, 5s);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->w, 1);
    auto second = hub.waitFor(7, 5s);  // the earlier one is taken: waits for the next
    ASSERT_TRUE(second);
    EXPECT_EQ(second->w, 2);
    later.join();
    EXPECT_FALSE(hub.waitFor(7, 10ms));
    EXPECT_TRUE(hub.waitFor(8, 0ms));
}
