#pragma once

#include "platform/MainQueue.h"

namespace velmor {

// The Qt event loop as the main queue. post() may be called from any thread;
// the work always runs on the thread of the QCoreApplication.
class QtMainQueue final : public MainQueue {
public:
    void post(Task task) override;
    Cancellable after(Duration delay, Task task) override;
};

} // namespace velmor
