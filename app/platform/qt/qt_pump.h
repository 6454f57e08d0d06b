// The user-interface thread's pump for the device library's waits.
#pragma once

#include "platform/pump.h"

namespace platform {

// Processes the pending Qt events of the calling thread (input, paints, posted window messages).
// Register it on the user-interface thread: setThreadPump(qtEventPump()).
ThreadPump qtEventPump();

} // namespace platform
