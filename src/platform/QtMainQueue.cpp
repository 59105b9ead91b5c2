#include "platform/QtMainQueue.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <deque>
#include <mutex>
#include <utility>

namespace velmor {

namespace {

// Drains running at a loop turn on this thread, of any queue.
thread_local int turnsRunning = 0;

} // namespace

struct QtMainQueue::State : std::enable_shared_from_this<State> {
    std::mutex mutex;
    std::deque<Task> pending;
    // The application the pending work was posted for; once it is gone, so is its work.
    QPointer<QCoreApplication> owner;
    // Where a drain event waits to be handled, if one does.
    QPointer<QCoreApplication> drainPendingOn;
    // The event loop watched for nested loops (see watchForNestedLoops).
    QPointer<QAbstractEventDispatcher> watched;
    // Drains running now, one inside the other when work ran a nested loop. Main thread only.
    int draining = 0;
    // Work the main thread posted outside a drain waits for the loop's next
    // turn (see onLoopTurn) instead of an event of its own. Main thread only.
    bool drainOnNextTurn = false;

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
        watchLoopTurns(app);
    }

    // Work posted from the main thread outside a drain needs no event: the
    // loop announces each turn (awake, about to block) before it waits, and the
    // work runs there, saving the wake-up and the extra poll an event costs.
    // Work that runs a nested event loop (a modal dialog) keeps the rest of its
    // drain waiting; the nested loop gets a drain event for it on its first
    // turn, as the rest would have had their own events. With the mutex held;
    // false when the loop has no dispatcher to watch.
    bool watchLoopTurns(QCoreApplication* app)
    {
        QAbstractEventDispatcher* const dispatcher = QAbstractEventDispatcher::instance(app->thread());
        if (!dispatcher)
            return false;
        if (watched == dispatcher)
            return true;
        watched = dispatcher;
        const auto onTurn = [weak = weak_from_this(), app = QPointer<QCoreApplication>(app)] {
            if (const auto self = weak.lock(); self && app)
                self->onLoopTurn(app);
        };
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher, onTurn, Qt::DirectConnection);
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, onTurn,
                         Qt::DirectConnection);
        return true;
    }

    // On the main thread, at each turn of its event loop.
    void onLoopTurn(QCoreApplication* app)
    {
        if (std::exchange(drainOnNextTurn, false)) {
            ++turnsRunning;
            drain();
            --turnsRunning;
            return;
        }
        if (draining == 0)
            return;
        const std::lock_guard lock(mutex);
        if (!pending.empty())
            scheduleDrain(app);
    }

    // Runs the work there when the event was handled; work posted meanwhile
    // waits for the next event.
    void drain()
    {
        std::size_t count = 0;
        {
            const std::lock_guard lock(mutex);
            drainPendingOn = nullptr;
            count = pending.size();
        }
        ++draining;
        for (; count > 0; --count) {
            Task task;
            {
                const std::lock_guard lock(mutex);
                if (pending.empty())
                    break; // a nested loop ran the rest
                task = std::move(pending.front());
                pending.pop_front();
            }
            task();
        }
        --draining;
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
    // Work posted by work takes an event, as before: a drain at a turn may be
    // the last thing before the loop waits.
    if (QThread::currentThread() == app->thread() && state_->draining == 0 && turnsRunning == 0
        && state_->watchLoopTurns(app)) {
        state_->drainOnNextTurn = true;
        return;
    }
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
        // held key starts a resend for every press). A timer that has fired is
        // stopped already and goes by itself.
        return Cancellable(cancelled, [timer = QPointer<QTimer>(timer)] {
            if (timer && timer->thread() == QThread::currentThread() && timer->isActive())
                delete timer.data();
        });
    }
    // QTimer::singleShot must be called on the main thread; hop there first.
    post([app, delay, run = std::move(run)]() mutable { QTimer::singleShot(delay, app, std::move(run)); });
    return Cancellable(cancelled);
}

} // namespace velmor
