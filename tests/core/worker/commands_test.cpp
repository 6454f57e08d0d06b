// The list, status and search commands against scriptable interfaces: what reaches the driver,
// what comes back in the jobs and records, and the exact progress a dialog sees.

#include "worker_fixture.h"

namespace worker_test {
namespace {

using P = std::vector<std::pair<int32_t, intptr_t>>;

// ---- Read list ----

TEST_F(WorkerTest, ReadListSkipsARefusedStorageAndReportsExactProgress)
{
    connect();
    auto &sm = smsStore.storages[1];
    sm.total = 5;
    sm.used = -1; // "unknown": the total is shown
    sm.entries = {{1, "one"}, {2, "two"}, {4, "four"}};
    sm.endAnswer = DV_E_LISTEND;
    smsStore.failRead[2] = DV_E_MALFORMED;
    smsStore.storages[2].setAnswer = DV_E_UNSUPPORTED;
    commData.AddData(9, 9, "old", 3);

    auto list = jobs({job(core::kJobRead, 2), job(core::kJobRead, 1), job(4, 1)});
    (*list)[2].Result = 99;
    smsClt->ReadList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());

    EXPECT_EQ(progressTo(dialog, batch),
              (P{{1, (5 << 16) + 21 + 0x100}, {2, 0x10001}, {2, 0x10001}, {2, 0x10001}, {3, 0}}));
    ASSERT_EQ(commData.Count(), 2) << "cleared first; the entry that failed to read is skipped";
    int stor = 0, index = 0, len = 100;
    char buf[100];
    ASSERT_TRUE(commData.GetData(1, &stor, buf, &len, &index));
    EXPECT_EQ(std::string(buf, len), "four");
    EXPECT_EQ(index, 4);
    EXPECT_EQ((*list)[0].Result, DV_E_UNSUPPORTED);
    EXPECT_EQ((*list)[1].Result, 0) << "the end of the listing is success";
    EXPECT_EQ((*list)[1].Done, 1);
    EXPECT_EQ((*list)[2].Result, 99) << "another kind is passed over";
    ASSERT_EQ(posts(core::WM_COMM_DONE).size(), 1u);
    EXPECT_EQ(posts(core::WM_COMM_DONE)[0].w, 0);
}

TEST_F(WorkerTest, ReadListEndAnswers)
{
    connect();
    for (const auto &[end, expected] : std::vector<std::pair<int32_t, int32_t>>{
             {0, 0}, {DV_E_LISTEND, 0}, {DV_E_RANGE, 0}, {DV_E_MALFORMED, DV_E_MALFORMED}}) {
        smsStore.storages[1].entries = {{3, "x"}};
        smsStore.storages[1].endAnswer = end;
        auto list = jobs({job(core::kJobRead, 1)});
        smsClt->ReadList(list, dialog);
        worker->EndBatch();
        messages.clear();
        ASSERT_TRUE(worker->batchStep());
        EXPECT_EQ((*list)[0].Result, expected) << end;
        EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, expected) << end;
    }
}

TEST_F(WorkerTest, ReadListNeverTakesMoreThanItsBuffer)
{
    connect();
    smsStore.storages[1].entries = {{1, std::string(300, 'a')}};
    smsStore.readClaim = 20000; // a driver that claims more than it was given room for
    auto list = jobs({job(core::kJobRead, 1)});
    smsClt->ReadList(list, dialog);
    worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ(smsStore.log.at(3), "readData 10240");
    ASSERT_EQ(commData.Count(), 1);
    std::vector<char> buf(20000);
    int len = 20000;
    commData.GetData(0, nullptr, buf.data(), &len, nullptr);
    EXPECT_EQ(len, core::TdmCommData::kMaxDataLen);
}

