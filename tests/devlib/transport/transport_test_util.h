// Helpers shared by the transport tests: log capture and a stepping clock.
#ifndef TRANSPORT_TEST_UTIL_H
#define TRANSPORT_TEST_UTIL_H

#include "dv_log.h"
#include "dv_vos.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace transport_test {

// Opens the console sink (standard error) and captures what the library logs until take().
class LogCapture {
public:
    LogCapture() {
        StdoutConsole_init();
        ::testing::internal::CaptureStderr();
    }
    std::string take() {
        std::string text = ::testing::internal::GetCapturedStderr();
        StdoutConsole_cleanup();
        taken_ = true;
        return text;
    }
    ~LogCapture() {
        if (!taken_)
            take();
    }

private:
    bool taken_ = false;
};

// A clock that moves on by `step` ms at every reading, so multi-second time-outs pass in a few
// wait passes.
struct SteppingClock {
    uint32_t now = 1000;
    uint32_t step = 100;
    static uint32_t read(void *ctx) {
        auto *c = static_cast<SteppingClock *>(ctx);
        c->now += c->step;
        return c->now;
    }
};

inline int64_t msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

} // namespace transport_test

#endif
