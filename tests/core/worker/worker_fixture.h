// The worker over the real connection manager with the Ctl fixture pair: interfaces 11 and 12 are
// scriptable fakes (fake_store.h), the clock is a fake one, and the worker's pauses are recorded.
// Tests call batchStep() and idleStep() themselves unless they start the thread.
#pragma once

#include "core/comm/comm_fixture.h"
#include "core/comm/comm_thread.h"
#include "fake_store.h"

#include "dv_result.h"

#include <memory>
#include <utility>
#include <vector>

namespace worker_test {

using platform::WindowId;
using platform::WindowMessage;

class WorkerTest : public comm_test::CommTest {
protected:
    void SetUp() override
    {
        CommTest::SetUp();
        smsStore.kind = MS_CAPS_SMS;
        fixctl_setItf(MS_ITF_SMS, &sms->itf);
        fixctl_setItf(MS_ITF_PB, &pb->itf);
        scan({"CtlAlpha.so", "CtlAlphaPlug.plug"});
        params("Alpha");
        worker = std::make_unique<core::TCommThread>(
            *comm, commData, messages, window,
            core::CommThreadSetup{&clock, [this](int ms) {
                                      workerPauses.push_back(ms);
                                      if (onPause)
                                          onPause(ms);
                                  }});
        smsClt = std::make_unique<core::TSmsClt>(*worker);
        cardClt = std::make_unique<core::TCardClt>(*worker);
    }
    void TearDown() override
    {
        smsClt.reset();
        cardClt.reset();
        worker.reset();
        CommTest::TearDown();
    }

    // Connects directly (not through the idle step) and binds the clients.
    void connect()
    {
        ASSERT_EQ(comm->Connect(), 0);
        smsClt->SetItf(MS_ITF_SMS, comm->currentSerial());
        cardClt->SetItf(MS_ITF_PB, comm->currentSerial());
        smsStore.log.clear();
        pbStore.log.clear();
        messages.clear();
        fixctl_clearLog();
    }

    // Progress posted to w, as (stage, value), each checked to carry batch.
    std::vector<std::pair<int32_t, intptr_t>> progressTo(WindowId w, uint64_t batch) const
    {
        std::vector<std::pair<int32_t, intptr_t>> out;
        for (const WindowMessage &m : messages.messages())
            if (m.window == w && m.msg == core::WM_COMM_PROGRESS) {
                EXPECT_EQ(core::progressBatch(m.w), static_cast<uint32_t>(batch));
                out.emplace_back(core::progressStage(m.w), m.l);
            }
        return out;
    }
    std::vector<WindowMessage> posts(uint32_t msg) const
    {
        std::vector<WindowMessage> out;
        for (const WindowMessage &m : messages.messages())
            if (m.msg == msg)
                out.push_back(m);
        return out;
    }
    std::vector<std::string> configs() const
    {
        std::vector<std::string> out;
        char line[128];
        for (int32_t i = 0; fixctl_configLine(i, line, sizeof line) >= 0; ++i)
            out.emplace_back(line);
        return out;
    }
    int countLog(const std::string &line) const
    {
        int n = 0;
        for (const std::string &l : comm_test::callLog())
            n += l == line;
        return n;
    }

    static std::shared_ptr<core::TDataArray> jobs(std::vector<core::TCommData> v)
    {
        return std::make_shared<core::TDataArray>(std::move(v));
    }
    static core::TCommData job(int32_t kind, int32_t stor, int32_t index = 0, std::vector<uint8_t> data = {},
                               int32_t dataLen = -1)
    {
        core::TCommData d;
        d.Kind = kind;
        d.Stor = stor;
        d.Index = index;
        d.DataLen = dataLen < 0 ? static_cast<int32_t>(data.size()) : dataLen;
        d.Data = std::move(data);
        return d;
    }

    FakeStore smsStore, pbStore;
    std::unique_ptr<FakeSms> sms = makeSms(smsStore);
    std::unique_ptr<FakePb> pb = makePb(pbStore);
    core::TdmCommData commData;
    platform::FakeClock clock{1000};
    std::vector<int> workerPauses;
    std::function<void(int)> onPause;
    WindowId dialog = messages.openWindow();
    std::unique_ptr<core::TCommThread> worker;
    std::unique_ptr<core::TSmsClt> smsClt;
    std::unique_ptr<core::TCardClt> cardClt;
};

} // namespace worker_test
