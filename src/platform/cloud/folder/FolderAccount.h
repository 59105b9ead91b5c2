#pragma once

#include "platform/cloud/Error.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/Subscription.h"
#include "platform/cloud/folder/FolderCodec.h"
#include "platform/cloud/folder/FolderLocation.h"

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
// and a writer that dies leaves the previous version in place.
class FolderAccount {
public:
    FolderAccount(FolderLocation location, QString clientId);

    const QString& path() const { return location_.path; }

    // Creates the default folder when it is missing; a configured one never.
    AccountStatus status() const;
    // Made by the first client that asks.
    QString userRecordName();

    Record fetchRecord(const QString& recordName) const;
    Record saveRecord(const Record& record);

    // A subscription file that cannot be read counts as absent; saving replaces it.
    Subscription fetchSubscription(const QString& subscriptionID) const;
    Subscription saveSubscription(const Subscription& subscription);
    QString deleteSubscription(const QString& subscriptionID);
    QList<Subscription> allSubscriptions() const;

    // The stamps of every readable record, by name; none while the folder is unavailable.
    std::optional<QMap<QString, RecordStamp>> stamps() const;

private:
    void requireAvailable() const;
    QString recordFile(const QString& recordName) const;
    QString assetFolder(const QString& recordName) const;
    QString subscriptionFile(const QString& subscriptionID) const;
    std::optional<Record> readRecord(const QString& recordName) const;
    void removeUnusedAssets(const QString& recordName, const QStringList& keep) const;

    FolderLocation location_;
    QString clientId_;
};

} // namespace velmor::cloud::folder
