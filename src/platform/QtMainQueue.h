#pragma once

#include "platform/MainQueue.h"

#include <memory>

namespace velmor {

// The Qt event loop as the main queue. post() may be called from any thread;
// the work always runs on the thread of the QCoreApplication.
//
// Posts are gathered: one Qt event runs, in order, the work posted before it
// was handled, so a burst of posts (a key press makes a dozen) wakes the loop
// once. Work that runs a nested event loop (a modal dialog) does not hold up
// the work behind it: that runs in the nested loop, as separate events would.
class QtMainQueue final : public MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;

    void post(Task task) override;
    Cancellable after(Duration delay, Task task) override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace velmor
