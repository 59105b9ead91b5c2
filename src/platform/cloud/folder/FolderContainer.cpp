#include "platform/cloud/folder/FolderContainer.h"

#include "platform/RegularFile.h"
#include "platform/SerialQueue.h"
#include "platform/Settings.h"
#include "platform/cloud/Notification.h"
#include "platform/cloud/folder/ChangeTracker.h"
#include "platform/cloud/folder/FolderAccount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPair>

#include <algorithm>
#include <atomic>
#include <utility>

#include <sys/statvfs.h>
#include <unistd.h>

namespace velmor::cloud {

struct FolderContainer::Backend {
    Backend(QString identifier, FolderLocation location, const QUuid& clientId, folder::ChangeFault fault)
        : identifier(std::move(identifier)),
          account(std::move(location), clientId.toString(QUuid::WithoutBraces).toUpper(), fault),
          fault(std::move(fault)),
          queue(SerialQueue::create(QStringLiteral("com.velmor.cloud")))
    {
    }

    const QString identifier;
    folder::FolderAccount account;
    const folder::ChangeFault fault;
    folder::ChangeTracker tracker;
    // The changes not pushed yet (the subscriptions could not be read), one of each kind
    // and record type: whether a change sets a subscription off depends on nothing else.
    QHash<QPair<int, QString>, RecordChange> unpushed;
    std::unique_ptr<SerialQueue> queue;
    // A look through the folder waits on the queue: another one would find nothing more.
    std::atomic<bool> scanWaiting = false;
    std::atomic<int> scans = 0;
    // A save failed while the folder could not be written, or the folder was away.
    bool writeBlocked = false;
    // A save failed for the folder's lock, and nothing was written since.
    bool lockBlocked = false;
    // Told on the main queue when a save failed for the lock, and while that lock stays:
    // the folder is looked at again soon.
    std::function<void()> onLockBlocked;

    bool lockIsThere() const
    {
        return files::fileKind(account.path() + u'/' + folder::FolderLock::fileName) != files::FileKind::missing;
    }

    // The folder is there, has room, and this user may write into it and its records folder.
    bool isWritable() const
    {
        const QString root = account.path();
        const QString records = root + QStringLiteral("/records");
        const auto writable = [this](const QString& path) {
            const QByteArray name = QFile::encodeName(path);
            struct statvfs space {};
            return ::access(name.constData(), W_OK) == 0 && ::statvfs(name.constData(), &space) == 0 &&
                   space.f_bavail > 0 && (!fault || fault(path) == 0);
        };
        return account.status() == AccountStatus::available && writable(root) &&
               (files::fileKind(records) == files::FileKind::missing || writable(records));
    }
};

namespace {

using Backend = FolderContainer::Backend;

// Runs `work` on the backend's queue and hands its value or error to `done` on
// the main queue. The backend lives until the work is done.
template <typename T, typename Work>
void run(const std::shared_ptr<Backend>& backend, Work work, Completion<T> done)
{
    backend->queue->async([backend, work = std::move(work), done = std::move(done)] {
        std::optional<T> value;
        std::optional<Error> error;
        try {
            value = work(*backend);
        } catch (const Error& e) {
            error = e;
        } catch (const std::exception& e) {
            error = Error(Error::Code::internalError, QString::fromLocal8Bit(e.what()));
        }
        postToMain([done, value = std::move(value), error = std::move(error)] { done(value, error); });
    });
}

class FolderDatabase final : public Database {
public:
    explicit FolderDatabase(std::shared_ptr<Backend> backend) : backend_(std::move(backend)) {}

    void fetchRecord(const QString& recordName, Completion<Record> done) override
    {
        run<Record>(backend_, [recordName](Backend& b) { return b.account.fetchRecord(recordName); }, std::move(done));
    }

