// The wait loop, its cancel rules, the timer list and the poll table.

#include "vos/vos_int.h"
#include "dv_result.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FakeClock {
    uint32_t now = 0;
    static uint32_t read(void *ctx) { return static_cast<FakeClock *>(ctx)->now; }
};

class WaitLoop : public ::testing::Test {
protected:
    void SetUp() override { Vos_attach(); }
    void TearDown() override {
        CnsVos_setPumpHook(nullptr, nullptr);
        CnsVos_setKeySource(nullptr, nullptr, nullptr);
        CnsVos_kbCancelCheckCtrl(0);
        CnsVos_setClock(nullptr, nullptr);
        Vos_detach();
    }
};

struct Counter {
    int pumps = 0;
    int polls = 0;
    int activeAfter = -1; // poll reports activity from this call on
    std::vector<std::string> log;
};

int32_t countingPoll(void *obj) {
    auto *c = static_cast<Counter *>(obj);
    ++c->polls;
    return c->activeAfter >= 0 && c->polls > c->activeAfter ? 1 : 0;
}

TEST_F(WaitLoop, ZeroRunsExactlyOnePassAndTimesOut) {
    Counter c;
    CnsVos_setPumpHook([](void *ctx) { ++static_cast<Counter *>(ctx)->pumps; }, &c);
    ASSERT_EQ(VosPoll_add(Vos_pollTable(), countingPoll, &c), 0);
    EXPECT_EQ(CnsVos_blocking(0), DV_E_TIMEOUT);
    EXPECT_EQ(c.pumps, 1);
    EXPECT_EQ(c.polls, 1);
    VosPoll_remove(Vos_pollTable(), countingPoll, &c);
}

TEST_F(WaitLoop, ActivePollEndsTheWaitWithItsCount) {
    Counter c;
    c.activeAfter = 2;
    ASSERT_EQ(VosPoll_add(Vos_pollTable(), countingPoll, &c), 0);
    EXPECT_EQ(CnsVos_blocking(-1), 1);
    EXPECT_EQ(c.polls, 3);
    VosPoll_remove(Vos_pollTable(), countingPoll, &c);
}

TEST_F(WaitLoop, CancelFromThePumpAnswersCancelledBeforeThePollsRun) {
    Counter c;
    CnsVos_setPumpHook([](void *) { EXPECT_EQ(CnsVos_cancelBlocking(), 0); }, nullptr);
    ASSERT_EQ(VosPoll_add(Vos_pollTable(), countingPoll, &c), 0);
    EXPECT_EQ(CnsVos_blocking(1000), DV_E_CANCELLED);
    EXPECT_EQ(c.polls, 0);
    VosPoll_remove(Vos_pollTable(), countingPoll, &c);
}

TEST_F(WaitLoop, CancelOutsideAnyWaitIsAWrongState) {
    EXPECT_EQ(CnsVos_cancelBlocking(), DV_E_STATE);
    // and nothing is left pending for the next wait
    EXPECT_EQ(CnsVos_blocking(0), DV_E_TIMEOUT);
}

// Fault: one process-wide flag let an inner wait, started from the pump, end the outer wait with
// "cancelled" although nobody cancelled it.
TEST_F(WaitLoop, NestedWaitDoesNotCancelTheOuterWait) {
    struct State {
        int depth = 0;
        int innerResult = 0;
        Counter poll;
    } s;
    s.poll.activeAfter = 4;
    CnsVos_setPumpHook(
        [](void *ctx) {
            auto *st = static_cast<State *>(ctx);
            if (st->depth > 0)
                return;
            ++st->depth;
            st->innerResult = CnsVos_blocking(0);
            --st->depth;
        },
        &s);
    ASSERT_EQ(VosPoll_add(Vos_pollTable(), countingPoll, &s.poll), 0);
    EXPECT_GT(CnsVos_blocking(2000), 0);
    VosPoll_remove(Vos_pollTable(), countingPoll, &s.poll);
}

TEST_F(WaitLoop, CancelHitsOnlyTheInnermostPumpingWait) {
    struct State {
        int depth = 0;
        int innerResult = 0;
        int outerPasses = 0;
    } s;
    CnsVos_setPumpHook(
        [](void *ctx) {
            auto *st = static_cast<State *>(ctx);
            if (st->depth == 1) { // pumping inside the inner wait
                CnsVos_cancelBlocking();
                return;
            }
            if (++st->outerPasses > 1)
                return;
            ++st->depth;
            st->innerResult = CnsVos_blocking(1000);
            --st->depth;
        },
        &s);
    EXPECT_EQ(CnsVos_blocking(30), DV_E_TIMEOUT);
    EXPECT_EQ(s.innerResult, DV_E_CANCELLED);
    EXPECT_GT(s.outerPasses, 1);
}

