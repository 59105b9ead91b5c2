#pragma once

#include "model/IconRenderCache.h"
#include "model/IconRenderChild.h"
#include "model/IconRenderer.h"
#include "platform/SerialQueue.h"

#include <QCache>
#include <QMutex>
#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace velmor {

// Draws each icon document in a child process of its own (IconRenderChild): `program` gets
// the longest side as its argument and the document on standard input, and answers with
// iconpixels on standard output. A document is too costly only when its CPU budget runs
// out; the wall-clock backstop says nothing about it. At most maxChildren run at once and
// the rest wait in turn.
//
// Outcomes are kept by the document's key, in memory for the run and, when they belong to
// the document, in the on-disk cache, so a document is drawn, and its failure told, once
// per size. A crash or an out-of-budget run is the document's only when the program then
// draws a small built-in document; otherwise, and when the program cannot start, the
// program is at fault: nothing is kept, every icon not drawn yet ends unavailable for the
// rest of the run, and that is told once. A child ended by a signal that no document can
// cause (a kill from outside) is the machine's or the program's: nothing is kept, and it is
// told as the program's failure. The on-disk cache is read and written on a worker of its
// own, never on the window's thread. Lives on the main thread; knownByKey() and
// remembered() are safe on any.
class IconRenderService final : public IconRenderer {
public:
    struct Options {
        QString program = defaultProgram();
        QString cacheDirectory = defaultIconRenderCacheDirectory();
        IconRenderChild::Limits limits;
        int maxChildren = 2;
        IconRenderCache::Limits cacheLimits;
    };

    explicit IconRenderService(Options options);
    // Kills the children still running (see shutdown()).
    ~IconRenderService() override;
    IconRenderService(const IconRenderService&) = delete;
    IconRenderService& operator=(const IconRenderService&) = delete;

    std::optional<IconRenderResult> knownByKey(const QString& key) override;
    std::optional<IconRenderResult> remembered(const QString& key) override;
    void render(IconRenderRequest request, Done done) override;

    // Kills the children still running; what waits for them, and every later render,
    // ends cancelled on a later turn of the main queue.
    void shutdown();

    // Children started so far, built-in checks included.
    int childrenStarted() const { return started_; }
    int childrenRunning() const { return static_cast<int>(running_.size()); }

    // "velmor-icon-render" beside the running program.
    static QString defaultProgram();
    // What tells one build of the program from another: its file's size, modification
    // time and inode (through links); empty when there is no such file.
    static QByteArray programIdentity(const QString& program);

private:
    // Why the program, not a document, failed; told once per run.
    enum class ProgramFailure { notStarted, broken, backstop, killed };
    struct Job {
        IconRenderRequest request;
        std::vector<Done> waiting;
        bool probe = false;
        // While the program is checked: what the document is charged with if it passes.
        IconRenderOutcome suspected = IconRenderOutcome::crashed;
    };
    struct Running {
        Job job;
        std::unique_ptr<IconRenderChild> child;
    };

    Job* findJob(const QString& key);
    void lookedUp(const QString& key, std::optional<IconRenderResult> stored);
    void startWaitingJobs();
    void start(Job job);
    void childEnded(Running* running, IconRenderChild::Ending ending, const QImage& image);
    void jobEnded(Job job, IconRenderChild::Ending ending, const QImage& image);
    void suspect(Job job, IconRenderOutcome outcome);
    void probeEnded(IconRenderChild::Ending ending);
    void programFailed(ProgramFailure failure, IconOrigin origin);
    void settle(Job job, const IconRenderResult& result);
    void remember(const QString& key, const IconRenderResult& result);
    QString programFailureText(ProgramFailure failure) const;

    Options options_;
    // Work posted back from the cache's worker finds the service gone without it.
    std::shared_ptr<int> alive_ = std::make_shared<int>();
    IconRenderCache cache_;
    mutable QMutex memoryMutex_;
    QCache<QString, IconRenderResult> memory_;
    // Jobs whose outcome is looked for in the cache first.
    std::vector<Job> lookingUp_;
    std::deque<Job> waiting_;
    std::vector<std::unique_ptr<Running>> running_;
    // Jobs whose child crashed or ran out of budget, until the program has been checked.
    std::vector<Job> suspects_;
    bool probing_ = false;
    bool programBroken_ = false;
    bool programFailureTold_ = false;
    bool shutDown_ = false;
    int started_ = 0;
    // Declared last: gone first, after the reads and writes handed to it.
    std::unique_ptr<SerialQueue> cacheQueue_;
};

} // namespace velmor