    void saveRecord(const Record& record, Completion<Record> done) override
    {
        run<Record>(
            backend_,
            [record](Backend& b) {
                Record saved;
                try {
                    saved = b.account.saveRecord(record);
                } catch (const Error& e) {
                    // Watched only while the folder cannot take writes (no access, no room)
                    // or its lock stands in the way, so that a failure of another kind never
                    // turns into a loop of retries.
                    b.writeBlocked = b.writeBlocked || !b.isWritable();
                    if (e.code() == Error::Code::serviceUnavailable && !std::exchange(b.lockBlocked, true))
                        postToMain(b.onLockBlocked);
                    throw;
                }
                b.lockBlocked = false;
                b.tracker.noteOwnSave({saved.recordName(), saved.recordChangeTag(), saved.recordType()});
                return saved;
            },
            std::move(done));
    }

    void fetchSubscription(const QString& subscriptionID, Completion<Subscription> done) override
    {
        run<Subscription>(
            backend_, [subscriptionID](Backend& b) { return b.account.fetchSubscription(subscriptionID); },
            std::move(done));
    }

    void saveSubscription(const Subscription& subscription, Completion<Subscription> done) override
    {
        run<Subscription>(
            backend_, [subscription](Backend& b) { return b.account.saveSubscription(subscription); },
            std::move(done));
    }

    void deleteSubscription(const QString& subscriptionID, Completion<QString> done) override
    {
        run<QString>(
            backend_, [subscriptionID](Backend& b) { return b.account.deleteSubscription(subscriptionID); },
            std::move(done));
    }

    qint64 maxRecordBytes() const override { return folder::FolderAccount::maxRecordBytes; }

    void fetchAllSubscriptions(Completion<QList<Subscription>> done) override
    {
        run<QList<Subscription>>(backend_, [](Backend& b) { return b.account.allSubscriptions(); }, std::move(done));
    }

private:
    std::shared_ptr<Backend> backend_;
};

} // namespace

FolderContainer::FolderContainer(QString identifier, FolderLocation location, Options options)
    : clientId_(options.clientId.isNull() ? machineClientId() : options.clientId),
      pollInterval_(options.pollInterval),
      burstInterval_(options.burstInterval),
      backend_(std::make_shared<Backend>(std::move(identifier), std::move(location), clientId_,
                                         std::move(options.changeFault))),
      database_(std::make_shared<FolderDatabase>(backend_))
{
}

std::shared_ptr<FolderContainer> FolderContainer::create(QString identifier, FolderLocation location, Options options)
{
    std::shared_ptr<FolderContainer> container(
        new FolderContainer(std::move(identifier), std::move(location), std::move(options)));
    container->self_ = container;
    container->backend_->onLockBlocked = [weak = container->self_] {
        if (const auto self = weak.lock())
            self->recheckLockSoon();
    };
    return container;
}

FolderContainer::~FolderContainer() = default;

QString FolderContainer::containerIdentifier() const { return backend_->identifier; }

const QString& FolderContainer::folderPath() const { return backend_->account.path(); }

int FolderContainer::scanCount() const { return backend_->scans; }

void FolderContainer::accountStatus(Completion<AccountStatus> done)
{
    run<AccountStatus>(
        backend_,
        [](Backend& b) {
            const AccountStatus status = b.account.status();
            b.writeBlocked = b.writeBlocked || status != AccountStatus::available;
            return status;
        },
        std::move(done));
}

void FolderContainer::fetchUserRecordID(Completion<QString> done)
{
    run<QString>(backend_, [](Backend& b) { return b.account.userRecordName(); }, std::move(done));
}

void FolderContainer::accountExists(Completion<bool> done)
{
    run<bool>(backend_, [](Backend& b) { return b.account.holdsDatabase(); }, std::move(done));
}

void FolderContainer::registerForRemoteNotifications(Completion<QByteArray> done)
{
    const bool first = !registered_;
    registered_ = true;
    run<QByteArray>(
        backend_,
        [first, token = clientId_.toRfc4122()](Backend& b) {
            // What is there now is known; only later changes by others are pushed.
            if (first)
                b.tracker.setBaseline(b.account.look().value_or(folder::ChangeTracker::Look{}));
            return token;
        },
        std::move(done));
    if (first)
        startWatching();
}

void FolderContainer::checkForChanges()
{
    if (!registered_ || backend_->scanWaiting.exchange(true))
        return;
    backend_->queue->async([backend = backend_, weak = self_] {
        // Changes from now on need a look of their own.
        backend->scanWaiting = false;
        ++backend->scans;
        const auto look = backend->account.look();
        if (!look)
            return; // an unmounted share changes nothing; its changes show once it is back
        for (const RecordChange& change : backend->tracker.update(*look))
            if (const auto key = qMakePair(int(change.kind), change.recordType); !backend->unpushed.contains(key))
                backend->unpushed.insert(key, change);
        if (backend->unpushed.isEmpty())
            return; // most looks: the subscriptions are read only when something changed
        QList<Subscription> subscriptions;
        try {
            subscriptions = backend->account.allSubscriptions();
        } catch (const Error&) {
            return; // the changes go out at a look that can read them
        }
        const QList<RecordChange> changes = std::exchange(backend->unpushed, {}).values();
        // One push per subscription that the changes set off, for one of them: a folder
        // others filled with thousands of records reaches the window as a few pushes,
        // each of which starts a whole sync anyway.
        QList<QVariantMap> pushes;
        for (const Subscription& subscription : subscriptions) {
            const auto first = std::find_if(changes.cbegin(), changes.cend(),
                                            [&](const RecordChange& change) { return fires(subscription, change); });
            if (first != changes.cend())
                pushes.append(Notification::forChange(subscription, *first, backend->identifier)
                                  .toRemoteNotificationDictionary());
        }
        if (pushes.isEmpty())
            return;
        postToMain([weak, pushes] {
            if (const auto self = weak.lock())
                for (const QVariantMap& push : pushes)
                    self->deliverPush(push);
        });
    });
}

void FolderContainer::startWatching()
{
    watcher_ = std::make_unique<QFileSystemWatcher>();
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(), [this] { folderChanged(); });
    watchFolders();
    schedulePoll();
}

