#include "sync/IconRenderWorker.h"

#include "model/SvgIconImage.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"

#include <condition_variable>
#include <coroutine>
#include <mutex>
#include <utility>

namespace velmor {

// What the worker hands back; `finished` under the mutex, read by the waiting owner.
struct IconRenderWorker::Job {
    std::mutex mutex;
    std::condition_variable finishedSignal;
    bool finished = false;
    std::optional<QImage> image;
    std::chrono::steady_clock::time_point deadline;
};

namespace {

// Main thread only: the first of the result and the time limit resumes the render.
struct Wait {
    std::coroutine_handle<> awaiting;
    IconRenderWorker::Result result;
    bool done = false;
    Cancellable timer;

    void finish(IconRenderWorker::Result outcome)
    {
        if (done)
            return;
        done = true;
        result = std::move(outcome);
        if (awaiting)
            awaiting.resume();
    }
};

struct WaitAwaiter {
    std::shared_ptr<Wait> wait;
    bool await_ready() const noexcept { return wait->done; }
    void await_suspend(std::coroutine_handle<> handle) { wait->awaiting = handle; }
    IconRenderWorker::Result await_resume() { return std::move(wait->result); }
};

} // namespace

IconRenderWorker::IconRenderWorker(std::chrono::milliseconds limit) : limit_(limit) {}

IconRenderWorker::~IconRenderWorker()
{
    for (Running& running : running_) {
        std::unique_lock lock(running.job->mutex);
        if (running.job->finishedSignal.wait_until(lock, running.job->deadline, [&] { return running.job->finished; }))
            continue;
        // Still drawing past its limit: joining would wait for as long as it takes.
        lock.unlock();
        [[maybe_unused]] SerialQueue* abandoned = running.queue.release();
    }
}

QCoro::Task<IconRenderWorker::Result> IconRenderWorker::render(QByteArray document, int longestSide)
{
    reap();
    auto job = std::make_shared<Job>();
    job->deadline = std::chrono::steady_clock::now() + limit_;
    auto wait = std::make_shared<Wait>();
    const std::weak_ptr<const int> alive = alive_;

    // Only the awaiting render holds the wait; the timer and the worker's result find it
    // weakly, so it never ends on the worker thread or inside the timer's own call.
    const std::weak_ptr<Wait> weakWait = wait;
    wait->timer = afterOnMain(limit_, [weakWait] {
        if (const std::shared_ptr<Wait> overran = weakWait.lock()) {
            overran->timer.release();
            overran->finish({Outcome::overran, std::nullopt});
        }
    });
    running_.push_back({SerialQueue::create(queueLabel), job});
    running_.back().queue->async([this, job, weakWait, alive, document = std::move(document), longestSide] {
        std::optional<QImage> image = renderSvgIcon(document, longestSide);
        {
            const std::lock_guard lock(job->mutex);
            job->finished = true;
            job->image = std::move(image);
        }
        job->finishedSignal.notify_all();
        postToMain([this, job, weakWait, alive] {
            if (!alive.expired())
                reap();
            const std::shared_ptr<Wait> waiting = weakWait.lock();
            if (!waiting)
                return;
            waiting->timer.cancel();
            std::optional<QImage> drawn = std::move(job->image);
            const Outcome outcome = drawn ? Outcome::drawn : Outcome::refused;
            waiting->finish({outcome, std::move(drawn)});
        });
    });
    co_return co_await WaitAwaiter{wait};
}

void IconRenderWorker::reap()
{
    running_.remove_if([](const Running& running) {
        const std::lock_guard lock(running.job->mutex);
        return running.job->finished;
    });
}

} // namespace velmor
