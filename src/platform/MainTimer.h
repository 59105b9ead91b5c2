#pragma once

#include "platform/MainQueue.h"

#include <memory>

namespace velmor {

// A one-shot timer on the process-wide main queue that can be armed again and
// again: for work started often (a held key's resend), where a fresh timer
// each time would cost more than the work. Main thread only.
class MainTimer {
public:
    using Task = MainQueue::Task;
    using Duration = MainQueue::Duration;

    virtual ~MainTimer() = default;
    // Runs `task` once after `delay`, instead of whatever was armed before.
    virtual void start(Duration delay, Task task) = 0;
    // Disarms it; destroying it does too.
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

    // On the Qt event loop one QTimer, reused for every start; on any other
    // queue (virtual time in tests) delayed work of that queue.
    static std::unique_ptr<MainTimer> create();
};

} // namespace velmor
