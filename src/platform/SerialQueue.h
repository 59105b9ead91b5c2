#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace velmor {

// A serial queue: work runs one piece at a time, in the order it was handed
// over. `async` returns at once; `sync` waits until the work has run, after
// everything handed over before it. Work given to `sync` from the queue's own
// work runs at once (a real serial queue would deadlock there).
class SerialQueue {
public:
    using Task = std::function<void()>;
    using Factory = std::function<std::unique_ptr<SerialQueue>(const QString& label)>;

    explicit SerialQueue(QString label) : label_(std::move(label)) {}
    virtual ~SerialQueue() = default;
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const QString& label() const { return label_; }

    virtual void async(Task task) = 0;

    template <typename F>
    auto sync(F&& work) -> std::invoke_result_t<F&>
    {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>) {
            runSync([&work] { work(); });
        } else {
            std::optional<R> result;
            runSync([&work, &result] { result.emplace(work()); });
            return std::move(*result);
        }
    }

    // True while the calling code runs as work of this queue.
    bool isCurrent() const { return current == this; }

    // A new queue from the process-wide factory: worker-thread queues unless a
    // test installed another factory.
    static std::unique_ptr<SerialQueue> create(const QString& label);
    // An empty factory restores the worker-thread default.
    static void setFactory(Factory factory);

protected:
    virtual void runSync(const Task& work) = 0;

    // Runs one piece of work with this queue marked as current.
    void runAsCurrent(const Task& work) const;

    // The queue whose work the calling thread is running.
    static thread_local const SerialQueue* current;

private:
    QString label_;
};

// A serial queue backed by its own worker thread. `sync` on a queue with
// nothing running or pending runs the work on the caller's thread, holding the
// queue meanwhile. Destruction lets pending work finish; when the last owner
// lets go from the worker itself, the thread is detached and finishes on its own.
class ThreadSerialQueue final : public SerialQueue {
public:
    explicit ThreadSerialQueue(QString label);
    ~ThreadSerialQueue() override;

    void async(Task task) override;

protected:
    void runSync(const Task& work) override;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// A serial queue for tests that runs on the calling thread. Immediate queues
// run work as soon as it is handed over (work handed over by running work
// waits for it to finish); stepwise queues keep it until the test steps them.
// `sync` first runs everything still pending, as a serial queue would.
class ManualSerialQueue final : public SerialQueue {
public:
    explicit ManualSerialQueue(QString label, bool stepwise = false,
                               std::function<void(ManualSerialQueue*)> onDestroyed = {});
    ~ManualSerialQueue() override;

    void async(Task task) override;

    bool isStepwise() const { return stepwise_; }
    // Switching back to immediate runs whatever is pending.
    void setStepwise(bool stepwise);
    // Runs the oldest pending piece of work; false when there was none.
    bool runNext();
    // Runs pending work, including work that it hands over, until none is left.
    int runAll();
    std::size_t pendingCount() const;

protected:
    void runSync(const Task& work) override;

private:
    struct State;
    std::unique_ptr<State> state_;
    bool stepwise_ = false;
    std::function<void(ManualSerialQueue*)> onDestroyed_;
};

// Installs a factory that makes ManualSerialQueues for the lifetime of this
// object, and finds them again by label.
class ScopedManualSerialQueues {
public:
    ScopedManualSerialQueues();
    ~ScopedManualSerialQueues();
    ScopedManualSerialQueues(const ScopedManualSerialQueues&) = delete;
    ScopedManualSerialQueues& operator=(const ScopedManualSerialQueues&) = delete;

    // Queues created with this label from now on start stepwise.
    void makeStepwise(const QString& label);
    // The newest live queue with this label, or nullptr.
    ManualSerialQueue* find(const QString& label) const;

private:
    struct Registry;
    std::shared_ptr<Registry> registry_;
};

} // namespace velmor
