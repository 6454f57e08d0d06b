// One batch of device-client requests run on the worker, as every content manager needs it: the
// manager builds its jobs and argument blocks, hands them over as one batch and gets the outcome
// back once the batch has ended.
//
//   auto st = std::make_shared<core::StorageStatus>(core::StorageStatus{.Stor = 1});
//   auto jobs = std::make_shared<core::TDataArray>(1, core::TCommData{core::kJobRead, 1});
//   content::BatchOutcome out = runner.run(smsClt, {content::BatchRequest::storageStatus(st),
//                                                   content::BatchRequest::readList(jobs)});
//   if (out.cancelled) ...            // the user cancelled: jobs not tried carry -5, done ones their result
//   else use st, (*jobs)[i].Result / .Index and out.rows
//
// Cancelled is decided from the batch, never from the batch result: a batch result may itself be
// any code. The production runner is the progress dialog (modal, with a cancel button); the headless
// one here serves tests and tools.
//
// User-interface thread only; one batch at a time.
#pragma once

#include "core/comm/comm_command.h"
#include "core/comm/comm_thread.h"
#include "core/comm_data.h"
#include "platform/window_messages.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace content {

// One request of a batch: the command code and its block or job list (shared with the worker).
struct BatchRequest {
    uint8_t code = 0;
    std::shared_ptr<core::TDataArray> jobs;           // read, write and send lists
    std::shared_ptr<core::StorageStatus> status;      // storage status
    std::shared_ptr<core::StorageStatusEx> statusEx;  // extended storage status

    static BatchRequest readList(std::shared_ptr<core::TDataArray> j) { return {core::kCmdReadList, std::move(j), {}, {}}; }
    static BatchRequest writeList(std::shared_ptr<core::TDataArray> j) { return {core::kCmdWriteList, std::move(j), {}, {}}; }
    static BatchRequest sendList(std::shared_ptr<core::TDataArray> j) { return {core::kCmdSendList, std::move(j), {}, {}}; }
    static BatchRequest storageStatus(std::shared_ptr<core::StorageStatus> s) { return {core::kCmdStorStatus, {}, std::move(s), {}}; }
    static BatchRequest storageStatusEx(std::shared_ptr<core::StorageStatusEx> s)
    {
        return {core::kCmdStorStatusEx, {}, {}, std::move(s)};
    }
};

// One row of the hand-over table.
struct HandOverRow {
    int32_t stor = 0;
    int32_t index = 0;
    std::vector<uint8_t> data;
};

struct BatchOutcome {
    // The user cancelled the batch (before it ran, or it stopped at an item): its rows are empty,
    // its status blocks are not to be trusted; a job the worker never tried has Result -5.
    bool cancelled = false;
    // The worker has finished with the batch, so the jobs' Result and Index are final. False only
    // when a runner had to give up on a batch the worker still runs (a dialog closed from outside).
    bool settled = true;
    // The runner has shown the batch's link fault to the user already (the progress dialog does).
    bool faultShown = false;
    int32_t result = 0;            // the batch result (the last command's), when not cancelled
    std::vector<HandOverRow> rows; // the hand-over table after the batch, when not cancelled
};

class BatchRunner {
public:
    virtual ~BatchRunner() = default;
    // Queues the requests through client (in order), closes the batch and waits for its end.
    // An empty batch answers at once (result 0). A request without its block is passed over.
    virtual BatchOutcome run(core::TBaseClt &client, const std::vector<BatchRequest> &batch) = 0;
};

// The headless runner over the worker. Stepped (the worker's thread is not running): the batch is
// run here with TCommThread::batchStep(). Threaded: it waits for WM_COMM_DONE to its own window,
// calling `pump` between short waits (as a modal dialog's event loop would run other events).
class WorkerBatchRunner final : public BatchRunner {
public:
    struct Setup {
        bool stepped = true;
        std::chrono::milliseconds timeout{120000}; // threaded: cancel after this long (then wait for the acknowledgement)
        std::function<void()> pump;                 // threaded: runs while waiting
    };

    // messages must be the worker's; the runner opens its own window on it.
    WorkerBatchRunner(core::TCommThread &worker, core::TdmCommData &data,
                      platform::RecordingWindowMessages &messages, Setup setup);
    WorkerBatchRunner(core::TCommThread &worker, core::TdmCommData &data,
                      platform::RecordingWindowMessages &messages)
        : WorkerBatchRunner(worker, data, messages, Setup{})
    {
    }
    ~WorkerBatchRunner() override;

    BatchOutcome run(core::TBaseClt &client, const std::vector<BatchRequest> &batch) override;

    // The cancel button: cancels the batch in flight; true when it took effect before the worker
    // took the batch (no done message will come); false while the worker runs it (run() then
    // waits for the done message that acknowledges it). May be called from inside the batch (a
    // test's handset script, the pump).
    bool cancel();
    // The batch in flight (0: none).
    uint64_t currentBatch() const { return batch_; }
    platform::WindowId window() const { return window_; }
    int batchesRun() const { return runs_; }

private:
    core::TCommThread &worker_;
    core::TdmCommData &data_;
    platform::RecordingWindowMessages &messages_;
    Setup setup_;
    platform::WindowId window_;
    uint64_t batch_ = 0;
    bool cancelled_ = false;
    bool cancelAsked_ = false;
    int runs_ = 0;
};

} // namespace content
