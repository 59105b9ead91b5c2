#pragma once

#include "model/IconRenderCache.h"
#include "model/IconRenderer.h"

#include <QCache>
#include <QHash>
#include <QMutex>
#include <QString>

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

class QProcess;

namespace velmor {

// Draws each icon document in a child process of its own: `program` gets the longest side
// as its argument and the document on standard input, and answers with iconpixels on
// standard output. The child runs under CPU and memory limits and is killed at the
// deadline; at most maxChildren run at once and the rest wait in turn. Outcomes are kept
// by the document's hash, in memory and in the on-disk cache, so a document is drawn, and
// its failure told, once per size. Lives on the main thread; known() is safe on any.
class IconRenderService final : public IconRenderer {
public:
    static constexpr std::chrono::milliseconds defaultDeadline{2000};

    struct Options {
        QString program = defaultProgram();
        QString cacheDirectory = defaultIconRenderCacheDirectory();
        std::chrono::milliseconds deadline = defaultDeadline;
        int maxChildren = 2;
        IconRenderCache::Limits cacheLimits;
    };

    explicit IconRenderService(Options options);
    // Kills the children still running (see shutdown()).
    ~IconRenderService() override;
    IconRenderService(const IconRenderService&) = delete;
    IconRenderService& operator=(const IconRenderService&) = delete;

    std::optional<IconRenderResult> known(const QByteArray& document, int side) override;
    void render(const QByteArray& document, int side, const QString& name, Done done) override;

    // Kills the children still running; what waits for them, and every later render,
    // ends cancelled on a later turn of the main queue.
    void shutdown();

    // Children started so far.
    int childrenStarted() const { return started_; }
    int childrenRunning() const { return static_cast<int>(running_.size()); }

    // "velmor-icon-render" beside the running program.
    static QString defaultProgram();

private:
    struct Job {
        QString key;
        QByteArray document;
        int side = 0;
        QString name;
        std::vector<Done> waiting;
    };
    struct Child;

    void startWaitingJobs();
    void start(Job job);
    void childEnded(Child* child, IconRenderResult result);
    std::optional<IconRenderResult> knownByKey(const QString& key);
    void remember(const QString& key, const IconRenderResult& result);

    Options options_;
    IconRenderCache cache_;
    mutable QMutex memoryMutex_;
    QCache<QString, IconRenderResult> memory_;
    std::deque<Job> waiting_;
    std::vector<std::unique_ptr<Child>> running_;
    bool shutDown_ = false;
    bool unavailableTold_ = false;
    int started_ = 0;
};

} // namespace velmor