void FolderContainer::folderChanged()
{
    // Every look reads the whole folder: a burst of reports gets one.
    if (burstPending_)
        return;
    burstPending_ = true;
    burst_ = afterOnMain(burstInterval_, [this] {
        burstPending_ = false;
        watchFolders(); // the records folder may just have been made
        checkForChanges();
    });
}

void FolderContainer::watchFolders()
{
    const QString root = folderPath();
    const QString records = root + QStringLiteral("/records");
    // The records folder is watched only while it is a real folder, never through a link.
    for (const QString& path : {root, records})
        if (QFileInfo(path).isDir() && (path == root || files::fileKind(path) == files::FileKind::folder) &&
            !watcher_->directories().contains(path))
            watcher_->addPath(path);
}

void FolderContainer::schedulePoll()
{
    poll_ = afterOnMain(pollInterval_, [this] {
        watchFolders();
        checkForChanges();
        checkWritableAgain();
        schedulePoll();
    });
}

void FolderContainer::checkWritableAgain()
{
    backend_->queue->async([backend = backend_, weak = self_] {
        if ((!backend->writeBlocked && !backend->lockBlocked) || !backend->isWritable())
            return;
        if (backend->lockBlocked && backend->lockIsThere()) {
            postToMain(backend->onLockBlocked);
            return;
        }
        backend->writeBlocked = false;
        backend->lockBlocked = false;
        postToMain([weak] {
            if (const auto self = weak.lock())
                self->deliverWritableAgain();
        });
    });
}

void FolderContainer::recheckLockSoon()
{
    // What a lock held up goes up as soon as the lock is gone, not at the next poll.
    lockRecheck_ = afterOnMain(lockRecheckInterval, [this] { checkWritableAgain(); });
}

QUuid FolderContainer::machineClientId()
{
    const QString key = QStringLiteral("Velmor.cloudClientID");
    Settings& settings = Settings::instance();
    QUuid id(settings.value(key).toString());
    if (id.isNull()) {
        id = QUuid::createUuid();
        settings.setValue(key, id.toString(QUuid::WithoutBraces).toUpper());
    }
    return id;
}

} // namespace velmor::cloud
