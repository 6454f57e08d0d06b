// The worker thread end to end: a temporary program folder holding the real driver and our model
// plug-in, the catalogue scan, the connection manager on Cable to the simulated handset's link
// path, and the real worker thread reporting to a recording notifier. Each test runs under a
// watchdog, so a hang fails instead of stalling the run, and ends with nothing loaded.

#include "core/catalogue/catalogue_fixture.h"
#include "core/comm/comm_thread.h"
#include "platform/pump.h"

#include "dv_result.h"
#include "dv_util.h"
#include "dv_vos.h"
#include "handset_sim.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

using handsetsim::HandsetSim;
using platform::WindowMessage;

// Ends the process when a test runs longer than it may: a hang is a failure, not a stalled run.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return disarmed_; })) {
                  std::fprintf(stderr, "watchdog: the test hung\n");
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            disarmed_ = true;
        }
        done_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool disarmed_ = false;
    std::thread thread_;
};

handsetsim::Scenario contents()
{
    handsetsim::Scenario sc = handsetsim::defaultScenario();
    auto &sm = sc.phonebooks[0];
    sm.entries[1] = {1, "+8613912345678", 145, "Alice"};
    sm.entries[2] = {2, "+4930123456", 145, "Jörg Müller"};
    sm.entries[5] = {5, "10086", 129, "Bob"};
    auto &smsSm = sc.smsStorages[0].messages;
    smsSm[1] = {1, 1, handsetsim::encodeDeliverPdu("+8613912345678", "See you at eight", "05/03/16,19:02:11+32")};
    smsSm[2] = {2, 0, handsetsim::encodeDeliverPdu("10086", "Balance 12.50")};
    smsSm[3] = {3, 2, handsetsim::encodeSubmitPdu("+8613912345678", "On my way")};
    auto &smsMe = sc.smsStorages[1].messages;
    smsMe[4] = {4, 1, handsetsim::encodeDeliverPdu("+4930123456", "Grüße aus Köln")};
    smsMe[9] = {9, 1, handsetsim::encodeDeliverPdu("+4930123456", "Second")};
    return sc;
}

struct Row {
    int stor = 0;
    int index = 0;
    std::string data;
};

class WorkerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
        link = dir.root() + "/handset";
        sim = std::make_unique<HandsetSim>(contents());
        sim->start(link);
        dir.addRealPair();
        ASSERT_TRUE(core::ScanPlugins(tables.refs(), dir.root(), recorder));
        comm = std::make_unique<core::TCommMng>(messages, mainWindow,
                                                core::CommMngSetup{dir.root(), tables.snapshot(), {}});
        comm->SetParams(core::SelectedPhone{}, "Cable", link, "115200");
        comm->SetAutoConnect(true, 500);
        comm->SetConnectMode(true);
        worker = std::make_unique<core::TCommThread>(*comm, commData, messages, mainWindow);
        smsClt = std::make_unique<core::TSmsClt>(*worker);
        cardClt = std::make_unique<core::TCardClt>(*worker);
        worker->start();
        ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(10)));
        bind();
    }
    void TearDown() override
    {
        EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
        smsClt.reset();
        cardClt.reset();
        worker.reset();
        comm.reset();
        EXPECT_EQ(platform::Module::openCount(), 0);
        if (sim)
            sim->stop();
        CnsVos_setPumpHook(nullptr, nullptr);
    }

    void bind()
    {
        const uint64_t serial = comm->currentSerial();
        smsClt->SetItf(MS_ITF_SMS, serial);
        cardClt->SetItf(MS_ITF_PB, serial);
    }
    // Waits for the DONE of batch.
    std::optional<WindowMessage> doneOf(uint64_t batch, std::chrono::seconds within = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (auto m = messages.waitFor(core::WM_COMM_DONE, deadline))
            if (static_cast<uint64_t>(m->l) == batch)
                return m;
        return std::nullopt;
    }
    std::vector<Row> rows() const
    {
        std::vector<Row> out;
        std::vector<char> buf(core::TdmCommData::kMaxDataLen);
        for (int i = 0; i < commData.Count(); ++i) {
            Row r;
            int len = static_cast<int>(buf.size());
            commData.GetData(i, &r.stor, buf.data(), &len, &r.index);
            r.data.assign(buf.data(), static_cast<size_t>(len));
            out.push_back(r);
        }
        return out;
    }
    static std::shared_ptr<core::TDataArray> reads(std::initializer_list<int32_t> stors)
    {
        auto jobs = std::make_shared<core::TDataArray>();
        for (int32_t s : stors) {
            core::TCommData d;
            d.Kind = core::kJobRead;
            d.Stor = s;
            jobs->push_back(d);
        }
        return jobs;
    }
    int count(uint32_t msg) const
    {
        int n = 0;
        for (const WindowMessage &m : messages.messages())
            n += m.msg == msg;
        return n;
    }

    Watchdog watchdog{std::chrono::seconds(120)};
    catalogue_test::ProgramDir dir;
    catalogue_test::Tables tables;
    catalogue_test::Recorder recorder;
    platform::RecordingWindowMessages messages;
    platform::WindowId mainWindow = messages.openWindow();
    platform::WindowId dialog = messages.openWindow();
    std::string link;
    std::unique_ptr<HandsetSim> sim;
    core::TdmCommData commData;
    std::unique_ptr<core::TCommMng> comm;
    std::unique_ptr<core::TCommThread> worker;
    std::unique_ptr<core::TSmsClt> smsClt;
    std::unique_ptr<core::TCardClt> cardClt;
};