TEST_F(WorkerTest, ReadListStopsAtAFailingStorageWithTheStopReason)
{
    connect();
    smsStore.storages[1].statAnswer = DV_E_CLOSED;
    smsStore.storages[2].entries = {{1, "x"}};
    auto list = jobs({job(core::kJobRead, 1), job(core::kJobRead, 2)});
    smsClt->ReadList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ((*list)[0].Result, DV_E_CLOSED);
    EXPECT_EQ((*list)[1].Result, DV_E_CLOSED) << "never reached: not shown as read";
    EXPECT_EQ(progressTo(dialog, batch), (P{{3, 0}}));
    EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, DV_E_CLOSED);
}

// ---- Write list ----

TEST_F(WorkerTest, WriteListJobs)
{
    connect();
    pbStore.storages[1];
    pbStore.storages[2];
    auto list = jobs({
        job(core::kJobWritePb, 1, -1, {}, 0),              // nothing to write: one byte goes
        job(core::kJobWritePb, 2, 5, {'a', 'b', 'c'}, 50), // DataLen beyond Data: what exists
        job(4, 1),                                         // passed over
        job(core::kJobDelete, 1, 7),
    });
    (*list)[2].Result = 42;
    cardClt->WriteList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());

    ASSERT_EQ(pbStore.written.size(), 2u);
    EXPECT_EQ(pbStore.written[0], std::vector<uint8_t>{0});
    EXPECT_EQ(pbStore.written[1], (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(pbStore.log, (std::vector<std::string>{"setStor 1", "beginWrite -1 0", "writeData 1", "commitWrite",
                                                     "setStor 2", "beginWrite 5 0", "writeData 3", "commitWrite",
                                                     "setStor 1", "del 7"}));
    EXPECT_EQ((*list)[0].Index, 100);
    EXPECT_EQ((*list)[1].Index, 101);
    EXPECT_EQ((*list)[2].Result, 42);
    EXPECT_EQ(progressTo(dialog, batch), (P{{1, (4 << 16) + 11 + 0x200}, {2, 0}, {2, 0}, {2, 0}, {2, 0}, {3, 0}}));
}

TEST_F(WorkerTest, WriteListNothingWrittenAndLinkFaults)
{
    connect();
    smsStore.storages[1];
    smsStore.writeAnswer = 0;
    auto list = jobs({job(core::kJobWriteSms, 1, -1, {'m'}), job(core::kJobDelete, 1, 3)});
    smsClt->WriteList(list, dialog);
    worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ((*list)[0].Result, DV_E_LISTEND) << "0 bytes taken is a failure";
    EXPECT_EQ((*list)[1].Result, 0) << "a failure that is no link fault does not stop the list";

    smsStore.writeAnswer = -1;
    smsStore.opAnswers = {DV_E_CLOSED};
    list = jobs({job(core::kJobWriteSms, 1, -1, {'m'}), job(core::kJobDelete, 1, 3)});
    smsClt->WriteList(list, dialog);
    worker->EndBatch();
    messages.clear();
    smsStore.log.clear();
    worker->batchStep();
    EXPECT_EQ((*list)[0].Result, DV_E_CLOSED);
    EXPECT_EQ((*list)[1].Result, DV_E_CLOSED) << "stopped at the link fault";
    EXPECT_EQ(std::count(smsStore.log.begin(), smsStore.log.end(), "del 3"), 0);
    EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, DV_E_CLOSED);
}

// ---- Send list ----

