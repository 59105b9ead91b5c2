#include "platform/MainQueue.h"

#include "platform/QtMainQueue.h"

#include <atomic>

namespace velmor {

namespace {
std::atomic<MainQueue*> installed{nullptr};
} // namespace

MainQueue& MainQueue::instance()
{
    if (MainQueue* queue = installed.load())
        return *queue;
    static QtMainQueue qtQueue;
    return qtQueue;
}

void MainQueue::setInstance(MainQueue* queue) { installed.store(queue); }

} // namespace velmor
