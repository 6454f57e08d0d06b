#include "core/comm/comm_thread.h"

#include "platform/pump.h"

#include "dv_result.h"
#include "dv_util.h"
#include "dv_vos.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

namespace core {

namespace {

constexpr int64_t kMinIdleTimeoutMs = 10000; // a time-out of 10 s or less never disconnects
constexpr int64_t kReportEveryMs = 120000;
constexpr int32_t kDefaultSleepMs = 5000;
constexpr int32_t kMaxProgressCount = 0x7FFF; // count << 16 stays a positive 32-bit value
constexpr int32_t kMaxFieldCount = 1024;      // more field limits than any phone book has

void logLine(const char *what, const char *detail = "")
{
    std::fprintf(stderr, "Worker: %s%s\n", what, detail);
}

bool isLinkFault(int32_t r)
{
    return r < 0 && NetUtil_isFaultErr(r) != 0;
}

intptr_t beginValue(int32_t count, int32_t kind)
{
    const int32_t c = std::clamp(count, 0, kMaxProgressCount);
    return static_cast<intptr_t>((c << 16) + kind);
}

bool handlesKind(uint8_t code, int32_t kind)
{
    switch (code) {
    case kCmdReadList: return kind == kJobRead;
    case kCmdWriteList: return kind == kJobWritePb || kind == kJobWriteSms || kind == kJobDelete;
    case kCmdSendList: return true;
    default: return false;
    }
}

// Jobs from `from` on that a stopped list never reached get the stop reason.
void markUntried(uint8_t code, TDataArray &jobs, size_t from, int32_t reason)
{
    for (size_t i = from; i < jobs.size(); ++i)
        if (handlesKind(code, jobs[i].Kind))
            jobs[i].Result = reason;
}

void markUntried(const TCommCommand &cmd, int32_t reason)
{
    if (auto *jobs = std::get_if<std::shared_ptr<TDataArray>>(&cmd.arg); jobs && *jobs)
        markUntried(cmd.code, **jobs, 0, reason);
}

} // namespace

struct TCommThread::Batch {
    uint64_t serial = 0;
    std::atomic<bool> cancelled{false}; // written under the queue lock
    bool started = false;               // the worker has taken the batch; under the queue lock
};

TCommThread::TCommThread(TCommMng &mng, TdmCommData &commData, platform::WindowMessages &messages,
                         platform::WindowId mainWindow, CommThreadSetup setup)
    : mng_(mng), commData_(commData), messages_(messages), mainWindow_(mainWindow),
      clock_(setup.clock ? *setup.clock : platform::SystemClock::instance()), pause_(std::move(setup.pause)),
      idleSleep_(std::move(setup.idleSleep)),
      readBufferSize_(std::clamp(setup.readBufferSize, 1, TdmCommData::kMaxDataLen))
{
    lastBatch_ = now();
}

TCommThread::~TCommThread()
{
    stop(std::chrono::steady_clock::time_point::max());
}

// ---- Requests ----

int32_t TCommThread::AddCommand(const TCommCommand &command)
{
    if (command.code != kCmdSearch && (command.code < kCmdReadList || command.code > kCmdStorStatusEx))
        return DV_E_ARG;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.push_back(Entry{command, nullptr});
    }
    wake_.notify_all();
    return 0;
}

uint64_t TCommThread::EndBatch()
{
    uint64_t serial;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        auto marker = std::make_shared<Batch>();
        serial = marker->serial = nextBatch_++;
        queue_.push_back(Entry{TCommCommand{0, 0, platform::kNoWindow, false, kCmdEndBatch, {}}, marker});
    }
    wake_.notify_all();
    return serial;
}

bool TCommThread::CancelBatch(uint64_t batch)
{
    // The worker takes a batch under this lock. One it has not taken yet is cancelled here for
    // good: its untried jobs are marked on the caller's thread and the worker never touches them.
    // One it runs only gets the flag: the worker stops at its next item and posts WM_COMM_DONE
    // once it has let go of the batch's records, which is the acknowledgement the caller waits for.
    std::lock_guard<std::mutex> lock(queueLock_);
    size_t begin = 0;
    for (size_t i = 0; i < queue_.size(); ++i) {
        const Entry &e = queue_[i];
        if (!e.marker)
            continue;
        if (e.marker->serial != batch) {
            begin = i + 1;
            continue;
        }
        e.marker->cancelled.store(true);
        if (e.marker->started)
            return false;
        for (size_t k = begin; k < i; ++k)
            markUntried(queue_[k].cmd, DV_E_CANCELLED);
        return true;
    }
    return false;
}

