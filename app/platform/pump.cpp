#include "platform/pump.h"

#include <memory>

namespace platform {

namespace {

// Shared so that a pump which replaces itself while running stays alive until it returns.
thread_local std::shared_ptr<ThreadPump> t_pump;

} // namespace

ThreadPump setThreadPump(ThreadPump pump)
{
    std::shared_ptr<ThreadPump> old = std::move(t_pump);
    if (pump)
        t_pump = std::make_shared<ThreadPump>(std::move(pump));
    if (!old)
        return {};
    return *old;
}

void runThreadPump()
{
    if (std::shared_ptr<ThreadPump> pump = t_pump)
        (*pump)();
}

void threadPumpHook(void *)
{
    runThreadPump();
}

} // namespace platform
