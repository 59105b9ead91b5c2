#include "platform/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <deque>
#include <mutex>

namespace velmor {

struct QtMainQueue::State : std::enable_shared_from_this<State> {
    std::mutex mutex;
    std::deque<Task> pending;
    // The application the pending work was posted for; once it is gone, so is its work.
    QPointer<QCoreApplication> owner;
    // Where a drain event waits to be handled, if one does.
    QPointer<QCoreApplication> drainPendingOn;

    // With the mutex held.
    void scheduleDrain(QCoreApplication* app)
    {
        if (drainPendingOn == app)
            return;
        drainPendingOn = app;
        QMetaObject::invokeMethod(
            app,
            [weak = weak_from_this()] {
                if (const auto self = weak.lock())
                    self->drain();
            },
            Qt::QueuedConnection);
    }

    // Runs the work there when the event was handled; work posted meanwhile
    // waits for the next event.
    void drain()
    {
        QCoreApplication* const app = QCoreApplication::instance();
        std::size_t count = 0;
        {
            const std::lock_guard lock(mutex);
            drainPendingOn = nullptr;
            count = pending.size();
        }
        for (; count > 0; --count) {
            Task task;
            {
                const std::lock_guard lock(mutex);
                if (pending.empty())
                    return; // a nested loop ran the rest
                task = std::move(pending.front());
                pending.pop_front();
                if (!pending.empty() && app)
                    scheduleDrain(app); // the rest stays reachable from a nested loop
            }
            task();
        }
    }
};

QtMainQueue::QtMainQueue() : state_(std::make_shared<State>()) {}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(Task task)
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return; // no event loop: nothing would ever run it
    const std::lock_guard lock(state_->mutex);
    if (state_->owner != app) {
        state_->pending.clear(); // posted for an application that has gone, with its events
        state_->owner = app;
    }
    state_->pending.push_back(std::move(task));
    state_->scheduleDrain(app);
}

Cancellable QtMainQueue::after(Duration delay, Task task)
{
    auto cancelled = std::make_shared<bool>(false);
    auto* app = QCoreApplication::instance();
    if (!app)
        return Cancellable(cancelled);
    auto run = [cancelled, task = std::move(task)] {
        if (!*cancelled)
            task();
    };
    if (QThread::currentThread() == app->thread()) {
        auto* timer = new QTimer(app);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, run = std::move(run)] {
            timer->deleteLater();
            run();
        });
        timer->start(delay);
        // Cancelled work goes at once instead of waking the loop when due (a
        // held key starts a resend for every press).
        return Cancellable(cancelled, [timer = QPointer<QTimer>(timer)] {
            if (timer && timer->thread() == QThread::currentThread()) {
                timer->stop();
                timer->deleteLater();
            }
        });
    }
    // QTimer::singleShot must be called on the main thread; hop there first.
    post([app, delay, run = std::move(run)]() mutable { QTimer::singleShot(delay, app, std::move(run)); });
    return Cancellable(cancelled);
}

} // namespace velmor