void TCommThread::SetIdleTimeout(int64_t ms)
{
    std::lock_guard<std::mutex> lock(idleLock_);
    idleTimeout_ = std::max<int64_t>(ms, 0);
    lastBatch_ = now();
}

int64_t TCommThread::IdleTimeout() const
{
    std::lock_guard<std::mutex> lock(idleLock_);
    return idleTimeout_;
}

// ---- Thread ----

void TCommThread::start()
{
    std::lock_guard<std::mutex> lock(endLock_);
    if (running_ || thread_.joinable())
        return;
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

bool TCommThread::stop(std::chrono::steady_clock::time_point deadline)
{
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        stopRequested_ = true;
    }
    stopping_.store(true);
    wake_.notify_all();
    {
        std::lock_guard<std::mutex> lock(pauseLock_);
    }
    pauseCv_.notify_all();
    std::unique_lock<std::mutex> lock(endLock_);
    if (deadline == std::chrono::steady_clock::time_point::max())
        ended_.wait(lock, [this] { return !running_; });
    else if (!ended_.wait_until(lock, deadline, [this] { return !running_; }))
        return false;
    // Joined under the lock, so two callers of stop never both join; the thread has left the lock
    // for good once running_ is false.
    if (thread_.joinable())
        thread_.join();
    return true;
}

void TCommThread::run()
{
    // A driver wait pumps this thread: once stop is asked, every pass cancels the wait it is in.
    platform::ScopedThreadPump pump([this] {
        if (stopping_.load())
            CnsVos_cancelBlocking();
    });
    while (!stopping_.load()) {
        try {
            batchStep();
            if (stopping_.load())
                break;
            int32_t sleepMs = idleStep();
            if (sleepMs > 0 && idleSleep_)
                sleepMs = idleSleep_(sleepMs);
            if (sleepMs > 0) {
                std::unique_lock<std::mutex> lock(queueLock_);
                wake_.wait_for(lock, std::chrono::milliseconds(sleepMs),
                               [this] { return stopRequested_ || batchWaiting(); });
            }
        } catch (const std::exception &e) {
            logLine("step failed: ", e.what());
        } catch (...) {
            logLine("step failed");
        }
    }
    try {
        CommLock lock(mng_);
        mng_.Close();
    } catch (...) {
        logLine("close at stop failed");
    }
    connected_.store(false);
    std::lock_guard<std::mutex> lock(endLock_);
    running_ = false;
    ended_.notify_all();
}

void TCommThread::pause(int ms)
{
    if (pause_) {
        pause_(ms);
        return;
    }
    // Its own lock: a pause runs inside the connection lock, and the queue lock never nests.
    std::unique_lock<std::mutex> lock(pauseLock_);
    pauseCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

// ---- Batch step ----

bool TCommThread::batchStep()
{
    std::vector<TCommCommand> cmds;
    std::shared_ptr<Batch> marker;
    bool cancelledEarly = false;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        while (!queue_.empty() && queue_.front().marker)
            queue_.pop_front(); // a marker with nothing before it closes nothing
        for (const Entry &e : queue_) {
            if (e.marker) {
                marker = e.marker;
                break;
            }
            cmds.push_back(e.cmd);
        }
        if (!marker)
            return false; // the commands wait for their marker
        marker->started = true;
        cancelledEarly = marker->cancelled.load();
    }

    current_ = marker;
    progressWindow_ = cmds.front().window;
    progressOn_ = cmds.front().progress && progressWindow_ != platform::kNoWindow;

    int32_t result = 0;
    size_t ran = 0;
    if (!cancelledEarly) {
        for (; ran < cmds.size(); ++ran) {
            const TCommCommand &cmd = cmds[ran];
            if (ran > 0 && marker->cancelled.load()) {
                // A cancel during a command that never looks at it (a status) stops here.
                result = DV_E_CANCELLED;
                break;
            }
            try {
                result = runCommand(cmd);
            } catch (const std::exception &e) {
                logLine("command failed: ", e.what());
                result = DV_E_FAIL;
            } catch (...) {
                logLine("command failed");
                result = DV_E_FAIL;
            }
            if (result == DV_E_CANCELLED || (cmd.code == kCmdSearch && result == 0)) {
                ++ran;
                break;
            }
        }
        if (result == DV_E_CANCELLED)
            for (size_t i = ran; i < cmds.size(); ++i)
                markUntried(cmds[i], result);
    }

    {
        std::lock_guard<std::mutex> lock(idleLock_);
        lastBatch_ = now();
    }

    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(cmds.size() + 1));
    }
    current_.reset();
    // A batch cancelled before it was taken is the canceller's alone: nothing is posted. Any other
    // batch ends with its done message, posted after the last write to its records, so whoever
    // reads them on that message reads them final (a cancel during the run gives -5 here, and the
    // jobs finished before it keep their real results).
    if (!cancelledEarly)
        post(cmds.back().window, WM_COMM_DONE, result, static_cast<intptr_t>(marker->serial));
    return true;
}

