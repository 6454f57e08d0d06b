// Monotonic millisecond clock behind an interface, so tests can step time.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on CLOCK_MONOTONIC: never goes back, never wraps in practice (64 bits).
    virtual int64_t nowMs() const = 0;
};

// The real clock.
class SystemClock final : public Clock {
public:
    int64_t nowMs() const override;
    static SystemClock &instance();
};

// A clock tests move by hand. Thread-safe.
class FakeClock final : public Clock {
public:
    explicit FakeClock(int64_t startMs = 0) : now_(startMs) {}
    int64_t nowMs() const override { return now_.load(); }
    void set(int64_t ms) { now_.store(ms); }
    void advance(int64_t ms) { now_.fetch_add(ms); }

private:
    std::atomic<int64_t> now_;
};

} // namespace platform
