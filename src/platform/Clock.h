#pragma once

#include "platform/ProcessWide.h"

#include <atomic>
#include <cstdint>

namespace velmor {

// Monotonic uptime in nanoseconds: the time base of every input-side window.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t uptimeNanoseconds() const = 0;

    // The process-wide clock: CLOCK_MONOTONIC unless a test installed another.
    static Clock& instance();
    static void setInstance(Clock* clock);
    static std::uint64_t now() { return instance().uptimeNanoseconds(); }
};

class SystemClock final : public Clock {
public:
    std::uint64_t uptimeNanoseconds() const override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::uint64_t start = 1'000'000'000) : now_(start) {}
    std::uint64_t uptimeNanoseconds() const override { return now_.load(); }
    void set(std::uint64_t nanoseconds) { now_.store(nanoseconds); }
    void advance(std::uint64_t nanoseconds) { now_.fetch_add(nanoseconds); }

private:
    std::atomic<std::uint64_t> now_;
};

// Installs a ManualClock as the process-wide clock for the lifetime of this object.
using ScopedManualClock = ScopedInstance<Clock, ManualClock>;

} // namespace velmor