bool TCommThread::cancelled() const
{
    return current_ && current_->cancelled.load();
}

void TCommThread::progress(int32_t stage, intptr_t value)
{
    if (progressOn_ && current_)
        post(progressWindow_, WM_COMM_PROGRESS, progressW(current_->serial, stage), value);
}

void TCommThread::searchProgress(const TCommCommand &cmd, int32_t stage, intptr_t value)
{
    if (cmd.progress && cmd.window != platform::kNoWindow && !cancelled() && current_)
        post(cmd.window, WM_COMM_PROGRESS, progressW(current_->serial, stage), value);
}

int32_t TCommThread::kindBase(int32_t itf, int32_t stor) const
{
    switch (itf) {
    case MS_ITF_PB: return stor == 1 ? 11 : stor == 2 ? 12 : 10;
    case MS_ITF_PB2: return 13;
    case MS_ITF_PB3: return 14;
    case MS_ITF_SMS: return stor == 1 ? 21 : stor == 2 ? 22 : 20;
    default: return 0;
    }
}

int32_t TCommThread::runCommand(const TCommCommand &cmd)
{
    switch (cmd.code) {
    case kCmdSearch:
        if (auto *p = std::get_if<std::shared_ptr<UIConnParam>>(&cmd.arg); p && *p)
            return searchConnection(cmd, **p);
        break;
    case kCmdReadList:
    case kCmdWriteList:
    case kCmdSendList:
        if (auto *p = std::get_if<std::shared_ptr<TDataArray>>(&cmd.arg); p && *p) {
            if (cmd.code == kCmdReadList)
                return readList(cmd, **p);
            return cmd.code == kCmdWriteList ? writeList(cmd, **p) : sendList(cmd, **p);
        }
        break;
    case kCmdStorStatus:
        if (auto *p = std::get_if<std::shared_ptr<StorageStatus>>(&cmd.arg); p && *p)
            return storageStatus(cmd, **p, nullptr);
        break;
    case kCmdStorStatusEx:
        if (auto *p = std::get_if<std::shared_ptr<StorageStatusEx>>(&cmd.arg); p && *p)
            return storageStatus(cmd, **p, p->get());
        break;
    default: break;
    }
    logLine("command without its argument");
    return DV_E_ARG;
}

// ---- Commands ----

