#include "model/IconRenderService.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutexLocker>

#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace velmor {

namespace {

using Ending = IconRenderChild::Ending;

// What any working drawing program draws: the check that tells a document's failure
// from the program's.
const QByteArray probeDocument =
    R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r="8"/></svg>)";
constexpr int probeSide = 16;

void deliver(const std::vector<IconRenderer::Done>& waiting, const IconRenderResult& result)
{
    for (const IconRenderer::Done& done : waiting)
        if (done)
            done(result);
}

void later(IconRenderer::Done done, IconRenderResult result)
{
    postToMain([done = std::move(done), result = std::move(result)] { done(result); });
}

} // namespace

IconRenderService::IconRenderService(Options options)
    : options_(std::move(options)),
      cache_(options_.cacheDirectory, options_.cacheLimits, programIdentity(options_.program),
             // Told on the main queue, whichever thread first used the cache.
             [this, alive = std::weak_ptr(alive_)](const QString& why) {
                 postToMain([this, alive, why] {
                     if (!alive.expired())
                         reportLog(why);
                 });
             }),
      memory_(16 * 1024 * 1024),
      cacheQueue_(SerialQueue::create(QStringLiteral("com.velmor.icon-cache")))
{
}

IconRenderService::~IconRenderService()
{
    shutdown();
    alive_.reset();
}

QString IconRenderService::defaultProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("velmor-icon-render"));
}

