#include "model/IconRenderService.h"

#include "model/IconPixels.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QMutexLocker>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>

namespace velmor {

namespace {

// Address space for a child; the sanitizers reserve far more than this for their own
// bookkeeping, so a sanitized build leaves it unlimited.
constexpr rlim_t childAddressSpace = rlim_t(512) * 1024 * 1024;

void limitChild(rlim_t cpuSeconds)
{
    const rlimit cpu{cpuSeconds, cpuSeconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    const rlimit memory{childAddressSpace, childAddressSpace};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    // A crash is an outcome, not a core file.
    const rlimit core{0, 0};
    ::setrlimit(RLIMIT_CORE, &core);
}

void deliver(std::vector<IconRenderer::Done> waiting, const IconRenderResult& result)
{
    for (const IconRenderer::Done& done : waiting)
        if (done)
            done(result);
}

} // namespace

struct IconRenderService::Child {
    Job job;
    std::unique_ptr<QProcess> process;
    QTimer deadline;
    QByteArray output;
    bool overran = false;
    bool malformed = false;
};

IconRenderService::IconRenderService(Options options)
    : options_(std::move(options)),
      cache_(options_.cacheDirectory, options_.cacheLimits),
      memory_(16 * 1024 * 1024)
{
}

IconRenderService::~IconRenderService() { shutdown(); }

QString IconRenderService::defaultProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("velmor-icon-render"));
}

std::optional<IconRenderResult> IconRenderService::known(const QByteArray& document, int side)
{
    return knownByKey(IconRenderCache::key(document, side));
}

std::optional<IconRenderResult> IconRenderService::knownByKey(const QString& key)
{
    {
        const QMutexLocker lock(&memoryMutex_);
        if (const IconRenderResult* found = memory_.object(key))
            return *found;
    }
    std::optional<IconRenderResult> stored = cache_.find(key);
    if (stored)
        remember(key, *stored);
    return stored;
}

void IconRenderService::remember(const QString& key, const IconRenderResult& result)
{
    const QMutexLocker lock(&memoryMutex_);
    memory_.insert(key, new IconRenderResult(result), std::max<qsizetype>(result.image.sizeInBytes(), 1));
}

void IconRenderService::render(const QByteArray& document, int side, const QString& name, Done done)
{
    const auto later = [](Done done, IconRenderResult result) {
        postToMain([done = std::move(done), result = std::move(result)] { done(result); });
    };
    if (shutDown_)
        return later(std::move(done), {IconRenderOutcome::cancelled, {}});
    // Hashed once: the document may be a megabyte.
    const QString key = IconRenderCache::key(document, side);
    if (std::optional<IconRenderResult> result = knownByKey(key))
        return later(std::move(done), std::move(*result));

    for (const std::unique_ptr<Child>& child : running_)
        if (child->job.key == key)
            return child->job.waiting.push_back(std::move(done));
    for (Job& job : waiting_)
        if (job.key == key)
            return job.waiting.push_back(std::move(done));
    waiting_.push_back(Job{key, document, side, name, {}});
    waiting_.back().waiting.push_back(std::move(done));
    startWaitingJobs();
}

void IconRenderService::startWaitingJobs()
{
    while (!shutDown_ && !waiting_.empty() && static_cast<int>(running_.size()) < options_.maxChildren) {
        Job job = std::move(waiting_.front());
        waiting_.pop_front();
        start(std::move(job));
    }
}

void IconRenderService::start(Job job)
{
    auto owned = std::make_unique<Child>();
    Child* child = owned.get();
    child->job = std::move(job);
    child->process = std::make_unique<QProcess>();
    QProcess* process = child->process.get();
    running_.push_back(std::move(owned));
    ++started_;

    const auto cpuSeconds = static_cast<rlim_t>(options_.deadline.count() / 1000 + 1);
    process->setChildProcessModifier([cpuSeconds] { limitChild(cpuSeconds); });
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setProgram(options_.program);
    process->setArguments({QString::number(child->job.side)});

    const qint64 maxOutput = iconpixels::maxBytes(child->job.side);
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [child, process, maxOutput] {
        child->output += process->readAllStandardOutput();
        if (child->output.size() > maxOutput && !child->malformed) {
            child->malformed = true;
            process->kill();
        }
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, child](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            childEnded(child, {IconRenderOutcome::unavailable, {}});
    });
    QObject::connect(process, &QProcess::finished, process,
                     [this, child, process](int status, QProcess::ExitStatus exit) {
                         child->output += process->readAllStandardOutput();
                         const int side = child->job.side;
                         IconRenderResult result{IconRenderOutcome::crashed, {}};
                         if (child->overran)
                             result.outcome = IconRenderOutcome::overran;
                         else if (exit != QProcess::NormalExit || child->malformed)
                             result.outcome = IconRenderOutcome::crashed;
                         else if (status == iconpixels::refusedStatus)
                             result.outcome = IconRenderOutcome::refused;
                         else if (std::optional<QImage> image = iconpixels::decode(child->output, side);
                                  image && status == iconpixels::drawnStatus)
                             result = {IconRenderOutcome::drawn, std::move(*image)};
                         childEnded(child, std::move(result));
                     });
    child->deadline.setSingleShot(true);
    QObject::connect(&child->deadline, &QTimer::timeout, process, [child, process] {
        child->overran = true;
        process->kill();
    });
    child->deadline.start(options_.deadline);

    process->start();
    if (process->state() == QProcess::NotRunning)
        return; // errorOccurred has ended it
    process->write(child->job.document);
    process->closeWriteChannel();
}

void IconRenderService::childEnded(Child* child, IconRenderResult result)
{
    const auto found = std::find_if(running_.begin(), running_.end(),
                                    [child](const std::unique_ptr<Child>& running) { return running.get() == child; });
    if (found == running_.end())
        return;
    std::unique_ptr<Child> ended = std::move(*found);
    running_.erase(found);
    // The process is inside its own signal: let go of it on a later turn.
    QProcess* process = ended->process.release();
    process->disconnect();
    process->deleteLater();

    ended->deadline.stop();

    // A program that could not start is remembered for this run only (the next start
    // tries again) and told once.
    remember(ended->job.key, result);
    if (result.isFailureOfTheDocument() || result.outcome == IconRenderOutcome::drawn)
        cache_.store(ended->job.key, result);
    if (result.isFailureOfTheDocument()
        || (result.outcome == IconRenderOutcome::unavailable && !std::exchange(unavailableTold_, true)))
        reportFailure(ended->job.name, result.outcome);
    deliver(std::move(ended->job.waiting), result);
    startWaitingJobs();
}

void IconRenderService::shutdown()
{
    shutDown_ = true;
    std::vector<Done> waiting;
    for (const std::unique_ptr<Child>& child : running_) {
        child->process->disconnect();
        child->process->kill();
        child->process->waitForFinished(1000);
        std::move(child->job.waiting.begin(), child->job.waiting.end(), std::back_inserter(waiting));
    }
    running_.clear();
    for (Job& job : waiting_)
        std::move(job.waiting.begin(), job.waiting.end(), std::back_inserter(waiting));
    waiting_.clear();
    if (!waiting.empty())
        postToMain([waiting = std::move(waiting)] { deliver(waiting, {IconRenderOutcome::cancelled, {}}); });
}

} // namespace velmor