int32_t TCommThread::readList(const TCommCommand &cmd, TDataArray &jobs)
{
    CommLock lock(mng_);
    // Cleared before anything can fail: the rows of an earlier list must never pass for this one's.
    commData_.ClearData();
    if (!lock.connected()) {
        markUntried(cmd.code, jobs, 0, DV_E_NOTCONN);
        return DV_E_NOTCONN;
    }
    auto *stor = mng_.interfaceAs<StorItf>(cmd.itfId, cmd.serial);
    if (!stor) {
        markUntried(cmd.code, jobs, 0, DV_E_NOTCONN);
        return DV_E_NOTCONN;
    }
    std::vector<uint8_t> buf(static_cast<size_t>(readBufferSize_) + 1);
    int32_t result = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        TCommData &job = jobs[i];
        if (job.Kind != kJobRead)
            continue;
        int32_t r = stor->setStor(stor, job.Stor);
        if (r == DV_E_UNSUPPORTED) {
            job.Result = r; // the handset has no such storage: read the next one
            continue;
        }
        int32_t total = 0, used = 0, first = 0, last = 0;
        if (r >= 0)
            r = stor->getStat(stor, 0, &total, &used, &first, &last);
        if (r < 0) {
            markUntried(cmd.code, jobs, i, r);
            result = r;
            progress(kStageEnd, 0);
            return result;
        }
        if (used < 0)
            used = total > 0 ? total : 0;
        progress(kStageBegin, beginValue(used, kindBase(cmd.itfId, job.Stor) + 0x100));

        bool cancelSeen = false;
        r = stor->readNext(stor, 0, &job.Index, 1);
        while (r == 1) {
            progress(kStageStep, 0x10001);
            cancelSeen = cancelSeen || cancelled();
            // The driver may claim more than the buffer holds: never take more than it.
            const int32_t n = stor->readData(stor, buf.data(), readBufferSize_);
            if (n >= 0 && !cancelSeen)
                commData_.AddData(job.Stor, job.Index, buf.data(), std::min(n, readBufferSize_));
            job.Done = 1;
            r = stor->readNext(stor, 0, &job.Index, 0);
        }
        if (r == DV_E_LISTEND || r == DV_E_RANGE)
            r = 0;
        if (cancelSeen) {
            // The walk was finished so the driver's listing ends cleanly; its entries are dropped.
            markUntried(cmd.code, jobs, i, DV_E_CANCELLED);
            return DV_E_CANCELLED;
        }
        job.Result = r;
        result = r;
        if (isLinkFault(r)) {
            markUntried(cmd.code, jobs, i + 1, r);
            break;
        }
    }
    progress(kStageEnd, 0);
    return result;
}

int32_t TCommThread::writeList(const TCommCommand &cmd, TDataArray &jobs)
{
    CommLock lock(mng_);
    auto *stor = lock.connected() ? mng_.interfaceAs<StorItf>(cmd.itfId, cmd.serial) : nullptr;
    if (!stor) {
        markUntried(cmd.code, jobs, 0, DV_E_NOTCONN);
        return DV_E_NOTCONN;
    }
    return runJobs(cmd, jobs, 0x200, [&](TCommData &job) -> std::optional<int32_t> {
        int32_t r;
        if (job.Kind == kJobWritePb || job.Kind == kJobWriteSms) {
            r = stor->setStor(stor, job.Stor);
            if (r >= 0)
                r = stor->beginWrite(stor, 0, job.Index, job.Kind == kJobWritePb ? MS_WRITE_PB : MS_WRITE_SMS);
            if (r >= 0) {
                // DataLen never reaches past what Data holds; at least one byte goes.
                const size_t len = std::max<size_t>(
                    1, std::min<size_t>(static_cast<size_t>(std::max(job.DataLen, 0)), job.Data.size()));
                std::vector<uint8_t> copy(len, 0);
                if (!job.Data.empty())
                    std::memcpy(copy.data(), job.Data.data(), std::min(len, job.Data.size()));
                r = stor->writeData(stor, copy.data(), static_cast<int32_t>(len));
                if (r == 0)
                    r = DV_E_LISTEND;
            }
            if (r >= 0)
                r = stor->commitWrite(stor, &job.Index);
        } else if (job.Kind == kJobDelete) {
            r = stor->setStor(stor, job.Stor);
            if (r >= 0)
                r = stor->del(stor, 0, job.Index);
        } else {
            return std::nullopt;
        }
        return r;
    });
}

int32_t TCommThread::sendList(const TCommCommand &cmd, TDataArray &jobs)
{
    CommLock lock(mng_);
    void *itf = lock.connected() ? mng_.interfaceFor(cmd.itfId, cmd.serial) : nullptr;
    if (!itf) {
        markUntried(cmd.code, jobs, 0, DV_E_NOTCONN);
        return DV_E_NOTCONN;
    }
    if (cmd.itfId != MS_ITF_SMS) { // only a message store has a send slot
        markUntried(cmd.code, jobs, 0, DV_E_UNSUPPORTED);
        return DV_E_UNSUPPORTED;
    }
    auto *sms = static_cast<SmsItf *>(itf);
    return runJobs(cmd, jobs, 0x400, [&](TCommData &job) -> std::optional<int32_t> {
        if (job.Data.size() < sizeof(SmsSendRec))
            return DV_E_ARG;
        SmsSendRec rec;
        std::memcpy(&rec, job.Data.data(), sizeof rec);
        rec.number[sizeof rec.number - 1] = '\0';
        rec.text[sizeof rec.text - 1] = '\0';
        rec.sca[sizeof rec.sca - 1] = '\0';
        return sms->send(sms, &rec);
    });
}