TEST_F(WorkerTest, SendList)
{
    connect();
    SmsSendRec rec;
    std::memset(&rec, 'x', sizeof rec); // no terminators at all
    std::vector<uint8_t> full(reinterpret_cast<uint8_t *>(&rec), reinterpret_cast<uint8_t *>(&rec) + sizeof rec);
    smsStore.opAnswers = {DV_E_TOOLONG, 0, DV_E_TIMEOUT};
    auto list = jobs({job(core::kJobWriteSms, 1, 0, {1, 2, 3}), job(core::kJobWriteSms, 1, 0, full),
                      job(core::kJobWriteSms, 1, 0, full), job(core::kJobWriteSms, 1, 0, full),
                      job(core::kJobWriteSms, 1, 0, full)});
    smsClt->SendList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    worker->batchStep();

    EXPECT_EQ((*list)[0].Result, DV_E_ARG) << "shorter than a message record";
    EXPECT_EQ((*list)[1].Result, DV_E_TOOLONG);
    EXPECT_EQ((*list)[2].Result, 0) << "a failed send does not stop the list";
    EXPECT_EQ((*list)[3].Result, DV_E_TIMEOUT);
    EXPECT_EQ((*list)[4].Result, DV_E_TIMEOUT) << "after a link fault nothing more is sent";
    ASSERT_EQ(smsStore.sent.size(), 3u);
    EXPECT_EQ(strnlen(smsStore.sent[0].number, sizeof rec.number), sizeof rec.number - 1);
    EXPECT_EQ(strnlen(smsStore.sent[0].text, sizeof rec.text), sizeof rec.text - 1);
    EXPECT_EQ(strnlen(smsStore.sent[0].sca, sizeof rec.sca), sizeof rec.sca - 1);
    EXPECT_EQ(progressTo(dialog, batch).front(), (std::pair<int32_t, intptr_t>{1, (5 << 16) + 21 + 0x400}));
}

TEST_F(WorkerTest, SendListOnAPhoneBookCallsNothing)
{
    connect();
    auto list = jobs({job(core::kJobWriteSms, 1, 0, std::vector<uint8_t>(308))});
    cardClt->SendList(list, dialog);
    worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ((*list)[0].Result, DV_E_UNSUPPORTED);
    EXPECT_TRUE(pbStore.log.empty());
}

// ---- Storage status ----

TEST_F(WorkerTest, StorageStatus)
{
    connect();
    pbStore.storages[2].total = 250;
    pbStore.storages[2].entries = {{1, "a"}, {2, "b"}};
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 2;
    cardClt->GetStorageInfo(st, dialog);
    const uint64_t batch = worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ(progressTo(dialog, batch), (P{{1, (1 << 16) + 12}}));
    EXPECT_EQ(st->Kind, MS_CAPS_PB);
    EXPECT_EQ(st->Total, 250);
    EXPECT_EQ(st->Used, 2);
    EXPECT_EQ(st->Last, 250);

    pbStore.storages[2].statAnswer = DV_E_TIMEOUT;
    cardClt->GetStorageInfo(st, dialog);
    worker->EndBatch();
    messages.clear();
    worker->batchStep();
    EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, DV_E_TIMEOUT);
    EXPECT_EQ(st->Kind, 0) << "a failure leaves nothing half-filled";
    EXPECT_EQ(st->Total, 0);
}

TEST_F(WorkerTest, ExtendedStatusOnTheMessageStoreCallsNothing)
{
    connect();
    smsStore.storages[1];
    auto st = std::make_shared<core::StorageStatusEx>();
    st->Stor = 1;
    st->Total = 9;
    smsClt->GetStorageInfoEx(st, dialog);
    worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, DV_E_UNSUPPORTED);
    EXPECT_TRUE(smsStore.log.empty()) << "slot 14 of a message store sends";
    EXPECT_TRUE(smsStore.sent.empty());
    EXPECT_EQ(st->Total, 0);
}

TEST_F(WorkerTest, ExtendedStatusKeepsACopyOfTheFieldTable)
{
    connect();
    pbStore.storages[1].entries = {{1, "a"}};
    auto table = std::make_unique<std::vector<TFieldParam>>(std::vector<TFieldParam>{{3, 0, 14, {}}, {5, 0, 40, {}}});
    pbStore.fields = table.get();
    auto st = std::make_shared<core::StorageStatusEx>();
    st->Stor = 1;
    cardClt->GetStorageInfoEx(st, dialog);
    const uint64_t batch = worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ(progressTo(dialog, batch), (P{{1, (1 << 16) + 13}}));
    // The driver's table goes with the plug-in.
    comm->Disconnect();
    pbStore.fields = nullptr;
    table.reset();
    ASSERT_EQ(st->FieldCount, 2);
    ASSERT_EQ(st->Fields.size(), 2u);
    EXPECT_EQ(st->Fields[1].type, 5);
    EXPECT_EQ(st->Fields[1].maxLen, 40);
    EXPECT_EQ(st->Slot15, 7);
    EXPECT_EQ(st->Used, 1);
}

