// Two machines of one user merge 1,000 user profiles that both changed while
// apart, on the real Qt event loop, each with its store, its sync and its own
// client of one folder database in a temporary folder (the database the
// application runs on: its file work on a worker, completions on the main
// thread). B is a copy of A once synced. Apart (the shared folder away, as an
// unmounted share is), each runs and edits as its user does: A renames every user
// profile and one PACS profile, then B renames every user profile otherwise and
// gives each a lighting (B's change is the later): every user profile conflicts,
// and A's PACS name is a change of one side only, which a merge keeps (a restore
// would not). With the folder back, A starts and uploads its change, then B
// starts: from its sync's start until the merge is uploaded, the longest single
// hold of the main thread and the wall time. One machine runs at a time, so that
// the thread's holds are B's alone.
//
//   velmor_bench_MergeBench RUNS [USERS]   prints "name: value" lines (ms); USERS
//                                          (1,000) user profiles, fewer for a brief run
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
        // The user's shared folder: never made by Velmor, so while it is away the sync waits.
        auto container = cloud::FolderContainer::create(CloudKitProfileSync::containerIdentifier,
                                                        cloud::FolderLocation{cloud_, true},
                                                        cloud::FolderContainer::Options{clientId_});
        sync_ = CloudKitProfileSync::create(store_, std::move(container));
        sync_->onLog = [this](const QString& line) { log_ << line; };
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
    // Edits as its user does while it runs, each edit saved as it is made.
    void edit(const std::function<void(ProfileStore&)>& change)
    {
        change(*store_);
        runUntil([&] { return !store_->hasUnsavedChanges(); }, "the edits' save");
        runFor(200ms);
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
    const QStringList& log() const { return log_; }
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
    QStringList log_;
};

// Renames every user profile, each edit saved as the windows save it, and gives each a lighting.
void changeEveryUser(ProfileStore& store, const QString& suffix, const std::optional<QString>& lighting)
{
    // A copy: each edit replaces the store's list.
    const QList<UserProfile> users = store.userProfiles().get();
    for (const UserProfile& user : users) {
        store.renameUserProfile(user.id, user.name + suffix);
        if (lighting)
            store.setLightingHex(lighting, user.id);
    }
}

struct Figures {
    double heldMs;
    double uploadedMs;
};

Figures runOnce(bench::HoldMeterApplication& application, int userCount)
{
    const QTemporaryDir root;
    const QString cloud = QDir(root.path()).filePath(QStringLiteral("cloud"));
    const QString away = cloud + QStringLiteral(" (away)");
    QDir().mkpath(cloud);
    const QDateTime now = QDateTime::currentDateTimeUtc();

    // A uploads the document into the empty folder; B is a copy of A's data folder then.
    Machine a(QDir(root.path()).filePath(QStringLiteral("a")), cloud);
    writeProfiles(a.folder(), bench::makeDocument({12, userCount, 24}), now.addSecs(-600));
    a.start();
    a.startSync();
    const QString first = a.waitUploaded(QString());
    a.stop();
    Machine b(QDir(root.path()).filePath(QStringLiteral("b")), cloud);
    QDir().mkpath(b.folder());
    for (const QString& name : QDir(a.folder()).entryList(QDir::Files)) {
        if (!QFile::copy(QDir(a.folder()).filePath(name), QDir(b.folder()).filePath(name)))
            qFatal("cannot copy %s", qPrintable(name));
    }

    // Apart: the shared folder is away while each runs and its user edits, B later.
    if (!QDir().rename(cloud, away))
        qFatal("cannot move the cloud folder away");
    const QString pacsName = QStringLiteral("Renamed on A");
    QElapsedTimer phase;
    phase.start();
    for (Machine* machine : {&a, &b}) {
        machine->start();
        machine->startSync();
        runFor(500ms);
        machine->edit([&](ProfileStore& store) {
            if (machine == &a) {
                changeEveryUser(store, QStringLiteral(" (A)"), std::nullopt);
                store.renamePacsProfile(store.pacsProfiles().get().first().id, pacsName);
            } else {
                changeEveryUser(store, QStringLiteral(" (B)"), QStringLiteral("#00FF00"));
            }
        });
        const qint64 edited = phase.restart();
        machine->stop();
        std::fprintf(stderr, "apart: %s started and edited in %.1f s, stopped in %.1f s\n", machine == &a ? "A" : "B", edited / 1e3,
                     phase.restart() / 1e3);
    }
    if (!QDir().rename(away, cloud))
        qFatal("cannot put the cloud folder back");

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
    const bool keptA = std::any_of(merged.pacsProfiles.begin(), merged.pacsProfiles.end(),
                                   [&](const PacsProfile& pacs) { return pacs.name == pacsName; });
    if (b.keptFiles() < userCount || merged.userProfiles.isEmpty() || !merged.userProfiles.first().name.endsWith(" (B)"))
        qFatal("the merge did not keep B's names and A's versions as files");
    if (!keptA || b.log().filter(QStringLiteral("Cloud Sync: merged the profiles")).isEmpty())
        qFatal("B did not merge: A's change of one side only is gone (a restore?); B's log:\n%s",
               qPrintable(b.log().join(u'\n')));
    b.stop();
    paths::setApplicationSupportOverride({});
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int users = argc > 2 ? std::max(1, atoi(argv[2])) : 1000;
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
        const Figures figures = runOnce(application, users);
        held.append(figures.heldMs);
        uploaded.append(figures.uploadedMs);
    }
    std::printf("held: %.1f\n", bench::median(held));
    std::printf("uploaded: %.0f\n", bench::median(uploaded));
    std::fflush(stdout);
    Notifier::setInstance(nullptr);
    return 0;
}
