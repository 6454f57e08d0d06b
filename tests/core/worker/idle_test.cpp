// The idle step on a fake clock: automatic connection, idle disconnection, the handset check and
// the battery reports; and the thread around the steps: woken at once, stopped inside a driver wait.

#include "worker_fixture.h"

#include "dv_vos.h"
#include "platform/pump.h"

namespace worker_test {
namespace {

constexpr int64_t kMinute = 60000;

class IdleTest : public WorkerTest {
protected:
    void SetUp() override
    {
        WorkerTest::SetUp();
        comm->SetAutoConnect(true, 1000);
        comm->SetConnectMode(true);
    }
    std::vector<uint32_t> phoneMessages() const
    {
        std::vector<uint32_t> out;
        for (const WindowMessage &m : messages.messages())
            if (m.msg == core::WM_PHONE_CONNECTED || m.msg == core::WM_PHONE_DISCONNECTED)
                out.push_back(m.msg);
        return out;
    }
    void connectByStep()
    {
        ASSERT_EQ(worker->idleStep(), 1000);
        ASSERT_TRUE(worker->connectedFlag());
        ASSERT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_CONNECTED});
        messages.clear();
        fixctl_clearLog();
    }
};

TEST_F(IdleTest, IdleTimeOutDisconnectsOnceAndTheUsersReconnectStaysUp)
{
    connectByStep();
    worker->SetIdleTimeout(11 * kMinute);
    EXPECT_EQ(worker->IdleTimeout(), 11 * kMinute);
    clock.advance(12 * kMinute);
    worker->idleStep();
    EXPECT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_DISCONNECTED});
    bool autoOn = true;
    int32_t ms = 0;
    comm->GetAutoConnect(autoOn, ms);
    EXPECT_FALSE(autoOn) << "the handset stays disconnected until the user connects";
    EXPECT_FALSE(worker->connectedFlag());

    clock.advance(kMinute);
    worker->idleStep();
    EXPECT_EQ(phoneMessages().size(), 1u) << "no automatic reconnect";

    clock.advance(11 * kMinute); // long enough after the idle disconnect to count as idle again
    comm->SetConnectMode(true);  // the user connects again
    worker->idleStep();
    EXPECT_EQ(phoneMessages().back(), core::WM_PHONE_CONNECTED);
    clock.advance(kMinute);
    worker->idleStep();
    EXPECT_TRUE(worker->connectedFlag()) << "the idle count starts again at the connect";
    EXPECT_EQ(phoneMessages().back(), core::WM_PHONE_CONNECTED);
}

TEST_F(IdleTest, ShortIdleTimeOutsNeverDisconnect)
{
    connectByStep();
    worker->SetIdleTimeout(10000);
    clock.advance(60 * kMinute);
    worker->idleStep();
    EXPECT_TRUE(worker->connectedFlag());
}

TEST_F(IdleTest, ChangedParametersCloseWithOneMessage)
{
    connectByStep();
    comm->SetParams(comm_test::selected("Alpha"), "Cable", "COM7", "9600");
    ASSERT_TRUE(comm->IsParamsChanged());
    EXPECT_EQ(worker->idleStep(), 1000) << "the next step comes after the poll interval";
    EXPECT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_DISCONNECTED});
    EXPECT_EQ(workerPauses, std::vector<int>{300});
    EXPECT_EQ(countLog("CtlAlphaPlug.plug getImei"), 0) << "the step ends with the close";
    worker->idleStep();
    EXPECT_EQ(phoneMessages().back(), core::WM_PHONE_CONNECTED) << "connected again with the new settings";
    EXPECT_EQ(configs().back(), "COM7 9600");
}

TEST_F(IdleTest, AnotherHandsetIsDisconnectedAndConnectedAgain)
{
    connectByStep();
    fixctl_setImei("350000000000014");
    worker->idleStep();
    EXPECT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_DISCONNECTED});
    worker->idleStep();
    EXPECT_EQ(phoneMessages(), (std::vector<uint32_t>{core::WM_PHONE_DISCONNECTED, core::WM_PHONE_CONNECTED}));
}

TEST_F(IdleTest, UnreadableImeiCountsAsAnotherHandset)
{
    connectByStep();
    fixctl_setAnswer(nullptr, "getImei", DV_E_TIMEOUT);
    worker->idleStep();
    EXPECT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_DISCONNECTED});
}