TEST_F(WaitLoop, EscKeyCancelsOnlyWhenTheKeyCheckIsOn) {
    struct Keys {
        int pending = 1;
    } k;
    CnsVos_setKeySource([](void *ctx) -> int32_t { return static_cast<Keys *>(ctx)->pending; },
                        [](void *ctx) -> int32_t {
                            static_cast<Keys *>(ctx)->pending = 0;
                            return 27;
                        },
                        &k);
    EXPECT_EQ(CnsVos_blocking(0), DV_E_TIMEOUT);
    EXPECT_EQ(k.pending, 1);
    EXPECT_EQ(CnsVos_kbCancelCheckCtrl(1), 1);
    EXPECT_EQ(CnsVos_blocking(1000), DV_E_CANCELLED);
    EXPECT_EQ(k.pending, 0);
}

TEST_F(WaitLoop, PauseReturnsTheKeyAndRestoresTheKeyCheck) {
    struct Keys {
        int hits = 0;
    } k;
    CnsVos_kbCancelCheckCtrl(1);
    CnsVos_setKeySource([](void *ctx) -> int32_t { return ++static_cast<Keys *>(ctx)->hits > 3; },
                        [](void *) -> int32_t { return 'q'; }, &k);
    EXPECT_EQ(CnsVos_pause(), 'q');
    EXPECT_EQ(CnsVos_kbCancelCheckCtrl(1), 1);
}

// A delay ends as soon as a transport has data, and a watched descriptor wakes the sleep at once.
TEST_F(WaitLoop, DelayEndsEarlyWhenAWatchedDescriptorReceives) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    struct Reader {
        int fd;
        static int32_t poll(void *obj) {
            char b[16];
            int fd = static_cast<Reader *>(obj)->fd;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0)
                return 0;
            return ::read(fd, b, sizeof b) > 0 ? 1 : 0;
        }
    } reader{fds[0]};
    ASSERT_EQ(VosPoll_add(Vos_pollTable(), Reader::poll, &reader), 0);
    ASSERT_EQ(Vos_watchFd(fds[0]), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(::write(fds[1], "x", 1), 1);
    });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_GT(CnsVos_delay(5000), 0);
    auto took = std::chrono::steady_clock::now() - t0;
    writer.join();
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    Vos_unwatchFd(fds[0]);
    VosPoll_remove(Vos_pollTable(), Reader::poll, &reader);
    close(fds[0]);
    close(fds[1]);
}

// ---- timers ----

struct Fired {
    std::vector<int> order;
};
struct Tag {
    Fired *fired;
    int id;
};
void recordFire(void *user) {
    auto *t = static_cast<Tag *>(user);
    t->fired->order.push_back(t->id);
}

TEST_F(WaitLoop, TimersWithTheSameDueTickFireNewestFirst) {
    FakeClock clock{1000};
    CnsVos_setClock(FakeClock::read, &clock);
    Fired fired;
    Tag a{&fired, 1}, b{&fired, 2}, c{&fired, 3};
    VosTimer ta, tb, tc;
    VosTimer_init(&ta);
    VosTimer_init(&tb);
    VosTimer_init(&tc);
    VosTimer_start(&ta, 10, &a, recordFire);
    VosTimer_start(&tb, 10, &b, recordFire);
    VosTimer_start(&tc, 5, &c, recordFire);
    clock.now = 1010;
    EXPECT_EQ(VosTimers_pump(nullptr), 1); // due exactly now is not yet past
    clock.now = 1011;
    EXPECT_EQ(VosTimers_pump(nullptr), 2);
    EXPECT_EQ(fired.order, (std::vector<int>{3, 2, 1}));
    EXPECT_TRUE(VosTimer_expired(&ta));
}

TEST_F(WaitLoop, TimerOrderSurvivesAWrapOfTheTick) {
    FakeClock clock{0xFFFFFFF0u};
    CnsVos_setClock(FakeClock::read, &clock);
    Fired fired;
    Tag late{&fired, 1}, early{&fired, 2};
    VosTimer tl, te;
    VosTimer_init(&tl);
    VosTimer_init(&te);
    VosTimer_start(&tl, 100, &late, recordFire); // due after the wrap
    VosTimer_start(&te, 5, &early, recordFire);  // due before it
    clock.now = 0xFFFFFFFFu;
    EXPECT_EQ(VosTimers_pump(nullptr), 1);
    EXPECT_EQ(fired.order, (std::vector<int>{2}));
    clock.now = 0x00000050u; // wrapped, 0x60 after the start
    EXPECT_EQ(VosTimers_pump(nullptr), 0);
    clock.now = 0x00000060u;
    EXPECT_EQ(VosTimers_pump(nullptr), 1);
    EXPECT_EQ(fired.order, (std::vector<int>{2, 1}));
}

