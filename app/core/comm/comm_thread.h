// The worker: the one thread that talks to the handset. It runs queued command batches through
// the driver interfaces inside the connection lock, and between batches keeps the connection
// alive (automatic connection, idle disconnection, handset check, battery and signal reports).
// It reports to windows only by posting.
//
//   core::TCommThread worker(comm, commData, messages, mainWindow);
//   worker.start();
//   smsClt.ReadList(jobs, dialog);  uint64_t batch = worker.EndBatch();
//   ... dialog: WM_COMM_DONE with l == batch closes it; cancel: if (worker.CancelBatch(batch)) no DONE
//   follows, else the DONE that follows (-5 when the cancel stopped the batch) acknowledges it
//   worker.stop(deadline);          // cancels a driver wait in progress, closes the connection
//
// The work is two steps, batchStep() and idleStep(), which tests call directly on their own
// thread with a fake clock and a pause recorder; start() runs them in a loop on a thread whose
// idle sleep wakes at once for AddCommand, EndBatch and stop.
//
// A batch is the commands ahead of an end-of-batch marker. Its fate is decided once, under the
// queue lock, when the worker takes it: either CancelBatch reached it first (CancelBatch answers
// true, marks its jobs -5, the worker never touches it and no WM_COMM_DONE is posted) or
// WM_COMM_DONE with its serial follows, posted after the worker's last write to its records (a
// later CancelBatch answers false and stops the batch at its next item). Never both, never neither.
//
// Locks: connection lock first; the idle lock and the hand-over table's lock only inside it; the
// queue lock is never held together with another lock.
#pragma once

#include "core/comm/comm_command.h"
#include "core/comm/comm_mng.h"
#include "core/comm_data.h"
#include "platform/clock.h"
#include "platform/window_messages.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace core {

struct CommThreadSetup {
    platform::Clock *clock = nullptr;      // nullptr: the system clock
    // The short waits between connection attempts and after a parameter change. nullptr: a real
    // wait that ends early when stop() is called. Tests pass a recorder.
    std::function<void(int ms)> pause;
    // The loop's sleep between idle steps: given the interval the step asked for, answers how many
    // real milliseconds to wait (the wait still ends at once for a batch or stop). nullptr: as asked.
    // Tests answer a few ms, and may move their fake clock by the interval, so steps follow quickly.
    std::function<int32_t(int32_t askedMs)> idleSleep;
    // The driver's maximum read for one entry.
    int readBufferSize = 10240;
};

class TCommThread {
public:
    TCommThread(TCommMng &mng, TdmCommData &commData, platform::WindowMessages &messages,
                platform::WindowId mainWindow, CommThreadSetup setup = {});
    // Stops the thread (no deadline) when it runs.
    ~TCommThread();
    TCommThread(const TCommThread &) = delete;
    TCommThread &operator=(const TCommThread &) = delete;

    // ---- Requests (any thread) ----
    // Queues a copy of the command (codes 1, 3..7); 0. Code 2 is refused (-81): use EndBatch.
    int32_t AddCommand(const TCommCommand &command);
    // Closes the batch of the commands queued so far; answers its serial (never 0).
    uint64_t EndBatch();
    // Cancels batch serial: true when the worker had not taken it (no WM_COMM_DONE will come for
    // it; its untried jobs are marked -5 here); false when the worker runs it (it stops at the next
    // item and its WM_COMM_DONE acknowledges the cancel), has ended it, or it is unknown.
    bool CancelBatch(uint64_t batch);
    // Idle time-out in ms (0 off; 10 s or less never disconnects); restarts the idle count.
    void SetIdleTimeout(int64_t ms);
    int64_t IdleTimeout() const;

    // ---- Thread ----
    void start();
    // Asks the thread to end, cancels a driver wait in progress, and waits until deadline. True
    // when the thread has ended (also when it never ran); false when it is still running then.
    bool stop(std::chrono::steady_clock::time_point deadline);
    bool stop(std::chrono::milliseconds within) { return stop(std::chrono::steady_clock::now() + within); }

    // ---- Steps (tests; the thread runs them) ----
    // Runs the first complete batch in the queue, if any. True when a batch was taken.
    bool batchStep();
    // One idle step; answers how long to sleep before the next step (0: the queue is not empty).
    int32_t idleStep();
    bool connectedFlag() const { return connected_.load(); }

private:
    struct Batch;
    struct Entry {
        TCommCommand cmd;
        std::shared_ptr<Batch> marker; // set for an end-of-batch marker
    };

    // Commands.
    int32_t runCommand(const TCommCommand &cmd);
    int32_t searchConnection(const TCommCommand &cmd, UIConnParam &param);
    int32_t readList(const TCommCommand &cmd, TDataArray &jobs);
    int32_t writeList(const TCommCommand &cmd, TDataArray &jobs);
    int32_t sendList(const TCommCommand &cmd, TDataArray &jobs);
    int32_t storageStatus(const TCommCommand &cmd, StorageStatus &st, StorageStatusEx *ex);
    // The loop a write or send list shares: progress (kind base + kindOffset), a cancel check
    // before each job, the job's result kept, and the rest marked untried after a link fault.
    // one answers a job's result, or nothing for a job it skips (no result kept).
    int32_t runJobs(const TCommCommand &cmd, TDataArray &jobs, int32_t kindOffset,
                    const std::function<std::optional<int32_t>(TCommData &)> &one);

    bool cancelled() const;
    void progress(int32_t stage, intptr_t value);
    void searchProgress(const TCommCommand &cmd, int32_t stage, intptr_t value);
    int32_t kindBase(int32_t itf, int32_t stor) const;
    void pause(int ms);
    int64_t now() const { return clock_.nowMs(); }
    void post(platform::WindowId w, uint32_t msg, intptr_t a, intptr_t b) { messages_.post(w, msg, a, b); }
    void connectedNow(); // bookkeeping after a successful connect or recheck
    bool batchWaiting() const; // a complete batch is queued; the queue lock is held
    void run();

    TCommMng &mng_;
    TdmCommData &commData_;
    platform::WindowMessages &messages_;
    const platform::WindowId mainWindow_;
    platform::Clock &clock_;
    std::function<void(int)> pause_;
    std::function<int32_t(int32_t)> idleSleep_;
    const int readBufferSize_;

    // Queue lock.
    mutable std::mutex queueLock_;
    std::condition_variable wake_;
    std::deque<Entry> queue_;
    uint64_t nextBatch_ = 1;
    bool stopRequested_ = false;

    // The batch being run (worker only) and what its progress needs.
    std::shared_ptr<Batch> current_;
    platform::WindowId progressWindow_ = platform::kNoWindow;
    bool progressOn_ = false;

    // Idle lock.
    mutable std::mutex idleLock_;
    int64_t idleTimeout_ = 0;
    int64_t lastBatch_ = 0;
    int64_t lastReport_ = 0;
    bool reportDue_ = false;

    std::atomic<bool> connected_{false};
    std::atomic<bool> stopping_{false};
    std::mutex pauseLock_;
    std::condition_variable pauseCv_;
    std::thread thread_;
    std::mutex endLock_;
    std::condition_variable ended_;
    bool running_ = false;
};

} // namespace core
