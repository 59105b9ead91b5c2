#include "platform/Clock.h"

#include <ctime>

namespace velmor {

Clock& Clock::instance() { return ProcessWide<Clock>::get<SystemClock>(); }

void Clock::setInstance(Clock* clock) { ProcessWide<Clock>::install(clock); }

std::uint64_t SystemClock::uptimeNanoseconds() const
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000ULL + static_cast<std::uint64_t>(ts.tv_nsec);
}

} // namespace velmor