QByteArray IconRenderService::programIdentity(const QString& program)
{
    struct stat info {};
    if (::stat(QFile::encodeName(program).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const qint64 modifiedNs = qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return QByteArray::number(qint64(info.st_size)) + '-' + QByteArray::number(modifiedNs) + '-'
        + QByteArray::number(quint64(info.st_ino));
}

std::optional<IconRenderResult> IconRenderService::remembered(const QString& key)
{
    const QMutexLocker lock(&memoryMutex_);
    if (const IconRenderResult* found = memory_.object(key))
        return *found;
    return std::nullopt;
}

std::optional<IconRenderResult> IconRenderService::knownByKey(const QString& key)
{
    if (std::optional<IconRenderResult> found = remembered(key))
        return found;
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

void IconRenderService::render(IconRenderRequest request, Done done)
{
    if (shutDown_)
        return later(std::move(done), {IconRenderOutcome::cancelled, {}});
    // Hashed once: the document may be a megabyte.
    if (request.key.isEmpty())
        request.key = iconRenderKey(request.document, request.side);
    if (std::optional<IconRenderResult> result = remembered(request.key))
        return later(std::move(done), std::move(*result));
    if (Job* job = findJob(request.key))
        return job->waiting.push_back(std::move(done));
    // The cache's entry first, read and decoded on its worker.
    const QString key = request.key;
    lookingUp_.push_back(Job{std::move(request), {}});
    lookingUp_.back().waiting.push_back(std::move(done));
    cacheQueue_->async([this, alive = std::weak_ptr(alive_), key] {
        if (alive.expired())
            return;
        std::optional<IconRenderResult> stored = cache_.find(key);
        postToMain([this, alive, key, stored = std::move(stored)]() mutable {
            if (!alive.expired())
                lookedUp(key, std::move(stored));
        });
    });
}

void IconRenderService::lookedUp(const QString& key, std::optional<IconRenderResult> stored)
{
    const auto found =
        std::find_if(lookingUp_.begin(), lookingUp_.end(), [&key](const Job& job) { return job.request.key == key; });
    if (found == lookingUp_.end())
        return; // shut down meanwhile
    Job job = std::move(*found);
    lookingUp_.erase(found);
    if (stored) {
        remember(key, *stored);
        return deliver(job.waiting, *stored);
    }
    if (programBroken_)
        return deliver(job.waiting, {IconRenderOutcome::unavailable, {}});
    waiting_.push_back(std::move(job));
    startWaitingJobs();
}

IconRenderService::Job* IconRenderService::findJob(const QString& key)
{
    for (const std::unique_ptr<Running>& running : running_)
        if (!running->job.probe && running->job.request.key == key)
            return &running->job;
    for (Job& job : waiting_)
        if (!job.probe && job.request.key == key)
            return &job;
    for (Job& job : suspects_)
        if (job.request.key == key)
            return &job;
    for (Job& job : lookingUp_)
        if (job.request.key == key)
            return &job;
    return nullptr;
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
    auto owned = std::make_unique<Running>();
    Running* running = owned.get();
    running->job = std::move(job);
    running_.push_back(std::move(owned));
    ++started_;
    const IconRenderRequest& request = running->job.request;
    running->child = std::make_unique<IconRenderChild>(
        options_.program, request.document, request.side, options_.limits,
        [this, running](Ending ending, const QImage& image) { childEnded(running, ending, image); });
}

void IconRenderService::childEnded(Running* running, Ending ending, const QImage& image)
{
    const auto found = std::find_if(running_.begin(), running_.end(),
                                    [running](const std::unique_ptr<Running>& item) { return item.get() == running; });
    if (found == running_.end())
        return;
    const std::unique_ptr<Running> ended = std::move(*found);
    running_.erase(found);
    if (ended->job.probe)
        probeEnded(ending);
    else
        jobEnded(std::move(ended->job), ending, image);
    startWaitingJobs();
}

void IconRenderService::jobEnded(Job job, Ending ending, const QImage& image)
{
    switch (ending) {
    case Ending::drawn:
        return settle(std::move(job), {IconRenderOutcome::drawn, image});
    case Ending::refused:
        return settle(std::move(job), {IconRenderOutcome::refused, {}});
    case Ending::outOfCpu:
        return suspect(std::move(job), IconRenderOutcome::overran);
    case Ending::failed:
        return suspect(std::move(job), IconRenderOutcome::crashed);
    case Ending::backstop:
        // The machine or the program: this document is not drawn in this run.
        programFailed(ProgramFailure::backstop, job.request.origin);
        return settle(std::move(job), {IconRenderOutcome::unavailable, {}});
    case Ending::killed:
        // Someone else's doing (a user, a watchdog, the system): drawn again next start.
        programFailed(ProgramFailure::killed, job.request.origin);
        return settle(std::move(job), {IconRenderOutcome::unavailable, {}});
    case Ending::notStarted:
        programFailed(ProgramFailure::notStarted, job.request.origin);
        return settle(std::move(job), {IconRenderOutcome::unavailable, {}});
    }
}

void IconRenderService::suspect(Job job, IconRenderOutcome outcome)
{
    if (programBroken_)
        return settle(std::move(job), {IconRenderOutcome::unavailable, {}});
    job.suspected = outcome;
    suspects_.push_back(std::move(job));
    if (std::exchange(probing_, true))
        return;
    Job probe{{probeDocument, probeSide, {}, IconOrigin::local, iconRenderKey(probeDocument, probeSide)}, {}, true};
    waiting_.push_front(std::move(probe));
}

void IconRenderService::probeEnded(Ending ending)
{
    probing_ = false;
    std::vector<Job> suspects = std::exchange(suspects_, {});
    if (ending == Ending::drawn) {
        for (Job& job : suspects) {
            const IconRenderOutcome outcome = job.suspected;
            settle(std::move(job), {outcome, {}});
        }
        return;
    }
    const IconOrigin origin = suspects.empty() ? IconOrigin::local : suspects.front().request.origin;
    // A check stopped from outside says nothing about the program either.
    programFailed(ending == Ending::backstop ? ProgramFailure::backstop
                      : ending == Ending::killed ? ProgramFailure::killed
                                                 : ProgramFailure::broken,
                  origin);
    for (Job& job : suspects)
        settle(std::move(job), {IconRenderOutcome::unavailable, {}});
}

void IconRenderService::programFailed(ProgramFailure failure, IconOrigin origin)
{
    if (!std::exchange(programFailureTold_, true))
        reportProgramFailure(origin, programFailureText(failure));
    if (failure == ProgramFailure::backstop || failure == ProgramFailure::killed
        || std::exchange(programBroken_, true))
        return;
    // Nothing more is started in this run: what waits, or waits for the check, ends now.
    std::deque<Job> waiting = std::exchange(waiting_, {});
    std::move(suspects_.begin(), suspects_.end(), std::back_inserter(waiting));
    suspects_.clear();
    probing_ = false;
    for (Job& job : waiting)
        if (!job.probe)
            settle(std::move(job), {IconRenderOutcome::unavailable, {}});
}

void IconRenderService::settle(Job job, const IconRenderResult& result)
{
    // Every outcome holds for this run; only the document's own outlive it.
    remember(job.request.key, result);
    if (result.isFailureOfTheDocument() || result.outcome == IconRenderOutcome::drawn)
        cacheQueue_->async([this, key = job.request.key, result] { cache_.store(key, result); });
    if (result.isFailureOfTheDocument())
        reportFailure(job.request.name, job.request.origin, result.outcome);
    deliver(job.waiting, result);
}

QString IconRenderService::programFailureText(ProgramFailure failure) const
{
    const QString broken =
        QStringLiteral("; custom icons not drawn yet show their tools' symbols until Velmor starts again.");
    switch (failure) {
    case ProgramFailure::notStarted:
        return QStringLiteral("The icon drawing program “%1” could not be started").arg(options_.program) + broken;
    case ProgramFailure::broken:
        return QStringLiteral("The icon drawing program “%1” fails on a built-in test icon too, so it cannot draw "
                              "icons")
                   .arg(options_.program)
            + broken;
    case ProgramFailure::backstop:
        return QStringLiteral("The icon drawing program did not finish within %1 s (the computer may be busy); the "
                              "icons it did not draw show their tools' symbols until Velmor starts again.")
            .arg(options_.limits.backstop.count() / 1000.0);
    case ProgramFailure::killed:
        return QStringLiteral("The icon drawing program was stopped from outside Velmor (a signal it did not send); "
                              "the icons it did not draw show their tools' symbols until Velmor starts again.");
    }
    return {};
}

void IconRenderService::shutdown()
{
    shutDown_ = true;
    std::vector<Done> waiting;
    const auto collect = [&waiting](Job& job) {
        std::move(job.waiting.begin(), job.waiting.end(), std::back_inserter(waiting));
    };
    for (const std::unique_ptr<Running>& running : running_)
        collect(running->job);
    running_.clear(); // kills the children
    for (Job& job : waiting_)
        collect(job);
    waiting_.clear();
    for (Job& job : suspects_)
        collect(job);
    suspects_.clear();
    for (Job& job : lookingUp_)
        collect(job);
    lookingUp_.clear();
    probing_ = false;
    if (!waiting.empty())
        postToMain([waiting = std::move(waiting)] { deliver(waiting, {IconRenderOutcome::cancelled, {}}); });
}

} // namespace velmor