int32_t TCommThread::runJobs(const TCommCommand &cmd, TDataArray &jobs, int32_t kindOffset,
                             const std::function<std::optional<int32_t>(TCommData &)> &one)
{
    const int32_t count = static_cast<int32_t>(std::min<size_t>(jobs.size(), kMaxProgressCount));
    progress(kStageBegin, count ? beginValue(count, kindBase(cmd.itfId, jobs.front().Stor) + kindOffset) : 0);
    int32_t result = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        TCommData &job = jobs[i];
        if (cancelled()) {
            markUntried(cmd.code, jobs, i, DV_E_CANCELLED);
            return DV_E_CANCELLED;
        }
        progress(kStageStep, 0);
        const std::optional<int32_t> r = one(job);
        if (!r)
            continue;
        job.Result = *r;
        result = *r;
        if (isLinkFault(*r)) { // each further job would wait out its time-out on a dead line
            markUntried(cmd.code, jobs, i + 1, *r);
            break;
        }
        std::this_thread::yield();
    }
    progress(kStageEnd, 0);
    return result;
}

int32_t TCommThread::storageStatus(const TCommCommand &cmd, StorageStatus &st, StorageStatusEx *ex)
{
    progress(kStageBegin, ex ? beginValue(1, 13) : beginValue(1, kindBase(cmd.itfId, st.Stor)));
    auto fail = [&](int32_t r) {
        st.Kind = st.Total = st.Used = st.First = st.Last = 0;
        st.Stor = 0;
        if (ex) {
            ex->FieldCount = 0;
            ex->Fields.clear();
            ex->Slot15 = 0;
        }
        return r;
    };
    CommLock lock(mng_);
    if (!lock.connected())
        return fail(DV_E_NOTCONN);
    if (cancelled())
        return fail(DV_E_CANCELLED);
    auto *stor = mng_.interfaceAs<StorItf>(cmd.itfId, cmd.serial);
    if (!stor)
        return fail(DV_E_NOTCONN);
    // Only phone books have field limits: slot 14 of a message store is its send operation.
    if (ex && (cmd.itfId < MS_ITF_PB || cmd.itfId > MS_ITF_PB3))
        return fail(DV_E_UNSUPPORTED);
    int32_t r = stor->setStor(stor, st.Stor);
    if (r < 0)
        return fail(r);
    if ((r = stor->getCaps(stor, &st.Kind)) < 0)
        return fail(r);
    if ((r = stor->getStat(stor, 0, &st.Total, &st.Used, &st.First, &st.Last)) < 0)
        return fail(r);
    if (ex) {
        auto *pb = reinterpret_cast<PbItf *>(stor);
        const TFieldParam *table = nullptr;
        int32_t count = 0;
        if ((r = pb->getFieldInfo(pb, &table, &count)) < 0)
            return fail(r);
        count = table ? std::clamp(count, 0, kMaxFieldCount) : 0;
        ex->Fields.assign(table, table + count); // the driver's table dies with the plug-in
        ex->FieldCount = count;
        ex->Slot15 = pb->reserved15(pb);
    }
    return r;
}

