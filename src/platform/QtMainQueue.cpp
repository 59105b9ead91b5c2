#include "platform/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace velmor {

void QtMainQueue::post(Task task)
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return; // no event loop: nothing would ever run it
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
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
        QTimer::singleShot(delay, app, std::move(run));
        return Cancellable(cancelled);
    }
    // QTimer::singleShot must be called on the main thread; hop there first.
    QMetaObject::invokeMethod(
        app,
        [app, delay, run = std::move(run)]() mutable { QTimer::singleShot(delay, app, std::move(run)); },
        Qt::QueuedConnection);
    return Cancellable(cancelled);
}

} // namespace velmor
