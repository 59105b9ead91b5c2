#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QImage>

#include <chrono>
#include <list>
#include <memory>
#include <optional>

namespace velmor {

class SerialQueue;

// Draws icon documents that come from outside on worker threads, each under a time limit,
// so that no document can hold up the main thread. A render that overruns is given up: the
// caller goes on without it, and its worker is let go once it ends. Lives on the main thread.
class IconRenderWorker {
public:
    enum class Outcome { drawn, refused, overran };
    struct Result {
        Outcome outcome = Outcome::refused;
        std::optional<QImage> image;
    };
    static constexpr std::chrono::milliseconds defaultLimit{5000};
    static inline const QString queueLabel = QStringLiteral("com.velmor.icon-render");

    explicit IconRenderWorker(std::chrono::milliseconds limit = defaultLimit);
    // Waits for a render still running at most until its own limit runs out; one that
    // overran is left to end on its own.
    ~IconRenderWorker();
    IconRenderWorker(const IconRenderWorker&) = delete;
    IconRenderWorker& operator=(const IconRenderWorker&) = delete;

    std::chrono::milliseconds limit() const { return limit_; }

    // renderSvgIcon on a worker; resumes on the main queue with the image, or with why
    // there is none. Never throws.
    QCoro::Task<Result> render(QByteArray document, int longestSide);

private:
    struct Job;
    struct Running {
        std::unique_ptr<SerialQueue> queue;
        std::shared_ptr<Job> job;
    };

    // Forgets the finished renders; their workers end at once.
    void reap();

    std::chrono::milliseconds limit_;
    std::list<Running> running_;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

} // namespace velmor
