// Window messages: how other threads report to windows of the user-interface thread.
//
// A window is named by a WindowId, a number its registry hands out (never a pointer, never used
// twice), so a message to a window that has gone finds nothing instead of freed memory.
//
//  - post() queues a message and returns at once, from any thread. Messages from one thread to one
//    window arrive in the order they were posted. A post to a window that is gone (or closes before
//    the message is delivered) is dropped silently.
//  - send() delivers at once and answers the window's result; it is for the user-interface thread
//    only and answers an error on any other thread.
//
// The program uses the Qt implementation (platform/qt/qt_window_messages.h); tests of the parts that
// post use RecordingWindowMessages below.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {

using WindowId = uint64_t;  // 0 is no window
constexpr WindowId kNoWindow = 0;

struct WindowMessage {
    WindowId window = kNoWindow;
    uint32_t msg = 0;
    intptr_t w = 0;
    intptr_t l = 0;
};

// What a window does with a message: its answer is send()'s result (post() discards it).
using WindowProc = std::function<intptr_t(uint32_t msg, intptr_t w, intptr_t l)>;

enum class SendError {
    None,
    NotUiThread,  // send() called off the user-interface thread
    NoWindow,     // no such window (never registered or gone)
};

struct SendResult {
    SendError error = SendError::None;
    intptr_t value = 0;
    bool ok() const { return error == SendError::None; }
};

class WindowMessages {
public:
    virtual ~WindowMessages() = default;

    // Queues msg for window id; never blocks on the user-interface thread's work. Answers true when
    // queued, false when the window is unknown (the message is dropped). Thread-safe.
    virtual bool post(WindowId id, uint32_t msg, intptr_t w, intptr_t l) = 0;

    // Delivers msg to window id at once and answers its result. User-interface thread only.
    virtual SendResult send(WindowId id, uint32_t msg, intptr_t w, intptr_t l) = 0;
};

// Records every message in order instead of delivering it, for tests of code that reports to
// windows. Windows are numbers opened and closed by the test; the thread that creates the recorder
// counts as the user-interface thread. Thread-safe.
class RecordingWindowMessages final : public WindowMessages {
public:
    RecordingWindowMessages();

    // A new window; proc (optional) answers send() calls, otherwise send() answers 0.
    WindowId openWindow(WindowProc proc = {});
    // The window is gone: later posts and sends to it are dropped, recorded messages stay.
    void closeWindow(WindowId id);

    bool post(WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;
    SendResult send(WindowId id, uint32_t msg, intptr_t w, intptr_t l) override;

    // Every delivered message (posted or sent), in arrival order.
    std::vector<WindowMessage> messages() const;
    void clear();

    // Waits until a message numbered msg arrives that no earlier waitFor() has answered, and answers
    // it; nothing when the deadline passes first. Messages already recorded count.
    std::optional<WindowMessage> waitFor(uint32_t msg, std::chrono::steady_clock::time_point deadline);
    std::optional<WindowMessage> waitFor(uint32_t msg, std::chrono::milliseconds within)
    {
        return waitFor(msg, std::chrono::steady_clock::now() + within);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::thread::id uiThread_;
    WindowId nextId_ = 1;
    std::map<WindowId, WindowProc> windows_;
    std::vector<WindowMessage> log_;
    std::vector<bool> taken_;  // parallel to log_: answered by waitFor
};

} // namespace platform
