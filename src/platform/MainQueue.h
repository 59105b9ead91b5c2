#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

namespace velmor {

// Handle to delayed work. Move-only; destroying the handle cancels the work, so
// an owner that keeps the handle as a member never has its callback outlive it.
class Cancellable {
public:
    Cancellable() = default;
    // `onCancel`, when given, lets the queue drop the work at once instead of
    // skipping it when it falls due.
    explicit Cancellable(std::shared_ptr<bool> cancelled, std::function<void()> onCancel = {})
        : cancelled_(std::move(cancelled)), onCancel_(std::move(onCancel))
    {
    }
    Cancellable(Cancellable&& other) noexcept
        : cancelled_(std::move(other.cancelled_)), onCancel_(std::exchange(other.onCancel_, nullptr))
    {
    }
    Cancellable& operator=(Cancellable&& other) noexcept
    {
        if (this != &other) {
            cancel();
            cancelled_ = std::move(other.cancelled_);
            onCancel_ = std::exchange(other.onCancel_, nullptr);
        }
        return *this;
    }
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;
    ~Cancellable() { cancel(); }

    void cancel()
    {
        if (cancelled_) {
            *cancelled_ = true;
            if (onCancel_)
                onCancel_();
        }
        release();
    }
    // Lets the work run even though this handle goes away.
    void release()
    {
        cancelled_.reset();
        onCancel_ = nullptr;
    }
    bool isPending() const { return cancelled_ && !*cancelled_; }

private:
    std::shared_ptr<bool> cancelled_;
    std::function<void()> onCancel_;
};

// The main queue: work posted here runs on a later turn of the main loop, in the
// order it was posted. Delays run on the queue's own clock (virtual in tests).
class MainQueue {
public:
    using Task = std::function<void()>;
    using Duration = std::chrono::milliseconds;

    virtual ~MainQueue() = default;

    virtual void post(Task task) = 0;
    [[nodiscard]] virtual Cancellable after(Duration delay, Task task) = 0;

    // The process-wide queue: the Qt event loop unless a test installed another.
    static MainQueue& instance();
    // Installs `queue` (not owned) as the process-wide queue; nullptr restores the default.
    static void setInstance(MainQueue* queue);
};

// Shorthands for the process-wide queue.
inline void postToMain(MainQueue::Task task) { MainQueue::instance().post(std::move(task)); }
[[nodiscard]] inline Cancellable afterOnMain(MainQueue::Duration delay, MainQueue::Task task)
{
    return MainQueue::instance().after(delay, std::move(task));
}

} // namespace velmor
