// The connected manager's other operations: the idle check, the settings, the connection test,
// the lock and the interface handles.

#include "comm_fixture.h"

#include "dv_result.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace comm_test {
namespace {

TEST_F(CommTest, CheckPhoneNoticesAnotherHandset)
{
    scan(kBoth);
    params("Alpha");
    EXPECT_EQ(comm->CheckPhone(), DV_E_NOTCONN) << "no connection";

    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(comm->CheckPhone(), 0);

    fixctl_setImei("350000000000014");
    fixctl_clearLog();
    EXPECT_EQ(comm->CheckPhone(), DV_E_CLOSED);
    EXPECT_EQ(callLog(), Log{"CtlAlphaPlug.plug getImei"} + releaseCalls("CtlAlphaPlug.plug", "CtlAlpha.so"));
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(comm->CheckPhone(), DV_E_NOTCONN);

    // An IMEI that cannot be read counts as another handset.
    ASSERT_EQ(comm->Connect(), 0);
    fixctl_setAnswer(nullptr, "getImei", DV_E_TIMEOUT);
    EXPECT_EQ(comm->CheckPhone(), DV_E_CLOSED);
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, SetParamsComparesTrimmedAndWithoutCase)
{
    scan(kBoth);
    std::string man, type, port, baud;
    comm->SetParams(selected("Alpha"), " Cable ", "COM1", "9600");
    EXPECT_EQ(comm->GetParams(man, type, port, baud), core::kCommNotConnected);
    EXPECT_EQ(man, "Alpha");
    EXPECT_EQ(type + port + baud, "") << "the texts only while connected";

    comm->SetParams(selected("Beta"), "Cable", "COM1", "9600");
    EXPECT_FALSE(comm->IsParamsChanged()) << "a change without a connection is no change of the connection";
    comm->SetParams(selected("Alpha"), "Cable", "COM1", "9600");

    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(comm->GetParams(man, type, port, baud), 0);
    EXPECT_EQ(Log({man, type, port, baud}), Log({"Alpha", "Cable", "COM1", "9600"}));

    comm->SetParams(selected(" ALPHA "), "cable", " com1 ", "9600\t");
    EXPECT_FALSE(comm->IsParamsChanged());
    comm->GetParams(man, type, port, baud);
    EXPECT_EQ(Log({man, type, port, baud}), Log({"Alpha", "Cable", "COM1", "9600"})) << "nothing stored";

    comm->SetParams(selected("Alpha"), "Cable", "COM1", "19200");
    EXPECT_TRUE(comm->IsParamsChanged());
    comm->GetParams(man, type, port, baud);
    EXPECT_EQ(baud, "19200");

    EXPECT_EQ(comm->Close(), 0);
    EXPECT_FALSE(comm->IsParamsChanged());
    EXPECT_EQ(comm->Close(), core::kCommNotConnected);
    EXPECT_EQ(comm->GetParams(man, type, port, baud), core::kCommNotConnected);
    EXPECT_EQ(man, "Alpha");
}

// The user applies other settings while the worker is still opening the connection with the old
// ones: the connection that comes up is flagged, so the worker reopens it with the new ones.
TEST_F(CommTest, SettingsStoredWhileConnectingMarkTheConnectionChanged)
{
    scan(kBoth);
    fixctl_setIdentity("Beta", "B1", ""); // a driver switch: its pauses fall inside the connect
    bool changedDuringConnect = false;
    auto changePort = [&] {
        if (!changedDuringConnect)
            comm->SetParams(selected(""), "Cable", "COM3", "9600");
        changedDuringConnect = true;
    };
    comm = std::make_unique<core::TCommMng>(
        messages, window, core::CommMngSetup{dir.root(), tables.snapshot(), [&](int) { changePort(); }});
    params("", "Cable", "COM1", "9600");
    ASSERT_EQ(comm->Connect(), 0);
    ASSERT_TRUE(changedDuringConnect);
    EXPECT_TRUE(comm->IsParamsChanged());

    // A connect with nothing changed meanwhile stays unflagged.
    EXPECT_EQ(comm->Close(), 0);
    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_FALSE(comm->IsParamsChanged());
}

TEST_F(CommTest, ConnectionModeAndPollInterval)
{
    scan({});
    bool flag = true;
    int32_t ms = 0;
    comm->GetAutoConnect(flag, ms);
    EXPECT_FALSE(flag);
    EXPECT_EQ(ms, 3000);
    for (auto [given, kept] : {std::pair{100, 500}, {500, 500}, {2500, 2500}, {10000, 10000}, {60000, 10000}}) {
        comm->SetAutoConnect(true, given);
        comm->GetAutoConnect(flag, ms);
        EXPECT_TRUE(flag);
        EXPECT_EQ(ms, kept);
    }
    comm->SetConnectMode(false);
    comm->GetAutoConnect(flag, ms);
    EXPECT_FALSE(flag);
    EXPECT_TRUE(comm->IsDisconnectRequested());
    comm->SetConnectMode(true);
    comm->GetAutoConnect(flag, ms);
    EXPECT_TRUE(flag);
    EXPECT_FALSE(comm->IsDisconnectRequested());
}

TEST_F(CommTest, TestConnectAnswers)
{
    scan(kBoth);
    EXPECT_EQ(comm->TestConnect("", "Cable", "9600", "COM1"), DV_E_ARG);
    EXPECT_EQ(comm->TestConnect("Alpha", "", "9600", "COM1"), DV_E_ARG);
    EXPECT_EQ(comm->TestConnect("Zeta", "Cable", "9600", "COM1"), DV_E_UNSUPPORTED);

    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect", DV_E_REFUSED);
    EXPECT_EQ(comm->TestConnect("Alpha", "Cable", "9600", "COM1"), DV_E_NOTCONN);
    EXPECT_EQ(platform::Module::openCount(), 0);

    // Catalogued, then replaced by a build without MsMng_connect.
    dir.addFixture("CtlNoConnect.so", "CtlBeta.so");
    fixctl_clearLog();
    EXPECT_EQ(comm->TestConnect("Beta", "Cable", "9600", "COM1"), DV_E_UNSUPPORTED);
    EXPECT_EQ(callLog(), Log{"CtlNoConnect.so unload"});
    EXPECT_EQ(platform::Module::openCount(), 0);
}

TEST_F(CommTest, TestConnectClosesTheConnectionAndTouchesNothingElse)
{
    scan(kBoth);
    params("Alpha", "Cable", "COM1", "9600");
    ASSERT_EQ(comm->Connect(), 0);
    const uint64_t before = comm->currentSerial();
    fixctl_clearLog();
    EXPECT_EQ(comm->TestConnect("Beta", "IrDA", "", ""), 0);
    const Log expected = releaseCalls("CtlAlphaPlug.plug", "CtlAlpha.so") +
                         Log{"CtlBeta.so MsMng_connect", "CtlBeta.so MsMng_disconnect", "CtlBeta.so unload"};
    EXPECT_EQ(callLog(), expected);
    EXPECT_EQ(pauses, std::vector<int>{50});
    EXPECT_EQ(platform::Module::openCount(), 0);
    EXPECT_EQ(comm->Lock(), core::kCommNotConnected);
    comm->Unlock();
    EXPECT_EQ(comm->currentSerial(), before + 1) << "only the closing Disconnect";
    const core::SelectedPhone p = comm->selectedPhone();
    EXPECT_EQ(core::identText(p.Man), "Alpha");
    EXPECT_FALSE(comm->IsParamsChanged());

    // The settings it was given are not kept: the next connect uses the stored ones.
    ASSERT_EQ(comm->Connect(), 0);
    std::string man, type, port, baud;
    comm->GetParams(man, type, port, baud);
    EXPECT_EQ(Log({man, type, port, baud}), Log({"Alpha", "Cable", "COM1", "9600"}));
}

TEST_F(CommTest, LockIsReentrantAndMakesOtherThreadsWait)
{
    scan(kBoth);
    params("Alpha");
    EXPECT_EQ(comm->Lock(), core::kCommNotConnected);
    EXPECT_EQ(comm->Connect(), 0) << "Connect takes the lock again on the same thread";
    EXPECT_EQ(comm->Lock(), 0);
    comm->Unlock();

    std::atomic<int> answer{-1};
    std::thread other([&] {
        core::CommLock lock(*comm);
        answer = lock.answer();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(answer.load(), -1) << "the other thread waits while this one holds the lock";
    comm->Unlock();
    other.join();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(comm->heldByCaller());
    comm->Unlock(); // not held: ignored
}

TEST_F(CommTest, InterfaceHandlesGoStaleAtReconnect)
{
    scan(kBoth);
    params("Alpha");
    ASSERT_EQ(comm->Connect(), 0);
    const uint64_t serial = comm->currentSerial();
    EXPECT_EQ(comm->interfaceFor(MS_ITF_INFO, serial), nullptr) << "only under the lock";
    {
        core::CommLock lock(*comm);
        ASSERT_TRUE(lock.connected());
        EXPECT_NE(comm->interfaceFor(MS_ITF_INFO, serial), nullptr);
        EXPECT_NE(comm->interfaceAs<StorItf>(MS_ITF_PB, serial), nullptr);
        EXPECT_EQ(comm->interfaceFor(16, serial), nullptr);
    }

    // Reconnect: the plug-in frees its objects at cleanup and makes new ones.
    comm->Disconnect();
    ASSERT_EQ(comm->Connect(), 0);
    core::CommLock lock(*comm);
    EXPECT_EQ(comm->interfaceFor(MS_ITF_INFO, serial), nullptr) << "a handle from the earlier connection";
    EXPECT_EQ(comm->interfaceAs<StorItf>(MS_ITF_PB, serial), nullptr);
    const uint64_t now = comm->currentSerial();
    EXPECT_NE(now, serial);
    StorItf *pb = comm->interfaceAs<StorItf>(MS_ITF_PB, now);
    ASSERT_NE(pb, nullptr);
    EXPECT_EQ(pb->setStor(pb, 1), 0);
}

TEST_F(CommTest, WithInfoRunsOnlyOverAConnection)
{
    scan(kBoth);
    params("Alpha");
    int calls = 0;
    auto battery = [&](InfoItf &info) {
        int32_t level = -1;
        EXPECT_EQ(info.getBattery(&info, &level), 0);
        EXPECT_EQ(level, 77);
        ++calls;
    };
    fixctl_setAnswer(nullptr, "getBattery", 77);
    EXPECT_EQ(comm->withInfo(battery), DV_E_NOTCONN);
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(comm->Connect(), 0);
    EXPECT_EQ(comm->withInfo(battery), 0);
    EXPECT_EQ(calls, 1);
    comm->Disconnect();
    EXPECT_EQ(comm->withInfo(battery), DV_E_NOTCONN);
    EXPECT_EQ(calls, 1);
}

TEST_F(CommTest, PhoneInfoIsTheIdentityTheCataloguePicked)
{
    scan(kBoth);
    params("Alpha");
    fixctl_setIdentity("alpha", "x A1 y", "");
    ASSERT_EQ(comm->Connect(), 0);
    PhoneIdent ident{};
    ASSERT_EQ(comm->GetPhoneInfo(ident), 0);
    EXPECT_EQ(core::identText(ident.Man), "Alpha") << "rewritten from the model row";
    EXPECT_EQ(core::identText(ident.ModelA), "A1");
}

} // namespace
} // namespace comm_test