TEST_F(WaitLoop, StoppedAndRestartedTimersLeaveTheListConsistent) {
    FakeClock clock{0};
    CnsVos_setClock(FakeClock::read, &clock);
    Fired fired;
    Tag a{&fired, 1};
    VosTimer t;
    VosTimer_init(&t);
    VosTimer_start(&t, 10, &a, recordFire);
    VosTimer_start(&t, 30, &a, recordFire); // re-arm moves it
    clock.now = 20;
    EXPECT_EQ(VosTimers_pump(nullptr), 0);
    VosTimer_stop(&t);
    VosTimer_stop(&t);
    clock.now = 100;
    EXPECT_EQ(VosTimers_pump(nullptr), 0);
    EXPECT_TRUE(fired.order.empty());
}

TEST_F(WaitLoop, ATimedWaitEndsInThePassAfterItsTimerExpired) {
    VosTimer t;
    VosTimer_init(&t);
    VosTimer_start(&t, 20, nullptr, nullptr);
    EXPECT_EQ(CnsVos_blocking(5000), 1);
    EXPECT_TRUE(VosTimer_expired(&t));
}

// Fault: a wait started from the pump fired the outer wait's timer, the outer wait's own polls had
// nothing more to report, and a receive waiting with no limit for that timer never ended.
TEST_F(WaitLoop, ATimerThatFiresInANestedWaitStillEndsTheOuterWait) {
    struct State {
        bool nested = false;
        int32_t innerResult = 0;
    } s;
    CnsVos_setPumpHook(
        [](void *ctx) {
            auto *st = static_cast<State *>(ctx);
            if (st->nested)
                return;
            st->nested = true;
            st->innerResult = CnsVos_delay(1000);
        },
        &s);
    VosTimer t;
    VosTimer_init(&t);
    VosTimer_start(&t, 20, nullptr, nullptr);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_GT(CnsVos_blocking(3000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
    EXPECT_GT(s.innerResult, 0); // the nested delay saw the timer first
    EXPECT_TRUE(VosTimer_expired(&t));
    VosTimer_stop(&t);
}

// ---- poll table ----

int32_t idlePoll(void *) { return 0; }

TEST(PollTable, AddAnswersFullWhenNoSlotIsFree) {
    VosPollTable *t = VosPoll_new(2);
    int a, b, c;
    EXPECT_EQ(VosPoll_add(t, idlePoll, &a), 0);
    EXPECT_EQ(VosPoll_add(t, idlePoll, &b), 0);
    EXPECT_EQ(VosPoll_add(t, idlePoll, &c), DV_E_FULL);
    VosPoll_remove(t, idlePoll, &a);
    EXPECT_EQ(VosPoll_add(t, idlePoll, &c), 0);
    VosPoll_delete(t);
    VosPollTable *none = VosPoll_new(0);
    EXPECT_EQ(VosPoll_add(none, idlePoll, &a), DV_E_FULL);
    VosPoll_delete(none);
}

// Fault: removing a pair that was never added lowered the used count, the walk then stopped before
// the timer pump in slot 0, and every timed wait hung.
TEST_F(WaitLoop, RemovingAPairThatWasNeverAddedKeepsTimersFiring) {
    int never;
    VosPoll_remove(Vos_pollTable(), idlePoll, &never);
    VosPoll_remove(Vos_pollTable(), idlePoll, &never);
    VosTimer t;
    VosTimer_init(&t);
    VosTimer_start(&t, 10, nullptr, nullptr);
    EXPECT_EQ(CnsVos_blocking(2000), 1);
}

TEST_F(WaitLoop, PollRunSkipsFreedSlotsAndCountsActiveOnes) {
    Counter a, b;
    a.activeAfter = 0;
    b.activeAfter = 0;
    VosPollTable *t = VosPoll_new(4);
    ASSERT_EQ(VosPoll_add(t, countingPoll, &a), 0);
    ASSERT_EQ(VosPoll_add(t, idlePoll, nullptr), 0);
    ASSERT_EQ(VosPoll_add(t, countingPoll, &b), 0);
    VosPoll_remove(t, idlePoll, nullptr);
    EXPECT_EQ(VosPoll_run(t), 2);
    VosPoll_delete(t);
}

} // namespace
