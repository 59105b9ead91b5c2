#include "platform/cloud/folder/FolderAccount.h"

#include "platform/FileNames.h"
#include "platform/Json.h"
#include "platform/cloud/Rules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>

namespace velmor::cloud::folder {

namespace {

const QString recordsName = QStringLiteral("records");
const QString assetsName = QStringLiteral("assets");
const QString subscriptionsName = QStringLiteral("subscriptions");
const QString jsonSuffix = QStringLiteral(".json");

// A lock is held for the few milliseconds of one save; an older one was left by
// a client that died (Qt also breaks a lock whose process is gone at once).
constexpr int staleLockMs = 10'000;
constexpr int lockWaitMs = 15'000;

std::optional<QByteArray> readIfPresent(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not read “%1”: %2").arg(path, file.errorString()));
    return file.readAll();
}

void writeAtomically(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not write “%1”: %2").arg(path, file.errorString()));
}

Error damaged(const QString& what, const QString& reason)
{
    return Error(Error::Code::internalError, QStringLiteral("The %1 in the cloud folder is damaged (%2).").arg(what, reason));
}

void throwIf(const std::optional<Error>& error)
{
    if (error)
        throw *error;
}

// Held while a save compares the stored record and writes its own.
class FolderLock {
public:
    explicit FolderLock(const QString& folder) : lock_(QDir(folder).filePath(QStringLiteral(".lock")))
    {
        lock_.setStaleLockTime(staleLockMs);
        if (!lock_.tryLock(lockWaitMs))
            throw Error(Error::Code::serviceUnavailable,
                        QStringLiteral("The cloud folder “%1” is locked by another client.").arg(folder));
    }

private:
    QLockFile lock_;
};

} // namespace

FolderAccount::FolderAccount(FolderLocation location, QString clientId)
    : location_(std::move(location)), clientId_(std::move(clientId))
{
}

AccountStatus FolderAccount::status() const
{
    if (location_.path.isEmpty())
        return AccountStatus::noAccount;
    if (!location_.configured)
        QDir().mkpath(location_.path);
    const QFileInfo folder(location_.path);
    if (!folder.isDir())
        return AccountStatus::noAccount;
    if (!folder.isWritable())
        return AccountStatus::temporarilyUnavailable;
    return AccountStatus::available;
}

void FolderAccount::requireAvailable() const
{
    switch (status()) {
    case AccountStatus::available:
        return;
    case AccountStatus::temporarilyUnavailable:
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("The cloud folder “%1” cannot be written.").arg(location_.path));
    default:
        throw Error(Error::Code::notAuthenticated,
                    QStringLiteral("The cloud folder “%1” is not available.").arg(location_.path));
    }
}

QString FolderAccount::recordFile(const QString& recordName) const
{
    return location_.path + u'/' + recordsName + u'/' + recordName + jsonSuffix;
}

QString FolderAccount::assetFolder(const QString& recordName) const
{
    return location_.path + u'/' + assetsName + u'/' + recordName;
}

QString FolderAccount::subscriptionFile(const QString& subscriptionID) const
{
    return location_.path + u'/' + subscriptionsName + u'/' + subscriptionID + jsonSuffix;
}

QString FolderAccount::userRecordName()
{
    requireAvailable();
    const QString file = QDir(location_.path).filePath(QStringLiteral("account.json"));
    const auto read = [&]() -> std::optional<QString> {
        const auto bytes = readIfPresent(file);
        if (!bytes)
            return std::nullopt;
        try {
            return decodeAccount(*bytes);
        } catch (const json::DecodeError& e) {
            throw damaged(QStringLiteral("account file"), e.message());
        }
    };
    if (auto name = read())
        return *name;
    const FolderLock lock(location_.path);
    if (auto name = read()) // another client made it while this one waited
        return *name;
    const QString name = u'_' + QUuid::createUuid().toString(QUuid::Id128);
    writeAtomically(file, encodeAccount(name));
    return name;
}

std::optional<Record> FolderAccount::readRecord(const QString& recordName) const
{
    const auto bytes = readIfPresent(recordFile(recordName));
    if (!bytes)
        return std::nullopt;
    const QString what = QStringLiteral("record “%1”").arg(recordName);
    Record record;
    try {
        record = decodeRecord(*bytes);
    } catch (const json::DecodeError& e) {
        throw damaged(what, e.message());
    }
    if (record.recordName() != recordName)
        throw damaged(what, QStringLiteral("it names another record"));
    for (const QString& key : record.keys()) {
        if (const auto asset = record.asset(key)) {
            if (!isPlainFileName(asset->filePath))
                throw damaged(what, QStringLiteral("bad file name in “%1”").arg(key));
            record.setValue(key, Asset{assetFolder(recordName) + u'/' + asset->filePath});
        }
    }
    return record;
}

Record FolderAccount::fetchRecord(const QString& recordName) const
{
    throwIf(rules::checkName(recordName, QStringLiteral("record name")));
    requireAvailable();
    if (auto record = readRecord(recordName))
        return *record;
    throw rules::unknownRecord(recordName);
}

