// Batches and cancel: when a batch runs, where it stops, and that every batch ends in exactly one
// of "cancel took effect" and "WM_COMM_DONE with its serial".

#include "worker_fixture.h"

#include <atomic>
#include <random>
#include <stdexcept>
#include <thread>

namespace worker_test {
namespace {

using core::TCommData;

TEST_F(WorkerTest, CommandsWaitForTheirMarkerAndALeadingMarkerIsDropped)
{
    connect();
    smsStore.storages[1];
    const uint64_t empty = worker->EndBatch(); // closes nothing
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    ASSERT_EQ(smsClt->GetStorageInfo(st, dialog), 0);
    EXPECT_FALSE(worker->batchStep());
    EXPECT_TRUE(smsStore.log.empty()) << "nothing runs before the marker";
    EXPECT_GT(worker->idleStep(), 0) << "a command without its marker does not keep the worker awake";

    const uint64_t batch = worker->EndBatch();
    EXPECT_NE(batch, empty);
    ASSERT_TRUE(worker->batchStep());
    EXPECT_FALSE(worker->batchStep());
    EXPECT_FALSE(worker->CancelBatch(empty));
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].window, dialog);
    EXPECT_EQ(done[0].w, 0);
    EXPECT_EQ(static_cast<uint64_t>(done[0].l), batch);
    EXPECT_EQ(st->Kind, MS_CAPS_SMS);
}

TEST_F(WorkerTest, ASearchThatConnectsEndsTheBatch)
{
    connect();
    auto param = std::make_shared<core::UIConnParam>(core::UIConnParam{"Alpha", "Cable", {"COM3"}, {"9600"}});
    auto st = std::make_shared<core::StorageStatus>();
    worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, param});
    worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, param});
    smsClt->GetStorageInfo(st, dialog);
    const uint64_t batch = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    EXPECT_EQ(configs(), std::vector<std::string>{"COM3 9600"}) << "one search, nothing after it";
    EXPECT_TRUE(smsStore.log.empty());
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].w, 0);
    EXPECT_EQ(static_cast<uint64_t>(done[0].l), batch);
}

TEST_F(WorkerTest, ACommandAnsweringCancelledEndsTheBatch)
{
    connect();
    smsStore.storages[1];
    SmsSendRec rec{};
    smsStore.opAnswers = {DV_E_CANCELLED}; // the driver's wait was cancelled
    auto sends = jobs({job(core::kJobWriteSms, 1, 0,
                           std::vector<uint8_t>(reinterpret_cast<uint8_t *>(&rec),
                                                reinterpret_cast<uint8_t *>(&rec) + sizeof rec))});
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    smsClt->SendList(sends, dialog);
    smsClt->GetStorageInfo(st, dialog);
    const uint64_t batch = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].w, DV_E_CANCELLED);
    EXPECT_EQ(static_cast<uint64_t>(done[0].l), batch);
    EXPECT_EQ(std::count(smsStore.log.begin(), smsStore.log.end(), "getCaps"), 0) << "the status never ran";
    EXPECT_EQ(st->Stor, 1);
}

TEST_F(WorkerTest, AStaleInterfaceAnswersNotConnectedWithoutACall)
{
    connect();
    const uint64_t old = comm->currentSerial();
    comm->Close();
    ASSERT_EQ(comm->Connect(), 0);
    smsStore.log.clear();
    auto list = jobs({job(core::kJobRead, 1)});
    worker->AddCommand({MS_ITF_SMS, old, dialog, true, core::kCmdReadList, list});
    worker->EndBatch();
    worker->batchStep();
    EXPECT_TRUE(smsStore.log.empty());
    ASSERT_EQ(posts(core::WM_COMM_DONE).size(), 1u);
    EXPECT_EQ(posts(core::WM_COMM_DONE)[0].w, DV_E_NOTCONN);
    EXPECT_EQ((*list)[0].Result, DV_E_NOTCONN);
}

