#include "platform/SerialQueue.h"

#include <QList>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace velmor {

thread_local const SerialQueue* SerialQueue::current = nullptr;

namespace {

std::mutex factoryMutex;
SerialQueue::Factory installedFactory;

} // namespace

std::unique_ptr<SerialQueue> SerialQueue::create(const QString& label)
{
    Factory factory;
    {
        const std::lock_guard lock(factoryMutex);
        factory = installedFactory;
    }
    if (factory)
        return factory(label);
    return std::make_unique<ThreadSerialQueue>(label);
}

void SerialQueue::setFactory(Factory factory)
{
    const std::lock_guard lock(factoryMutex);
    installedFactory = std::move(factory);
}

void SerialQueue::runAsCurrent(const Task& work) const
{
    const SerialQueue* previous = current;
    current = this;
    work();
    current = previous;
}

// ---------------------------------------------------------------- worker thread

struct ThreadSerialQueue::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    // A piece of work runs now, on the worker or on a sync caller's thread.
    bool busy = false;
    bool stopping = false;
    std::thread thread;
};

ThreadSerialQueue::ThreadSerialQueue(QString label)
    : SerialQueue(std::move(label))
    , state_(std::make_shared<State>())
{
    const QByteArray name = this->label().toUtf8().right(15); // the kernel keeps 15 characters
    state_->thread = std::thread([state = state_, owner = static_cast<const SerialQueue*>(this), name] {
        pthread_setname_np(pthread_self(), name.constData());
        current = owner; // only ever compared; the worker never calls into the queue object
        std::unique_lock lock(state->mutex);
        for (;;) {
            state->wake.wait(lock, [&] {
                return (!state->busy && !state->tasks.empty()) || (state->stopping && state->tasks.empty());
            });
            if (state->tasks.empty())
                break;
            Task task = std::move(state->tasks.front());
            state->tasks.pop_front();
            state->busy = true;
            lock.unlock();
            task();
            task = nullptr; // what the work captured goes away on the worker, before the next piece
            lock.lock();
            state->busy = false;
        }
    });
}

ThreadSerialQueue::~ThreadSerialQueue()
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    if (state_->thread.get_id() == std::this_thread::get_id())
        state_->thread.detach();
    else
        state_->thread.join();
}

void ThreadSerialQueue::async(Task task)
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
    }
    state_->wake.notify_one();
}

void ThreadSerialQueue::runSync(const Task& work)
{
    if (isCurrent()) {
        work();
        return;
    }
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->busy && state_->tasks.empty()) {
            // Nothing runs or waits: the work runs here, holding the queue, so a
            // sync costs no trip to the worker and back (the value path makes
            // several per key).
            state_->busy = true;
            lock.unlock();
            struct Release {
                State& state;
                ~Release()
                {
                    bool pending = false;
                    {
                        const std::lock_guard lock(state.mutex);
                        state.busy = false;
                        pending = !state.tasks.empty();
                    }
                    // Only work handed over meanwhile wakes the worker: waking it for
                    // nothing would cost the two thread switches this path saves.
                    if (pending)
                        state.wake.notify_one();
                }
            } release{*state_};
            runAsCurrent(work);
            return;
        }
    }
    // Earlier work is pending: this work takes its turn on the worker.
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    async([&] {
        work();
        const std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

// ---------------------------------------------------------------- manual

struct ManualSerialQueue::State {
    mutable std::mutex mutex;
    std::deque<Task> tasks;
    bool running = false;

    std::optional<Task> take()
    {
        const std::lock_guard lock(mutex);
        if (tasks.empty())
            return std::nullopt;
        Task task = std::move(tasks.front());
        tasks.pop_front();
        return task;
    }
};

ManualSerialQueue::ManualSerialQueue(QString label, bool stepwise, std::function<void(ManualSerialQueue*)> onDestroyed)
    : SerialQueue(std::move(label))
    , state_(std::make_unique<State>())
    , stepwise_(stepwise)
    , onDestroyed_(std::move(onDestroyed))
{
}

ManualSerialQueue::~ManualSerialQueue()
{
    if (onDestroyed_)
        onDestroyed_(this);
}

void ManualSerialQueue::async(Task task)
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(std::move(task));
    }
    if (!stepwise_ && !state_->running)
        runAll();
}

void ManualSerialQueue::setStepwise(bool stepwise)
{
    stepwise_ = stepwise;
    if (!stepwise_ && !state_->running)
        runAll();
}

bool ManualSerialQueue::runNext()
{
    auto task = state_->take();
    if (!task)
        return false;
    const bool wasRunning = std::exchange(state_->running, true);
    runAsCurrent(*task);
    state_->running = wasRunning;
    return true;
}

int ManualSerialQueue::runAll()
{
    if (state_->running)
        return 0; // called from our own work: the outer loop picks up what is left
    int ran = 0;
    while (runNext())
        ++ran;
    return ran;
}

std::size_t ManualSerialQueue::pendingCount() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->tasks.size();
}

void ManualSerialQueue::runSync(const Task& work)
{
    if (isCurrent()) {
        work();
        return;
    }
    // Everything handed over before this call runs first; work that it hands
    // over in turn comes after `work`, as on a real serial queue.
    for (std::size_t earlier = pendingCount(); earlier > 0 && runNext(); --earlier) { }
    const bool wasRunning = std::exchange(state_->running, true);
    runAsCurrent(work);
    state_->running = wasRunning;
    if (!stepwise_ && !state_->running)
        runAll();
}

// ---------------------------------------------------------------- scope

struct ScopedManualSerialQueues::Registry {
    mutable std::mutex mutex;
    QList<ManualSerialQueue*> live;
    QList<QString> stepwiseLabels;
};

ScopedManualSerialQueues::ScopedManualSerialQueues()
    : registry_(std::make_shared<Registry>())
{
    SerialQueue::setFactory([registry = registry_](const QString& label) -> std::unique_ptr<SerialQueue> {
        const std::lock_guard lock(registry->mutex);
        auto forget = [weak = std::weak_ptr<Registry>(registry)](ManualSerialQueue* queue) {
            if (auto r = weak.lock()) {
                const std::lock_guard lock(r->mutex);
                r->live.removeOne(queue);
            }
        };
        auto queue = std::make_unique<ManualSerialQueue>(label, registry->stepwiseLabels.contains(label), forget);
        registry->live.append(queue.get());
        return queue;
    });
}

ScopedManualSerialQueues::~ScopedManualSerialQueues() { SerialQueue::setFactory({}); }

void ScopedManualSerialQueues::makeStepwise(const QString& label)
{
    const std::lock_guard lock(registry_->mutex);
    registry_->stepwiseLabels.append(label);
}

ManualSerialQueue* ScopedManualSerialQueues::find(const QString& label) const
{
    const std::lock_guard lock(registry_->mutex);
    for (auto it = registry_->live.crbegin(); it != registry_->live.crend(); ++it)
        if ((*it)->label() == label)
            return *it;
    return nullptr;
}

} // namespace velmor
