#include "platform/MainTimer.h"

#include "platform/QtMainQueue.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <utility>

namespace velmor {

namespace {

// Delayed work of the queue it was made for.
class DelayedWorkTimer final : public MainTimer {
public:
    explicit DelayedWorkTimer(MainQueue& queue) : queue_(queue) {}

    void start(Duration delay, Task task) override
    {
        // Destroying the timer cancels the work, so the work never finds it gone.
        pending_ = queue_.after(delay, [this, task = std::move(task)] {
            pending_.release();
            task();
        });
    }
    void stop() override { pending_.cancel(); }
    bool isActive() const override { return pending_.isPending(); }

private:
    MainQueue& queue_;
    Cancellable pending_;
};

class QtTimer final : public MainTimer {
public:
    QtTimer()
    {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            // The task may arm the timer again with another task.
            const Task task = std::exchange(task_, nullptr);
            if (task)
                task();
        });
    }

    void start(Duration delay, Task task) override
    {
        task_ = std::move(task);
        timer_.start(delay);
    }
    void stop() override
    {
        timer_.stop();
        task_ = nullptr;
    }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    Task task_;
};

} // namespace

std::unique_ptr<MainTimer> MainTimer::create()
{
    MainQueue& queue = MainQueue::instance();
    const auto* app = QCoreApplication::instance();
    if (dynamic_cast<QtMainQueue*>(&queue) && app && QThread::currentThread() == app->thread())
        return std::make_unique<QtTimer>();
    return std::make_unique<DelayedWorkTimer>(queue);
}

} // namespace velmor
