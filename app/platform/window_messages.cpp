#include "platform/window_messages.h"

namespace platform {

RecordingWindowMessages::RecordingWindowMessages() : uiThread_(std::this_thread::get_id()) {}

WindowId RecordingWindowMessages::openWindow(WindowProc proc)
{
    std::lock_guard lock(mutex_);
    WindowId id = nextId_++;
    windows_.emplace(id, std::move(proc));
    return id;
}

void RecordingWindowMessages::closeWindow(WindowId id)
{
    std::lock_guard lock(mutex_);
    windows_.erase(id);
}

bool RecordingWindowMessages::post(WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    {
        std::lock_guard lock(mutex_);
        if (!windows_.count(id))
            return false;
        log_.push_back({id, msg, w, l});
        taken_.push_back(false);
    }
    arrived_.notify_all();
    return true;
}

SendResult RecordingWindowMessages::send(WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    if (std::this_thread::get_id() != uiThread_)
        return {SendError::NotUiThread, 0};
    WindowProc proc;
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(id);
        if (it == windows_.end())
            return {SendError::NoWindow, 0};
        proc = it->second;
        log_.push_back({id, msg, w, l});
        taken_.push_back(false);
    }
    arrived_.notify_all();
    // Called without the lock: the window may post or send in turn.
    return {SendError::None, proc ? proc(msg, w, l) : 0};
}

std::vector<WindowMessage> RecordingWindowMessages::messages() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

void RecordingWindowMessages::clear()
{
    std::lock_guard lock(mutex_);
    log_.clear();
    taken_.clear();
}

std::optional<WindowMessage> RecordingWindowMessages::waitFor(uint32_t msg,
                                                              std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    auto take = [&]() -> std::optional<WindowMessage> {
        for (size_t i = 0; i < log_.size(); ++i)
            if (!taken_[i] && log_[i].msg == msg) {
                taken_[i] = true;
                return log_[i];
            }
        return std::nullopt;
    };
    std::optional<WindowMessage> found;
    arrived_.wait_until(lock, deadline, [&] { return (found = take()).has_value(); });
    return found;
}

} // namespace platform
