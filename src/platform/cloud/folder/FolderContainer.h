#pragma once

#include "platform/MainQueue.h"
#include "platform/cloud/Container.h"
#include "platform/cloud/folder/Folder.h"
#include "platform/cloud/folder/FolderLocation.h"

#include <QUuid>

#include <chrono>
#include <memory>

class QFileSystemWatcher;

namespace velmor::cloud {

// A container whose private database is a folder (see FolderAccount), shared by
// the user's machines through whatever shares the folder. File work runs on a
// serial queue of its own; completions come back on the main queue.
//
// After registering for pushes, the client learns of other clients' saves by
// watching the folder and, since a network file system does not report what
// other machines write, by comparing the records' change tags every
// `pollInterval` and on checkForChanges(). Each look sends one push per stored
// subscription that its changes set off, however many records changed (a query
// subscription's names one of them). The folder is looked through once per
// burst of reports from the watch (a share bringing thousands of files at once),
// `burstInterval` after the first report, and never twice while a look waits.
class FolderContainer final : public Container {
public:
    struct Options {
        // Empty: this machine's id (machineClientId()).
        QUuid clientId;
        std::chrono::milliseconds pollInterval{30'000};
        // For tests: makes changes to the folder fail as a full or read-only disk would.
        folder::ChangeFault changeFault = {};
        std::chrono::milliseconds burstInterval{300};
    };

    static std::shared_ptr<FolderContainer> create(QString identifier, FolderLocation location, Options options);
    static std::shared_ptr<FolderContainer> create(QString identifier, FolderLocation location)
    {
        return create(std::move(identifier), std::move(location), Options{});
    }
    ~FolderContainer() override;

    QString containerIdentifier() const override;
    std::shared_ptr<Database> privateCloudDatabase() override { return database_; }
    void accountStatus(Completion<AccountStatus> done) override;
    void fetchUserRecordID(Completion<QString> done) override;
    QString location() const override { return folderPath(); }
    void accountExists(Completion<bool> done) override;
    // The device token is the client id's 16 bytes.
    void registerForRemoteNotifications(Completion<QByteArray> done) override;
    void checkForChanges() override;
    // What the folder watch calls when a watched folder changed.
    void folderChanged();

    const QString& folderPath() const;
    // How often the folder has been looked through for changes so far.
    int scanCount() const;

    // How often a folder whose lock held up a save is looked at until the lock is gone.
    static constexpr std::chrono::milliseconds lockRecheckInterval{1'000};

    // This machine's client id: random, made once and kept in the settings.
    static QUuid machineClientId();

    struct Backend;

private:
    FolderContainer(QString identifier, FolderLocation location, Options options);
    void startWatching();
    void watchFolders();
    void schedulePoll();
    // Tells the handler once the folder takes writes again after it did not, or once
    // the lock that a save failed for is gone.
    void checkWritableAgain();
    void recheckLockSoon();

    std::weak_ptr<FolderContainer> self_;
    QUuid clientId_;
    std::chrono::milliseconds pollInterval_;
    std::chrono::milliseconds burstInterval_;
    std::shared_ptr<Backend> backend_;
    std::shared_ptr<Database> database_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    Cancellable poll_;
    Cancellable lockRecheck_;
    // The look that ends the current burst of folder reports.
    Cancellable burst_;
    bool burstPending_ = false;
    bool registered_ = false;
};

} // namespace velmor::cloud
