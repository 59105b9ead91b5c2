// Two machines of one user merge 1,000 user profiles that both changed while
// apart, on the real Qt event loop, each with its store, its sync and its own
// client of one folder database in a temporary folder (the database the
// application runs on: its file work on a worker, completions on the main
// thread). B is a copy of A once synced. While both are stopped, A renames every
// user profile and B renames every one otherwise and gives each a lighting (B's
// change is the later): every profile conflicts. A starts and uploads its change,
// then B starts: from its sync's start until the merge is uploaded, the longest
// single hold of the main thread and the wall time. One machine runs at a time,
// so that the thread's holds are B's alone.
//
//   velmor_bench_MergeBench RUNS     prints "name: value" lines (ms)
#include "EventLoop.h"
#include "HoldMeter.h"
#include "LargeProfiles.h"
#include "ThreadTime.h"

#include "platform/Paths.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace velmor;
using namespace std::chrono_literals;
using bench::runFor;
using bench::runUntil;

namespace {

constexpr int userCount = 1000;

void writeProfiles(const QString& folder, const PersistedProfiles& document, const QDateTime& changedAt)
{
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath(QStringLiteral("profiles.json")));
    const QByteArray bytes = document.encode();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.setFileTime(changedAt, QFileDevice::FileModificationTime))
        qFatal("cannot write the profiles");
}

// One machine: a data folder, a client of the cloud folder, and while it runs its store and sync.
class Machine {
public:
    Machine(QString folder, QString cloud) : folder_(std::move(folder)), cloud_(std::move(cloud)) {}

    void start()
    {
        paths::setApplicationSupportOverride(folder_);
        store_ = std::make_shared<ProfileStore>();
        auto container = cloud::FolderContainer::create(CloudKitProfileSync::containerIdentifier,
                                                        cloud::FolderLocation{cloud_, false},
                                                        cloud::FolderContainer::Options{clientId_});
        sync_ = CloudKitProfileSync::create(store_, std::move(container));
    }
    void startSync() { sync_->start(); }
    // Waits until the record holds this machine's data, uploaded after the record tagged `over`.
    QString waitUploaded(const QString& over)
    {
        runUntil(
            [&] {
                const std::optional<cloud::Record>& record = sync_->cachedRecord();
                return sync_->hasCompletedInitialSync() && !sync_->isUploadOwed() && record &&
                       record->recordChangeTag() != over;
            },
            "an upload");
        return sync_->cachedRecord()->recordChangeTag();
    }
    void stop()
    {
        runFor(500ms);
        store_->flush();
        sync_.reset();
        runFor(200ms);
        store_.reset();
    }
    LoadResult snapshot() const { return store_->snapshot(); }
    const QString& folder() const { return folder_; }
    int keptFiles() const
    {
        return int(QDir(folder_).entryList({QStringLiteral("* (user profile).json")}, QDir::Files).size());
    }

private:
    QString folder_;
    QString cloud_;
    QUuid clientId_ = QUuid::createUuid();
    std::shared_ptr<ProfileStore> store_;
    std::shared_ptr<CloudKitProfileSync> sync_;
};

PersistedProfiles changed(const LoadResult& profiles, const QString& suffix, const std::optional<QString>& lighting)
{
    PersistedProfiles document;
    document.activePacsProfileId = profiles.activePacsProfileId;
    document.activeUserProfileId = profiles.activeUserProfileId;
    document.pacsProfiles = profiles.pacsProfiles;
    document.userProfiles = profiles.userProfiles;
    for (UserProfile& user : document.userProfiles) {
        user.name += suffix;
        if (lighting)
            user.lightingHex = lighting;
    }
    return document;
}

struct Figures {
    double heldMs;
    double uploadedMs;
};

Figures runOnce(bench::HoldMeterApplication& application)
{
    const QTemporaryDir root;
    const QString cloud = QDir(root.path()).filePath(QStringLiteral("cloud"));
    QDir().mkpath(cloud);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    // A uploads the document into the empty folder; B is a copy of A's data folder then.
    Machine a(QDir(root.path()).filePath(QStringLiteral("a")), cloud);
    writeProfiles(a.folder(), bench::makeDocument({12, userCount, 24}), now.addSecs(-600));
    a.start();
    a.startSync();
    const QString first = a.waitUploaded(QString());
    const LoadResult synced = a.snapshot();
    a.stop();
    Machine b(QDir(root.path()).filePath(QStringLiteral("b")), cloud);
    QDir().mkpath(b.folder());
    for (const QString& name : QDir(a.folder()).entryList(QDir::Files)) {
        if (!QFile::copy(QDir(a.folder()).filePath(name), QDir(b.folder()).filePath(name)))
            qFatal("cannot copy %s", qPrintable(name));
    }

    // Apart: both change every user profile, B later.
    writeProfiles(a.folder(), changed(synced, QStringLiteral(" (A)"), std::nullopt), now.addSecs(-60));
    writeProfiles(b.folder(), changed(synced, QStringLiteral(" (B)"), QStringLiteral("#00FF00")), now.addSecs(-30));
    a.start();
    a.startSync();
    const QString fromA = a.waitUploaded(first);
    a.stop();

    b.start();
    runFor(200ms);
    application.restart();
    QElapsedTimer elapsed;
    elapsed.start();
    b.startSync();
    b.waitUploaded(fromA);
    const Figures figures{application.longestMs(), double(elapsed.elapsed())};
    std::fprintf(stderr, "run: held %.1f ms (%s), uploaded after %.0f ms, %d kept files\n", figures.heldMs,
                 application.longestWhat().constData(), figures.uploadedMs, b.keptFiles());
    const LoadResult merged = b.snapshot();
    if (b.keptFiles() < userCount || merged.userProfiles.isEmpty() || !merged.userProfiles.first().name.endsWith(" (B)"))
        qFatal("the merge did not keep B's names and A's versions as files");
    b.stop();
    paths::setApplicationSupportOverride({});
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QDir(home.path()).filePath(QStringLiteral("config"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(QDir(home.path()).filePath(QStringLiteral("cache"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::HoldMeterApplication application(argc, argv);
    RecordingNotifier notifier;
    Notifier::setInstance(&notifier);

    QList<double> held, uploaded;
    for (int run = 0; run < runs; ++run) {
        const Figures figures = runOnce(application);
        held.append(figures.heldMs);
        uploaded.append(figures.uploadedMs);
    }
    std::printf("held: %.1f\n", bench::median(held));
    std::printf("uploaded: %.0f\n", bench::median(uploaded));
    std::fflush(stdout);
    Notifier::setInstance(nullptr);
    return 0;
}
