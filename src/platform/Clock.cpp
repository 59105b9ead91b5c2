#include "platform/Clock.h"

#include <ctime>

namespace velmor {

namespace {
std::atomic<Clock*> installed{nullptr};
} // namespace

Clock& Clock::instance()
{
    if (Clock* clock = installed.load())
        return *clock;
    static SystemClock system;
    return system;
}

void Clock::setInstance(Clock* clock) { installed.store(clock); }

std::uint64_t SystemClock::uptimeNanoseconds() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ULL + static_cast<std::uint64_t>(ts.tv_nsec);
}

} // namespace velmor