TEST_F(WorkerTest, AFailedReadListLeavesNoEarlierRowsBehind)
{
    connect();
    commData.AddData(1, 7, "old", 3); // an earlier list's row
    const uint64_t old = comm->currentSerial();
    comm->Close();
    ASSERT_EQ(comm->Connect(), 0);
    worker->AddCommand({MS_ITF_SMS, old, dialog, true, core::kCmdReadList, jobs({job(core::kJobRead, 1)})});
    worker->EndBatch();
    worker->batchStep();
    EXPECT_EQ(commData.Count(), 0);
}

TEST_F(WorkerTest, AMissingArgumentAnswersBadArgument)
{
    connect();
    worker->AddCommand({MS_ITF_SMS, comm->currentSerial(), dialog, true, core::kCmdReadList, {}});
    EXPECT_EQ(worker->AddCommand({0, 0, dialog, true, core::kCmdEndBatch, {}}), DV_E_ARG) << "markers via EndBatch only";
    worker->EndBatch();
    worker->batchStep();
    ASSERT_EQ(posts(core::WM_COMM_DONE).size(), 1u);
    EXPECT_EQ(posts(core::WM_COMM_DONE)[0].w, DV_E_ARG);
}

TEST_F(WorkerTest, AThrowingCommandFailsItsBatchOnly)
{
    connect();
    smsStore.storages[1];
    smsStore.onCall = [](const std::string &what) {
        if (what == "getStat")
            throw std::runtime_error("driver fault");
    };
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    smsClt->GetStorageInfo(st, dialog);
    worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    smsStore.onCall = nullptr;
    smsClt->GetStorageInfo(st, dialog);
    worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].w, DV_E_FAIL);
    EXPECT_EQ(done[1].w, 0);
}

TEST_F(WorkerTest, SearchProgressGoesToTheSearchsOwnWindow)
{
    const WindowId other = messages.openWindow();
    auto param = std::make_shared<core::UIConnParam>(core::UIConnParam{"Alpha", "Cable", {"COM3"}, {"9600"}});
    worker->AddCommand({0, 0, dialog, true, core::kCmdSearch, param});
    const uint64_t batch = worker->EndBatch();
    // Queued later for another window: it must not take the search's progress.
    worker->AddCommand({0, 0, other, true, core::kCmdSearch, param});
    worker->batchStep();
    EXPECT_EQ(progressTo(dialog, batch).size(), 4u);
    EXPECT_TRUE(progressTo(other, batch).empty());
}

// ---- Cancel rows ----

TEST_F(WorkerTest, CancelBeforeTheBatchRunsNothingAndPostsNothing)
{
    connect();
    smsStore.storages[1].entries = {{1, "a"}};
    auto list = jobs({job(core::kJobRead, 1), job(core::kJobRead, 2)});
    smsClt->ReadList(list, dialog);
    const uint64_t batch = worker->EndBatch();
    EXPECT_TRUE(worker->CancelBatch(batch));
    // Marked by the cancel itself: the worker never touches a batch cancelled before it ran.
    EXPECT_EQ((*list)[0].Result, DV_E_CANCELLED);
    ASSERT_TRUE(worker->batchStep());
    EXPECT_TRUE(smsStore.log.empty());
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ((*list)[0].Result, DV_E_CANCELLED) << "an untried job is not shown as done";
    EXPECT_EQ((*list)[1].Result, DV_E_CANCELLED);
    EXPECT_FALSE(worker->CancelBatch(batch)) << "the batch has ended";
}