TEST_F(IdleTest, BatteryAtOnceAfterConnectThenEveryTwoMinutes)
{
    connectByStep();
    fixctl_setAnswer(nullptr, "getBattery", 81);
    worker->idleStep();
    auto battery = posts(core::WM_BATTERY_STATUS);
    ASSERT_EQ(battery.size(), 1u) << "the first step after connecting reports";
    EXPECT_EQ(battery[0].window, window);
    EXPECT_EQ(battery[0].w, 81);
    EXPECT_EQ(battery[0].l, 0) << "the fixture's signal cannot be read";

    clock.advance(60000);
    worker->idleStep();
    EXPECT_EQ(posts(core::WM_BATTERY_STATUS).size(), 1u);
    clock.advance(60001);
    fixctl_setAnswer(nullptr, "getBattery", DV_E_TIMEOUT);
    worker->idleStep();
    battery = posts(core::WM_BATTERY_STATUS);
    ASSERT_EQ(battery.size(), 2u);
    EXPECT_EQ(battery[1].w, 0) << "unreadable";
}

TEST_F(IdleTest, AConnectionOpenedElsewhereIsAdopted)
{
    ASSERT_EQ(comm->Connect(), 0);
    comm->SetAutoConnect(false, 1000);
    worker->idleStep();
    EXPECT_TRUE(worker->connectedFlag());
    EXPECT_EQ(phoneMessages(), std::vector<uint32_t>{core::WM_PHONE_CONNECTED});
}

TEST_F(IdleTest, APendingBatchSkipsTheSleep)
{
    connectByStep();
    auto st = std::make_shared<core::StorageStatus>();
    smsClt->GetStorageInfo(st, dialog);
    EXPECT_EQ(worker->idleStep(), 1000);
    worker->EndBatch();
    EXPECT_EQ(worker->idleStep(), 0);
}

// ---- The thread ----

class ThreadTest : public IdleTest {
protected:
    void SetUp() override
    {
        IdleTest::SetUp();
        CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
    }
    void TearDown() override
    {
        EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
        CnsVos_setPumpHook(nullptr, nullptr);
        IdleTest::TearDown();
    }
};

TEST_F(ThreadTest, ABatchIsTakenAtOnceAndStopEndsTheThread)
{
    comm->SetAutoConnect(true, 10000); // a long sleep that the request must cut short
    worker->start();
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(5)));
    smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
    smsStore.storages[1];
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    const auto asked = std::chrono::steady_clock::now();
    smsClt->GetStorageInfo(st, dialog);
    const uint64_t batch = worker->EndBatch();
    const auto done = messages.waitFor(core::WM_COMM_DONE, std::chrono::seconds(5));
    ASSERT_TRUE(done);
    EXPECT_EQ(static_cast<uint64_t>(done->l), batch);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(4));
    EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
    EXPECT_EQ(platform::Module::openCount(), 0) << "the connection is closed when the thread ends";
}

TEST_F(ThreadTest, TwoStopsAtOnceBothSeeTheThreadEnd)
{
    comm->SetAutoConnect(true, 10000);
    worker->start();
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(5)));
    std::atomic<bool> other{false};
    std::thread second([&] { other = worker->stop(std::chrono::seconds(5)); });
    EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
    second.join();
    EXPECT_TRUE(other.load());
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(ThreadTest, StopCancelsADriverWaitInProgress)
{
    comm->SetAutoConnect(true, 500);
    worker->start();
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(5)));
    smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
    std::atomic<bool> waiting{false};
    std::atomic<int32_t> waitAnswer{1};
    smsStore.onCall = [&](const std::string &what) {
        if (what == "send") {
            waiting = true;
            waitAnswer = CnsVos_blocking(60000); // a handset that never answers
        }
    };
    SmsSendRec rec{};
    auto list = jobs({job(core::kJobWriteSms, 1, 0,
                          std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&rec),
                                               reinterpret_cast<uint8_t *>(&rec) + sizeof rec))});
    smsClt->SendList(list, dialog);
    worker->EndBatch();
    while (!waiting)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(4));
    EXPECT_EQ(waitAnswer.load(), DV_E_CANCELLED);
    EXPECT_EQ(platform::Module::openCount(), 0);
}

} // namespace
} // namespace worker_test