int32_t TCommThread::searchConnection(const TCommCommand &cmd, UIConnParam &param)
{
    CommLock lock(mng_);
    // The value names the argument the requester shares with this command; it stays alive as
    // long as the requester holds its reference.
    searchProgress(cmd, kStageBegin, reinterpret_cast<intptr_t>(&param));
    mng_.Close();
    const size_t ports = param.Ports.size(), bauds = param.Bauds.size();
    const size_t combos = std::max<size_t>(1, bauds ? ports * bauds : ports);
    int32_t r = DV_E_CANCELLED;
    if (combos > 1) {
        bool done = false;
        for (size_t p = 0; p < ports && !done; ++p)
            for (size_t b = 0; b < std::max<size_t>(bauds, 1) && !done; ++b) {
                if (cancelled()) {
                    r = DV_E_CANCELLED;
                    done = true;
                    break;
                }
                searchProgress(cmd, kStageStep, 0);
                pause(100);
                r = mng_.TestConnect(param.Man, param.Type, bauds ? param.Bauds[b] : std::string(), param.Ports[p]);
                searchProgress(cmd, kStageEnd, r);
                if (r == 0)
                    done = true;
                else
                    pause(300);
            }
    } else if (!cancelled()) {
        searchProgress(cmd, kStageStep, 0);
        pause(200);
        // The one pair offered is the one tested (and reported).
        r = mng_.TestConnect(param.Man, param.Type, bauds ? param.Bauds.front() : std::string(),
                             ports ? param.Ports.front() : std::string());
        searchProgress(cmd, kStageEnd, r);
        pause(300);
    }
    if (r != DV_E_CANCELLED)
        searchProgress(cmd, kStageSearchEnd, r);
    return r;
}

// ---- Idle step ----

void TCommThread::connectedNow()
{
    std::lock_guard<std::mutex> lock(idleLock_);
    reportDue_ = true;
    lastBatch_ = now(); // a fresh connection starts its idle count afresh
}

int32_t TCommThread::idleStep()
{
    int32_t pollMs = -1;
    bool autoOn = false;
    if (connected_.load()) {
        CommLock lock(mng_);
        {
            std::lock_guard<std::mutex> idle(idleLock_);
            if (idleTimeout_ > kMinIdleTimeoutMs && now() - lastBatch_ > idleTimeout_) {
                mng_.SetConnectMode(false);
                lastBatch_ = now();
            }
        }
        mng_.GetAutoConnect(autoOn, pollMs);
        if (mng_.IsParamsChanged()) {
            mng_.Close();
            connected_.store(false);
            post(mainWindow_, WM_PHONE_DISCONNECTED, 0, 0);
            pause(300);
            // Nothing is left to check on this connection; the next step connects anew.
        } else {
            if (mng_.CheckPhone() < 0) {
                connected_.store(false);
                post(mainWindow_, WM_PHONE_DISCONNECTED, 0, 0);
            } else if (mng_.IsDisconnectRequested()) {
                mng_.Close();
                connected_.store(false);
                post(mainWindow_, WM_PHONE_DISCONNECTED, 0, 0);
            } else {
                bool due;
                {
                    std::lock_guard<std::mutex> idle(idleLock_);
                    due = reportDue_ || now() - lastReport_ > kReportEveryMs;
                }
                if (due) {
                    int32_t battery = 0, signal = 0;
                    if (auto *info = mng_.interfaceAs<InfoItf>(MS_ITF_INFO, mng_.currentSerial())) {
                        if (!info->getBattery || info->getBattery(info, &battery) < 0)
                            battery = 0;
                        if (!info->getSignal || info->getSignal(info, &signal) < 0)
                            signal = 0;
                    }
                    post(mainWindow_, WM_BATTERY_STATUS, battery, signal);
                    std::lock_guard<std::mutex> idle(idleLock_);
                    lastReport_ = now();
                    reportDue_ = false;
                }
            }
        }
    } else {
        CommLock lock(mng_);
        if (!lock.connected()) {
            mng_.GetAutoConnect(autoOn, pollMs);
            pollMs = std::clamp(pollMs, 500, 10000);
            if (autoOn && !mng_.IsDisconnectRequested() && mng_.Connect() >= 0) {
                connected_.store(true);
                connectedNow();
                post(mainWindow_, WM_PHONE_CONNECTED, 0, 0);
            }
        } else if (mng_.CheckPhone() >= 0) {
            connected_.store(true);
            connectedNow();
            post(mainWindow_, WM_PHONE_CONNECTED, 0, 0);
        }
    }

    std::lock_guard<std::mutex> lock(queueLock_);
    if (batchWaiting())
        return 0;
    return pollMs >= 0 ? pollMs : kDefaultSleepMs;
}

bool TCommThread::batchWaiting() const
{
    // A complete batch: a marker after at least one command.
    bool command = false;
    for (const Entry &e : queue_) {
        if (e.marker && command)
            return true;
        command = command || !e.marker;
    }
    return false;
}

} // namespace core
