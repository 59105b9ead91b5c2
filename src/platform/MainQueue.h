#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace velmor {

// Handle to delayed work. Move-only; destroying the handle cancels the work, so
// an owner that keeps the handle as a member never has its callback outlive it.
class Cancellable {
public:
    Cancellable() = default;
    explicit Cancellable(std::shared_ptr<bool> cancelled) : cancelled_(std::move(cancelled)) {}
    Cancellable(Cancellable&&) noexcept = default;
    Cancellable& operator=(Cancellable&& other) noexcept
    {
        if (this != &other) {
            cancel();
            cancelled_ = std::move(other.cancelled_);
        }
        return *this;
    }
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;
    ~Cancellable() { cancel(); }

    void cancel()
    {
        if (cancelled_)
            *cancelled_ = true;
        cancelled_.reset();
    }
    // Lets the work run even though this handle goes away.
    void release() { cancelled_.reset(); }
    bool isPending() const { return cancelled_ && !*cancelled_; }

private:
    std::shared_ptr<bool> cancelled_;
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