Record FolderAccount::saveRecord(const Record& record)
{
    throwIf(rules::checkSavable(record));
    requireAvailable();

    // Read what is to be uploaded before taking the lock.
    QMap<QString, QByteArray> assetBytes;
    for (const QString& key : record.keys()) {
        if (const auto asset = record.asset(key)) {
            QFile file(asset->filePath);
            if (!file.open(QIODevice::ReadOnly))
                throw Error(Error::Code::assetFileNotFound,
                            QStringLiteral("The file “%1” for “%2” cannot be read.").arg(asset->filePath, key));
            assetBytes.insert(key, file.readAll());
        }
    }

    const FolderLock lock(location_.path);
    const QString file = recordFile(record.recordName());
    std::optional<Record> stored;
    bool storedIsDamaged = false;
    try {
        stored = readRecord(record.recordName());
    } catch (const Error& e) {
        if (e.code() != Error::Code::internalError)
            throw;
        storedIsDamaged = true;
    }
    throwIf(rules::checkChangeTag(stored ? std::optional(stored->recordChangeTag()) : std::nullopt, record));
    if (storedIsDamaged) {
        // Kept for whoever wants to look; the new record takes its place.
        const QString aside = file + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (!QFile::rename(file, aside))
            throw Error(Error::Code::permissionFailure, QStringLiteral("Could not move “%1” aside.").arg(file));
    }

    Record saved = record;
    saved.setServerMetadata(rules::newChangeTag(), QDateTime::currentDateTimeUtc());
    Record onDisk = saved;
    QStringList keep;
    for (auto it = assetBytes.cbegin(); it != assetBytes.cend(); ++it) {
        const QString name = saved.recordChangeTag() + u'.' + it.key();
        writeAtomically(assetFolder(record.recordName()) + u'/' + name, *it);
        onDisk.setValue(it.key(), Asset{name});
        saved.setValue(it.key(), Asset{assetFolder(record.recordName()) + u'/' + name});
        keep.append(name);
    }
    writeAtomically(file, encodeRecord(onDisk, clientId_));

    // A reader may still hold the previous version: its files stay one more save.
    if (stored) {
        for (const auto& value : stored->fields())
            if (const auto* asset = std::get_if<Asset>(&value))
                keep.append(QFileInfo(asset->filePath).fileName());
    }
    removeUnusedAssets(record.recordName(), keep);
    return saved;
}

void FolderAccount::removeUnusedAssets(const QString& recordName, const QStringList& keep) const
{
    QDir folder(assetFolder(recordName));
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        if (!keep.contains(name))
            folder.remove(name);
}

Subscription FolderAccount::fetchSubscription(const QString& subscriptionID) const
{
    throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
    requireAvailable();
    if (const auto bytes = readIfPresent(subscriptionFile(subscriptionID))) {
        try {
            Subscription subscription = decodeSubscription(*bytes);
            if (subscription.subscriptionID == subscriptionID)
                return subscription;
        } catch (const json::DecodeError&) {
        }
    }
    throw rules::unknownSubscription(subscriptionID);
}

Subscription FolderAccount::saveSubscription(const Subscription& subscription)
{
    throwIf(rules::checkSavable(subscription));
    requireAvailable();
    writeAtomically(subscriptionFile(subscription.subscriptionID), encodeSubscription(subscription));
    return subscription;
}

QString FolderAccount::deleteSubscription(const QString& subscriptionID)
{
    throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
    requireAvailable();
    QFile file(subscriptionFile(subscriptionID));
    if (!file.exists())
        throw rules::unknownSubscription(subscriptionID);
    if (!file.remove() && file.exists())
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not delete “%1”: %2").arg(file.fileName(), file.errorString()));
    return subscriptionID;
}

QList<Subscription> FolderAccount::allSubscriptions() const
{
    requireAvailable();
    const QDir folder(location_.path + u'/' + subscriptionsName);
    QList<Subscription> result;
    for (const QString& name : folder.entryList({u'*' + jsonSuffix}, QDir::Files, QDir::Name)) {
        try {
            result.append(fetchSubscription(name.chopped(jsonSuffix.size())));
        } catch (const Error&) {
        }
    }
    std::sort(result.begin(), result.end(),
              [](const Subscription& a, const Subscription& b) { return a.subscriptionID < b.subscriptionID; });
    return result;
}

std::optional<QMap<QString, RecordStamp>> FolderAccount::stamps() const
{
    if (status() != AccountStatus::available)
        return std::nullopt;
    const QDir folder(location_.path + u'/' + recordsName);
    QMap<QString, RecordStamp> result;
    for (const QString& fileName : folder.entryList({u'*' + jsonSuffix}, QDir::Files)) {
        const QString name = fileName.chopped(jsonSuffix.size());
        if (!isPlainFileName(name))
            continue;
        try {
            const auto bytes = readIfPresent(folder.filePath(fileName));
            if (!bytes)
                continue;
            const RecordStamp stamp = decodeStamp(*bytes);
            if (stamp.recordName == name)
                result.insert(name, stamp);
        } catch (const Error&) {
        } catch (const json::DecodeError&) {
        }
    }
    return result;
}

} // namespace velmor::cloud::folder
