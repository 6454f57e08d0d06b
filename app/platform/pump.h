// The message pump that the device library runs inside its waits.
//
// The device library calls one process-wide hook at every pass of a wait, on whatever thread is
// waiting. Each thread says here what pumping means for it: the user-interface thread processes its
// pending Qt events (platform/qt/qt_pump.h), the worker thread checks whether it is asked to stop,
// and a thread that registered nothing pumps nothing. Install the hook once at start-up:
//
//     CnsVos_setPumpHook(platform::threadPumpHook, nullptr);
#pragma once

#include <functional>

namespace platform {

using ThreadPump = std::function<void()>;

// Registers the calling thread's pump (an empty one: none) and answers the one it replaces.
ThreadPump setThreadPump(ThreadPump pump);

// Runs the calling thread's pump, if it has one. The pump may start a wait of its own, which pumps
// again (nested).
void runThreadPump();

// The hook for CnsVos_setPumpHook (ctx is not used): runThreadPump().
void threadPumpHook(void *ctx);

// Registers a pump for the calling thread for the life of the object, then restores the previous one.
class ScopedThreadPump {
public:
    explicit ScopedThreadPump(ThreadPump pump) : previous_(setThreadPump(std::move(pump))) {}
    ~ScopedThreadPump() { setThreadPump(std::move(previous_)); }
    ScopedThreadPump(const ScopedThreadPump &) = delete;
    ScopedThreadPump &operator=(const ScopedThreadPump &) = delete;

private:
    ThreadPump previous_;
};

} // namespace platform
