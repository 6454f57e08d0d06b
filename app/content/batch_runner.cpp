#include "content/batch_runner.h"

#include "dv_result.h"

namespace content {

WorkerBatchRunner::WorkerBatchRunner(core::TCommThread &worker, core::TdmCommData &data,
                                     platform::RecordingWindowMessages &messages, Setup setup)
    : worker_(worker), data_(data), messages_(messages), setup_(std::move(setup)), window_(messages.openWindow())
{
}

WorkerBatchRunner::~WorkerBatchRunner()
{
    messages_.closeWindow(window_);
}

bool WorkerBatchRunner::cancel()
{
    if (batch_ == 0 || cancelled_)
        return cancelled_;
    cancelAsked_ = true;
    cancelled_ = worker_.CancelBatch(batch_);
    return cancelled_;
}

namespace {

std::optional<platform::WindowMessage> doneFor(const platform::RecordingWindowMessages &messages,
                                               platform::WindowId window, uint64_t batch)
{
    const std::vector<platform::WindowMessage> all = messages.messages();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (it->msg == core::WM_COMM_DONE && it->window == window && static_cast<uint64_t>(it->l) == batch)
            return *it;
    return std::nullopt;
}

} // namespace

BatchOutcome WorkerBatchRunner::run(core::TBaseClt &client, const std::vector<BatchRequest> &batch)
{
    BatchOutcome out;
    int queued = 0;
    bool reads = false;
    for (const BatchRequest &r : batch) {
        reads = reads || (r.code == core::kCmdReadList && r.jobs);
        switch (r.code) {
        case core::kCmdReadList:
            if (r.jobs && client.ReadList(r.jobs, window_) == 0)
                ++queued;
            break;
        case core::kCmdWriteList:
            if (r.jobs && client.WriteList(r.jobs, window_) == 0)
                ++queued;
            break;
        case core::kCmdSendList:
            if (r.jobs && client.SendList(r.jobs, window_) == 0)
                ++queued;
            break;
        case core::kCmdStorStatus:
            if (r.status && client.GetStorageInfo(r.status, window_) == 0)
                ++queued;
            break;
        case core::kCmdStorStatusEx:
            if (r.statusEx && client.GetStorageInfoEx(r.statusEx, window_) == 0)
                ++queued;
            break;
        default:
            break;
        }
    }
    if (queued == 0)
        return out;
    ++runs_;
    cancelled_ = false;
    cancelAsked_ = false;
    batch_ = worker_.EndBatch();

    std::optional<platform::WindowMessage> done;
    if (setup_.stepped) {
        // Run every complete batch ahead of ours, then ours.
        while (!done && !cancelled_ && worker_.batchStep())
            done = doneFor(messages_, window_, batch_);
        if (!done && !cancelled_)
            done = doneFor(messages_, window_, batch_);
        out.settled = true;
    } else {
        const auto deadline = std::chrono::steady_clock::now() + setup_.timeout;
        // A cancel the worker could not take at once is acknowledged by the batch's done message:
        // the wait goes on for it, so the records are never read while the worker writes them.
        while (!done && !cancelled_) {
            if (setup_.pump)
                setup_.pump();
            if (messages_.waitFor(core::WM_COMM_DONE, std::chrono::milliseconds(10)))
                done = doneFor(messages_, window_, batch_);
            if (!done && !cancelAsked_ && std::chrono::steady_clock::now() > deadline)
                cancel();
        }
    }
    batch_ = 0;
    // Settled either way: a batch cancelled before the worker took it was never touched by it.
    out.settled = true;
    if (!done) {
        out.cancelled = true;
        return out;
    }
    out.result = static_cast<int32_t>(done->w);
    if (cancelAsked_ && out.result == DV_E_CANCELLED) {
        out.cancelled = true; // stopped at an item: the jobs done before keep their results
        return out;
    }
    const int n = reads ? data_.Count() : 0; // the table still holds an earlier batch's rows
    out.rows.reserve(static_cast<size_t>(n));
    std::vector<uint8_t> buf(core::TdmCommData::kMaxDataLen);
    for (int i = 0; i < n; ++i) {
        HandOverRow row;
        int len = static_cast<int>(buf.size());
        if (!data_.GetData(i, &row.stor, buf.data(), &len, &row.index))
            break;
        row.data.assign(buf.begin(), buf.begin() + len);
        out.rows.push_back(std::move(row));
    }
    return out;
}

} // namespace content