// ---- Connection search ----

TEST_F(WorkerTest, SearchTriesEachPairInOrderUntilOneConnects)
{
    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect COM1 9600", DV_E_NOTCONN);
    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect COM1 19200", DV_E_NOTCONN);
    auto param = std::make_shared<core::UIConnParam>(
        core::UIConnParam{"Alpha", "Cable", {"COM1", "COM2"}, {"9600", "19200"}});
    worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, param});
    const uint64_t batch = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    EXPECT_EQ(configs(), (std::vector<std::string>{"COM1 9600", "COM1 19200", "COM2 9600"}));
    EXPECT_EQ(progressTo(dialog, batch), (P{{1, reinterpret_cast<intptr_t>(param.get())},
                                            {2, 0},
                                            {3, DV_E_NOTCONN},
                                            {2, 0},
                                            {3, DV_E_NOTCONN},
                                            {2, 0},
                                            {3, 0},
                                            {4, 0}}));
    EXPECT_EQ(workerPauses, (std::vector<int>{100, 300, 100, 300, 100}));
    EXPECT_EQ(posts(core::WM_COMM_DONE).at(0).w, 0);
    EXPECT_EQ(platform::Module::openCount(), 0) << "a test connects and lets go";
}

TEST_F(WorkerTest, SearchWithOnePairTestsThatPair)
{
    for (const auto &[param, expected] : std::vector<std::pair<core::UIConnParam, std::string>>{
             {{"Alpha", "Cable", {"/dev/ttyUSB1"}, {"57600"}}, "/dev/ttyUSB1 57600"},
             {{"Alpha", "Cable", {"/dev/ttyUSB2"}, {}}, "/dev/ttyUSB2 "},
         }) {
        fixctl_clearLog();
        workerPauses.clear();
        worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, std::make_shared<core::UIConnParam>(param)});
        worker->EndBatch();
        worker->batchStep();
        EXPECT_EQ(configs(), std::vector<std::string>{expected});
        EXPECT_EQ(workerPauses, (std::vector<int>{200, 300}));
    }
}

TEST_F(WorkerTest, ACancelledSearchPostsNoEnd)
{
    fixctl_setAnswer("CtlAlpha.so", "MsMng_connect", DV_E_NOTCONN);
    auto param = std::make_shared<core::UIConnParam>(
        core::UIConnParam{"Alpha", "Cable", {"COM1", "COM2"}, {"9600", "19200"}});
    worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, param});
    const uint64_t batch = worker->EndBatch();
    bool took = false;
    onPause = [&](int ms) {
        if (ms == 300 && !took)
            took = worker->CancelBatch(batch);
    };
    worker->batchStep();
    EXPECT_FALSE(took) << "the search was running: its done message acknowledges the cancel";
    EXPECT_EQ(configs().size(), 1u);
    for (const auto &[stage, value] : progressTo(dialog, batch))
        EXPECT_NE(stage, 4);
    ASSERT_EQ(posts(core::WM_COMM_DONE).size(), 1u);
    EXPECT_EQ(posts(core::WM_COMM_DONE)[0].w, DV_E_CANCELLED);
}

TEST_F(WorkerTest, ProgressCountIsClamped)
{
    connect();
    smsStore.storages[1].total = 70000;
    smsStore.storages[1].used = 70000;
    auto list = jobs({job(core::kJobRead, 1)});
    smsClt->ReadList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    worker->batchStep();
    const intptr_t begin = progressTo(dialog, batch).at(0).second;
    EXPECT_EQ(begin, (0x7FFF << 16) + 21 + 0x100);
    EXPECT_GT(static_cast<int32_t>(begin), 0);
}

} // namespace
} // namespace worker_test