TEST_F(WorkerEndToEnd, DownloadsMessagesAndThePhoneBook)
{
    auto msgJobs = reads({1, 2});
    smsClt->ReadList(msgJobs, dialog);
    const uint64_t batch = worker->EndBatch();
    auto done = doneOf(batch);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->w, 0);
    auto got = rows();
    ASSERT_EQ(got.size(), 5u);
    const std::vector<std::pair<int, int>> where{{1, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 9}};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].stor, where[i].first) << i;
        EXPECT_EQ(got[i].index, where[i].second) << i;
        ASSERT_EQ(got[i].data.size(), sizeof(SmsRecord)) << i;
    }
    SmsRecord rec;
    std::memcpy(&rec, got[3].data.data(), sizeof rec);
    EXPECT_STREQ(rec.text, "Grüße aus Köln");
    EXPECT_EQ(rec.kind, SMS_KIND_RECEIVED);
    std::memcpy(&rec, got[2].data.data(), sizeof rec);
    EXPECT_EQ(rec.kind, SMS_KIND_SUBMITTED);
    EXPECT_EQ((*msgJobs)[0].Done, 1);
    EXPECT_EQ((*msgJobs)[1].Done, 1);

    auto bookJobs = reads({1});
    cardClt->ReadList(bookJobs, dialog);
    const uint64_t book = worker->EndBatch();
    done = doneOf(book);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->w, 0);
    got = rows();
    ASSERT_EQ(got.size(), 3u) << "the table was emptied for the phone book";
    EXPECT_EQ(got[1].index, 2);
    EXPECT_NE(got[1].data.find("Jörg Müller"), std::string::npos) << got[1].data;
    EXPECT_NE(got[2].data.find("10086"), std::string::npos) << got[2].data;
}

TEST_F(WorkerEndToEnd, AHangUpInsideTheListingIsALinkFaultThenAReconnect)
{
    const std::string pdu1 = sim->smsStorage("SM")->messages.at(1).pdu;
    sim->addCanned({"+CMGL=4",
                    "\r\n+CMGL: 1,1,," + std::to_string(pdu1.size() / 2 - 1) + "\r\n" + pdu1 + "\r\n+CMGL: 2,0,,3", 0, 1,
                    handsetsim::DropMode::Hangup});
    smsClt->ReadList(reads({1}), dialog);
    const uint64_t batch = worker->EndBatch();
    const auto done = doneOf(batch);
    ASSERT_TRUE(done);
    EXPECT_EQ(NetUtil_isFaultErr(static_cast<int32_t>(done->w)), 1) << done->w;
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_DISCONNECTED, std::chrono::seconds(10)));
    EXPECT_EQ(count(core::WM_PHONE_DISCONNECTED), 1);

    sim->reconnect();
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(10)));
}

TEST_F(WorkerEndToEnd, CancelRacingCompletionHasExactlyOneOutcome)
{
    std::mt19937 rng(221210);
    for (int round = 0; round < 20; ++round) {
        bind();
        smsClt->ReadList(reads({1}), dialog);
        const uint64_t batch = worker->EndBatch();
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 40));
        const bool took = worker->CancelBatch(batch);
        // A batch after it: once its DONE is in, the raced one has had its outcome.
        auto st = std::make_shared<core::StorageStatus>();
        st->Stor = 1;
        smsClt->GetStorageInfo(st, dialog);
        const uint64_t after = worker->EndBatch();
        ASSERT_TRUE(doneOf(after)) << "round " << round;
        int dones = 0;
        for (const WindowMessage &m : messages.messages())
            dones += m.msg == core::WM_COMM_DONE && static_cast<uint64_t>(m.l) == batch;
        ASSERT_EQ(took + dones, 1) << "round " << round;
    }
}

TEST_F(WorkerEndToEnd, AnotherHandsetOnTheSameLinkIsConnectedWithItsIdentity)
{
    sim->setImei("350000000000022");
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_DISCONNECTED, std::chrono::seconds(10)));
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(10)));

    sim->stop();
    handsetsim::Scenario other = contents();
    other.identity.model = "HS-2000";
    other.identity.imei = "350000000000014";
    auto second = std::make_unique<HandsetSim>(other);
    second->start(link);
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_DISCONNECTED, std::chrono::seconds(10)));
    ASSERT_TRUE(messages.waitFor(core::WM_PHONE_CONNECTED, std::chrono::seconds(10)));
    PhoneIdent ident{};
    ASSERT_EQ(comm->GetPhoneInfo(ident), 0);
    EXPECT_EQ(core::identText(ident.ModelA), "HS-2000");
    sim = std::move(second);
}

TEST_F(WorkerEndToEnd, StopEndsTheThreadWhileASendWaitsOnASilentHandset)
{
    // The handset falls silent as the send begins (the idle checks before it still get answers).
    sim->addCanned({"+CMGS*", "", 0, -1});
    SmsSendRec rec{};
    std::strcpy(rec.number, "+8613912345678");
    std::strcpy(rec.text, "hello");
    auto jobs = std::make_shared<core::TDataArray>(1);
    (*jobs)[0].Kind = core::kJobWriteSms;
    (*jobs)[0].Data.assign(reinterpret_cast<uint8_t *>(&rec), reinterpret_cast<uint8_t *>(&rec) + sizeof rec);
    smsClt->SendList(jobs, dialog);
    worker->EndBatch();
    auto sending = [&] {
        for (const std::string &c : sim->commands())
            if (c.rfind("AT+CMGS", 0) == 0)
                return true;
        return false;
    };
    while (!sending())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    sim->setSilent(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker->stop(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(4)) << "the wait was cancelled";
    EXPECT_EQ((*jobs)[0].Result, DV_E_CANCELLED) << "the send was waiting and is not shown as sent";
}

} // namespace