TEST_F(WorkerTest, CancelDuringTheBatchStopsAtTheNextItem)
{
    connect();
    smsStore.storages[1].entries = {{1, "a"}, {2, "b"}, {3, "c"}};
    smsStore.storages[2].entries = {{1, "d"}};
    auto reads = jobs({job(core::kJobRead, 1), job(core::kJobRead, 2)});
    auto writes = jobs({job(core::kJobWritePb, 1, -1, {'x'})});
    smsClt->ReadList(reads, dialog);
    cardClt->WriteList(writes, dialog);
    const uint64_t batch = worker->EndBatch();
    bool took = false;
    smsStore.onCall = [&](const std::string &what) {
        if (what == "readData 10240" && !took)
            took = worker->CancelBatch(batch);
    };
    ASSERT_TRUE(worker->batchStep());
    // The worker was inside the batch: the cancel is acknowledged by the done message, posted
    // once the worker has let go of the records.
    EXPECT_FALSE(took);
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].w, DV_E_CANCELLED);
    EXPECT_EQ(static_cast<uint64_t>(done[0].l), batch);
    EXPECT_EQ(commData.Count(), 1) << "what was read after the cancel is dropped";
    // The listing is walked to its end so the driver's state stays clean, then the list stops.
    EXPECT_EQ(std::count(smsStore.log.begin(), smsStore.log.end(), "readNext 0"), 3);
    EXPECT_EQ(std::count(smsStore.log.begin(), smsStore.log.end(), "setStor 2"), 0);
    EXPECT_EQ((*reads)[0].Result, DV_E_CANCELLED);
    EXPECT_EQ((*reads)[1].Result, DV_E_CANCELLED);
    EXPECT_EQ((*writes)[0].Result, DV_E_CANCELLED);
    EXPECT_TRUE(pbStore.log.empty());
}

TEST_F(WorkerTest, CancelAfterTheBatchEndedDoesNotTouchTheNext)
{
    connect();
    auto st1 = std::make_shared<core::StorageStatus>(), st2 = std::make_shared<core::StorageStatus>();
    smsClt->GetStorageInfo(st1, dialog);
    const uint64_t first = worker->EndBatch();
    smsClt->GetStorageInfo(st2, dialog);
    const uint64_t second = worker->EndBatch();
    ASSERT_TRUE(worker->batchStep());
    EXPECT_FALSE(worker->CancelBatch(first));
    ASSERT_TRUE(worker->batchStep());
    const auto done = posts(core::WM_COMM_DONE);
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(static_cast<uint64_t>(done[0].l), first);
    EXPECT_EQ(static_cast<uint64_t>(done[1].l), second);
}

TEST_F(WorkerTest, CancelDuringAStatusSkipsTheRestOfTheBatch)
{
    connect();
    smsStore.storages[1].entries = {{1, "a"}};
    auto st = std::make_shared<core::StorageStatus>();
    st->Stor = 1;
    auto reads = jobs({job(core::kJobRead, 1)});
    smsClt->GetStorageInfo(st, dialog);
    smsClt->ReadList(reads, dialog);
    const uint64_t batch = worker->EndBatch();
    bool took = false;
    smsStore.onCall = [&](const std::string &what) {
        if (what == "getStat" && !took)
            took = worker->CancelBatch(batch);
    };
    ASSERT_TRUE(worker->batchStep());
    EXPECT_FALSE(took);
    ASSERT_EQ(posts(core::WM_COMM_DONE).size(), 1u);
    EXPECT_EQ(posts(core::WM_COMM_DONE)[0].w, DV_E_CANCELLED);
    EXPECT_EQ(std::count(smsStore.log.begin(), smsStore.log.end(), "getStat"), 1) << "the read list never ran";
    EXPECT_EQ((*reads)[0].Result, DV_E_CANCELLED);
}

// The user-interface thread cancels while the worker finishes the batch: whatever the timing,
// exactly one of the two outcomes.
TEST_F(WorkerTest, CancelRacingCompletionHasExactlyOneOutcome)
{
    connect();
    std::mt19937 rng(20261210);
    for (int round = 0; round < 200; ++round) {
        messages.clear();
        auto st = std::make_shared<core::StorageStatus>();
        st->Stor = 1;
        smsClt->GetStorageInfo(st, dialog);
        const uint64_t batch = worker->EndBatch();
        const int delayUs = static_cast<int>(rng() % 300);
        std::atomic<bool> go{false};
        bool took = false;
        std::thread ui([&] {
            while (!go.load())
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            took = worker->CancelBatch(batch);
        });
        go.store(true);
        ASSERT_TRUE(worker->batchStep());
        ui.join();
        int dones = 0;
        for (const auto &m : posts(core::WM_COMM_DONE))
            dones += static_cast<uint64_t>(m.l) == batch;
        ASSERT_EQ(took + dones, 1) << "round " << round << " delay " << delayUs << " us";
    }
}

} // namespace
} // namespace worker_test
