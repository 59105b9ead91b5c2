#pragma once

#include "platform/cloud/Container.h"
#include "platform/cloud/Error.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/Subscription.h"
#include "platform/cloud/folder/AssetCache.h"
#include "platform/cloud/folder/ChangeTracker.h"
#include "platform/cloud/folder/Folder.h"
#include "platform/cloud/folder/FolderCodec.h"
#include "platform/cloud/folder/FolderLock.h"
#include "platform/cloud/folder/FolderLocation.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace velmor::cloud::folder {

// The files of one folder database, read and written at once (callers keep this
// off the main thread). Every failure throws cloud::Error.
//
//   account.json                      the user record name
//   records/<name>.json               one record; assets/<name>/<tag>.<field> its files
//   subscriptions/<id>.json           one subscription
//   .lock                             held while a save compares and writes
//
// Every file is replaced whole by a rename, so a reader never sees half a file
// and a writer that dies leaves the previous version in place. Nothing in the
// folder is trusted (see Folder): entries of the wrong kind or size are refused.
class FolderAccount {
public:
    // A profiles record of 50 users with 1,000 mappings each is about 20 MiB; the
    // limit leaves room for three times that.
    static constexpr qint64 maxRecordBytes = Database::defaultMaxRecordBytes;
    // Assets are icons, whose files Velmor takes up to 1 MiB, and their previews.
    static constexpr qint64 maxAssetBytes = qint64{4} << 20;
    // account.json and subscriptions hold a few names.
    static constexpr qint64 maxSmallFileBytes = qint64{1} << 20;

    FolderAccount(FolderLocation location, QString clientId, ChangeFault fault = {}, LockTiming lockTiming = {});

    const QString& path() const { return location_.path; }

    // Creates the default folder when it is missing; a configured one never.
    AccountStatus status() const;
    // Made by the first client that asks.
    QString userRecordName();
    // The folder holds an account file or records, looked at without writing; the
    // default folder, which Velmor makes itself, always counts as holding one.
    bool holdsDatabase() const;

    Record fetchRecord(const QString& recordName) const;
    Record saveRecord(const Record& record);

    // A subscription file that cannot be read counts as absent; saving replaces it.
    Subscription fetchSubscription(const QString& subscriptionID) const;
    Subscription saveSubscription(const Subscription& subscription);
    QString deleteSubscription(const QString& subscriptionID);
    QList<Subscription> allSubscriptions() const;

    // What changed among the records since the last look (everything readable at the
    // first); none while the folder is unavailable. A record file is read again only
    // when its file stamp changed, and not at all when it is the file this client last
    // read or wrote: a look at a folder of many files costs a listing and a stamp per
    // file, and a read per changed one.
    std::optional<ChangeTracker::Look> look();

private:
    struct SeenRecord {
        files::FileStamp file;
        std::optional<RecordStamp> stamp; // none: not a readable record
        quint64 look = 0; // the last look that found it
    };

    // A record file as this client last read or wrote it: while the file's stamp
    // is the same, a save needs not read and decode it again.
    struct KnownRecord {
        files::FileStamp file;
        QString changeTag;
        QString recordType;
        QStringList assetFiles;
    };
    static KnownRecord knownAs(const files::FileStamp& file, const Record& record);
    void remember(const Folder& records, const QString& recordName, const files::FileStamp& file,
                  const Record& record) const;

    // The stamp of a record file that is new or changed since the last look; none
    // when it is no readable record.
    std::optional<RecordStamp> readStamp(const Folder& records, const QString& fileName,
                                         const files::FileStamp& file) const;
    std::optional<Folder> openAccount() const;
    // Throws when something other than a folder stands at the account's path.
    void throwIfNotAFolder() const;
    Folder requireAvailable() const;
    std::optional<Record> readRecord(const Folder& account, const QString& recordName) const;
    Record withKeptAssets(const Folder& account, Record record) const;
    std::optional<QByteArray> readSubscription(const Folder& account, const QString& subscriptionID) const;
    QMap<QString, QByteArray> readAssetsToUpload(const Record& record) const;
    void removeUnusedAssets(const Folder& assets, const QStringList& keep) const;

    FolderLocation location_;
    QString clientId_;
    ChangeFault fault_;
    LockTiming lockTiming_;
    // By file name as the file system holds it, as the last look found them.
    QHash<QByteArray, SeenRecord> seen_;
    quint64 looks_ = 0;
    mutable QMap<QString, KnownRecord> known_;
    AssetCache assetCache_;
};

} // namespace velmor::cloud::folder
