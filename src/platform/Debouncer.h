#pragma once

#include "platform/MainQueue.h"

#include <functional>

namespace velmor {

// Runs work once a burst of requests pauses for `delay`, and at the latest `maxWait`
// after the first request it has not run for yet, so that a burst that never pauses
// still gets its work done. Each request replaces the work waiting. Main thread; the
// work never runs once the debouncer is gone.
class Debouncer {
public:
    Debouncer(MainQueue::Duration delay, MainQueue::Duration maxWait) : delay_(delay), maxWait_(maxWait) {}
    Debouncer(const Debouncer&) = delete;
    Debouncer& operator=(const Debouncer&) = delete;

    void request(std::function<void()> work);
    // Drops the work waiting, if any.
    void cancel();
    bool isPending() const { return pending_; }

private:
    void fire();

    MainQueue::Duration delay_;
    MainQueue::Duration maxWait_;
    std::function<void()> work_;
    Cancellable quiet_;
    Cancellable deadline_;
    bool pending_ = false;
};

} // namespace velmor
