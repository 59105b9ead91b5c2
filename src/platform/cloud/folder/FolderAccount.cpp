#include "platform/cloud/folder/FolderAccount.h"

#include "platform/FileNames.h"
#include "platform/Json.h"
#include "platform/Text.h"
#include "platform/cloud/Rules.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace velmor::cloud::folder {

namespace {

const QString recordsName = QStringLiteral("records");
const QString assetsName = QStringLiteral("assets");
const QString subscriptionsName = QStringLiteral("subscriptions");
const QString accountName = QStringLiteral("account.json");
const QString jsonSuffix = QStringLiteral(".json");

Error damaged(const QString& what, const QString& reason)
{
    return Error(Error::Code::internalError, QStringLiteral("The %1 in the cloud folder is damaged (%2).").arg(what, reason));
}

// A file that is there but cannot be taken: of the wrong kind or size, it is
// damaged; if the system refuses it, the folder cannot be used as it stands.
Error unreadable(const QString& what, const files::FileRead& read)
{
    const auto code = read.failure == files::ReadFailure::failed ? Error::Code::permissionFailure
                                                                 : Error::Code::internalError;
    return Error(code, QStringLiteral("The %1 in the cloud folder cannot be read: %2").arg(what, read.error));
}

std::optional<QByteArray> bytesIfPresent(const files::FileRead& read, const QString& what)
{
    if (read.failure == files::ReadFailure::missing)
        return std::nullopt;
    if (!read.bytes)
        throw unreadable(what, read);
    return read.bytes;
}

void throwIf(const std::optional<Error>& error)
{
    if (error)
        throw *error;
}

// The files a save writes for its assets: "<change tag>.<field>".
bool isAssetFileName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{16}\\.(.+)$"));
    const auto match = pattern.match(name);
    return match.hasMatch() && isPlainFileName(match.captured(1));
}

// records/<record name>.json; a name too long for a file name there is cut and hashed
// (the record inside holds it whole).
QString recordFileName(const QString& recordName) { return fittedFileName(recordName, jsonSuffix); }

// assets/<record name>, cut and hashed alike; none while missing, unless `create` makes it.
std::optional<Folder> assetFolder(const Folder& account, const QString& recordName, bool create)
{
    const auto all = account.child(assetsName, create);
    return all ? all->child(fittedFileName(recordName, {}), create) : std::nullopt;
}

} // namespace

FolderAccount::FolderAccount(FolderLocation location, QString clientId, ChangeFault fault, LockTiming lockTiming)
    : location_(std::move(location)), clientId_(std::move(clientId)), fault_(std::move(fault)),
      lockTiming_(std::move(lockTiming))
{
}

std::optional<Folder> FolderAccount::openAccount() const
{
    if (location_.path.isEmpty())
        return std::nullopt;
    if (!location_.configured)
        QDir().mkpath(location_.path);
    return Folder::openAccount(location_.path, fault_);
}

// A folder that is there counts as available even when it cannot be written: it
// can still be read, and a save says why it failed. A missing one is no account (a
// share not mounted yet); a file in its place is a mistake the user has to mend.
AccountStatus FolderAccount::status() const
{
    if (openAccount())
        return AccountStatus::available;
    throwIfNotAFolder();
    return AccountStatus::noAccount;
}

Folder FolderAccount::requireAvailable() const
{
    if (auto account = openAccount())
        return std::move(*account);
    throwIfNotAFolder();
    throw Error(Error::Code::notAuthenticated,
                QStringLiteral("The cloud folder “%1” is not available.").arg(location_.path));
}

void FolderAccount::throwIfNotAFolder() const
{
    const QFileInfo info(location_.path);
    if (!location_.path.isEmpty() && info.exists() && !info.isDir())
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("The cloud folder “%1” is not a folder. Sync is paused.").arg(location_.path));
}

QString FolderAccount::userRecordName()
{
    const Folder account = requireAvailable();
    const auto read = [&]() -> std::optional<QString> {
        const QString what = QStringLiteral("account file");
        const auto bytes = bytesIfPresent(account.read(accountName, maxSmallFileBytes), what);
        if (!bytes)
            return std::nullopt;
        try {
            return decodeAccount(*bytes);
        } catch (const json::DecodeError& e) {
            throw damaged(what, e.message());
        }
    };
    if (auto name = read())
        return *name;
    const FolderLock lock(account, lockTiming_);
    if (auto name = read()) // another client made it while this one waited
        return *name;
    const QString name = u'_' + QUuid::createUuid().toString(QUuid::Id128);
    account.write(accountName, encodeAccount(name), [&lock] { lock.confirmHeld(); });
    return name;
}

bool FolderAccount::holdsDatabase() const
{
    if (!location_.configured)
        return true;
    const std::optional<Folder> account = Folder::openAccount(location_.path, fault_);
    return account && (account->contains(accountName) || account->contains(recordsName));
}

std::optional<Record> FolderAccount::readRecord(const Folder& account, const QString& recordName) const
{
    const auto records = account.child(recordsName, false);
    if (!records)
        return std::nullopt;
    const QString what = QStringLiteral("record “%1”").arg(recordName);
    const QString file = recordFileName(recordName);
    const files::FileStamp before = records->stamp(file);
    std::optional<QByteArray> bytes = bytesIfPresent(records->read(file, maxRecordBytes), what);
    if (!bytes)
        return std::nullopt;
    Record record;
    try {
        record = decodeRecord(std::move(*bytes));
    } catch (const json::DecodeError& e) {
        throw damaged(what, e.message());
    }
    if (record.recordName() != recordName)
        throw damaged(what, QStringLiteral("it names another record"));

    std::optional<Folder> assets;
    for (const QString& key : record.keys()) {
        const auto asset = record.asset(key);
        if (!asset)
            continue;
        if (!isPlainFileName(asset->filePath))
            throw damaged(what, QStringLiteral("bad file name in “%1”").arg(key));
        if (!assets)
            assets = assetFolder(account, recordName, false);
        const QString path = account.pathOf(assetsName + u'/' + fittedFileName(recordName, {}) + u'/' + asset->filePath);
        // A file not there yet (the share is still bringing it) is the reader's to find missing.
        const files::FileStamp file = assets ? assets->stamp(asset->filePath) : files::FileStamp{};
        if (file.kind != files::FileKind::missing && file.kind != files::FileKind::regular)
            throw damaged(what, QStringLiteral("“%1” is %2, not a regular file").arg(path, files::kindText(file.kind)));
        if (file.size > maxAssetBytes)
            throw damaged(what, QStringLiteral("“%1” is too large").arg(path));
        record.setValue(key, Asset{path});
    }
    remember(*records, recordName, before, record);
    return record;
}

void FolderAccount::remember(const Folder& records, const QString& recordName, const files::FileStamp& file,
                             const Record& record) const
{
    // Changed while it was read: not known.
    if (file.kind != files::FileKind::regular || records.stamp(recordFileName(recordName)) != file) {
        known_.remove(recordName);
        return;
    }
    known_.insert(recordName, knownAs(file, record));
}

FolderAccount::KnownRecord FolderAccount::knownAs(const files::FileStamp& file, const Record& record)
{
    KnownRecord known{file, record.recordChangeTag(), record.recordType(), {}};
    for (const auto& value : record.fields())
        if (const auto* asset = std::get_if<Asset>(&value))
            known.assetFiles.append(QFileInfo(asset->filePath).fileName());
    return known;
}

Record FolderAccount::fetchRecord(const QString& recordName) const
{
    throwIf(rules::checkName(recordName, QStringLiteral("record name")));
    const Folder account = requireAvailable();
    if (auto record = readRecord(account, recordName))
        return withKeptAssets(account, std::move(*record));
    throw rules::unknownRecord(recordName);
}

// The assets as this fetch reads them, through the open asset folder, so that a
// later reader cannot be sent outside the cloud folder by a link put in place of
// a folder meanwhile.
Record FolderAccount::withKeptAssets(const Folder& account, Record record) const
{
    std::optional<Folder> assets;
    for (const QString& key : record.keys()) {
        const auto asset = record.asset(key);
        if (!asset)
            continue;
        if (!assets)
            assets = assetFolder(account, record.recordName(), false);
        const QString name = QFileInfo(asset->filePath).fileName();
        const std::optional<QByteArray> bytes =
            assets ? bytesIfPresent(assets->read(name, maxAssetBytes), QStringLiteral("file “%1”").arg(asset->filePath))
                   : std::nullopt;
        record.setValue(key, Asset{assetCache_.keep(record.recordName(), name, bytes)});
    }
    return record;
}

QMap<QString, QByteArray> FolderAccount::readAssetsToUpload(const Record& record) const
{
    QMap<QString, QByteArray> assetBytes;
    for (const QString& key : record.keys()) {
        if (const auto asset = record.asset(key)) {
            files::FileRead read = files::readRegular(asset->filePath, maxAssetBytes);
            if (!read.bytes)
                throw Error(Error::Code::assetFileNotFound,
                            QStringLiteral("The file for “%1” cannot be uploaded: %2").arg(key, read.error));
            assetBytes.insert(key, std::move(*read.bytes));
        }
    }
    return assetBytes;
}

Record FolderAccount::saveRecord(const Record& record)
{
    throwIf(rules::checkSavable(record));
    const Folder account = requireAvailable();
    const QString recordName = record.recordName();
    // Read what is to be uploaded before taking the lock.
    const QMap<QString, QByteArray> assetBytes = readAssetsToUpload(record);

    const FolderLock lock(account, lockTiming_);
    // The record as stored: its change tag and files, read again only when the
    // file is not the one this client last read or wrote.
    std::optional<KnownRecord> stored;
    bool storedIsDamaged = false;
    const std::optional<Folder> storedRecords = account.child(recordsName, false);
    const auto known = known_.constFind(recordName);
    if (storedRecords && known != known_.cend() && storedRecords->stamp(recordFileName(recordName)) == known->file) {
        stored = *known;
    } else {
        try {
            if (const std::optional<Record> read = readRecord(account, recordName))
                stored = knownAs({}, *read);
        } catch (const Error& e) {
            if (e.code() != Error::Code::internalError)
                throw;
            storedIsDamaged = true;
        }
    }
    throwIf(rules::checkChangeTag(stored ? std::optional(stored->changeTag) : std::nullopt, record));

    Record saved = record;
    saved.setServerMetadata(rules::newChangeTag(), QDateTime::currentDateTimeUtc());
    Record onDisk = saved;
    for (auto it = assetBytes.cbegin(); it != assetBytes.cend(); ++it)
        onDisk.setValue(it.key(), Asset{saved.recordChangeTag() + u'.' + it.key()});
    const QByteArray encoded = encodeRecord(onDisk, clientId_);
    if (encoded.size() > maxRecordBytes)
        throw Error(Error::Code::serverRejectedRequest,
                    QStringLiteral("The record “%1” is too large for the cloud folder (%2).")
                        .arg(recordName, text::sizeOverLimit(encoded.size(), maxRecordBytes)));

    // Every folder is opened before anything is written, so a refused one stops the save whole.
    QStringList keep;
    if (stored) // a reader may still hold the previous version: its files stay one more save
        keep = stored->assetFiles;
    const Folder records = *account.child(recordsName, true);
    const std::optional<Folder> assets =
        assetBytes.isEmpty() && keep.isEmpty() ? std::nullopt : assetFolder(account, recordName, !assetBytes.isEmpty());

    // Whatever stands in the folder is left alone once the lock is another client's:
    // what this save compared may be out of date (a share slow enough to hide the lock's renewals).
    const QString file = recordFileName(recordName);
    if (storedIsDamaged) { // kept for whoever wants to look; the new record takes its place
        lock.confirmHeld();
        records.rename(file, fittedFileName(recordName, jsonSuffix + QStringLiteral(".damaged")));
    }
    for (auto it = assetBytes.cbegin(); it != assetBytes.cend(); ++it) {
        const QString name = onDisk.asset(it.key())->filePath;
        assets->write(name, *it);
        saved.setValue(it.key(), Asset{assets->pathOf(name)});
        keep.append(name);
    }
    records.write(file, encoded, [&lock] { lock.confirmHeld(); });
    remember(records, recordName, records.stamp(file), onDisk);
    if (assets) {
        try {
            lock.confirmHeld();
            removeUnusedAssets(*assets, keep);
        } catch (const Error&) {
            // The record is saved; the files another client's record may name stay.
        }
    }
    return saved;
}

// Only regular files named like the assets saves write go; anything else someone
// put there stays.
void FolderAccount::removeUnusedAssets(const Folder& assets, const QStringList& keep) const
{
    try {
        for (const QString& name : assets.entries())
            if (!keep.contains(name) && isAssetFileName(name) && assets.stamp(name).kind == files::FileKind::regular)
                assets.removeFile(name);
    } catch (const Error&) {
        // The record is saved; a file left over does no harm and goes at a later save.
    }
}

std::optional<QByteArray> FolderAccount::readSubscription(const Folder& account, const QString& subscriptionID) const
{
    const auto subscriptions = account.child(subscriptionsName, false);
    if (!subscriptions)
        return std::nullopt;
    return subscriptions->read(subscriptionID + jsonSuffix, maxSmallFileBytes).bytes;
}

Subscription FolderAccount::fetchSubscription(const QString& subscriptionID) const
{
    throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
    const Folder account = requireAvailable();
    if (const auto bytes = readSubscription(account, subscriptionID)) {
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
    const Folder account = requireAvailable();
    account.child(subscriptionsName, true)->write(subscription.subscriptionID + jsonSuffix,
                                                   encodeSubscription(subscription));
    return subscription;
}

QString FolderAccount::deleteSubscription(const QString& subscriptionID)
{
    throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
    const Folder account = requireAvailable();
    const auto subscriptions = account.child(subscriptionsName, false);
    if (!subscriptions || !subscriptions->removeFile(subscriptionID + jsonSuffix))
        throw rules::unknownSubscription(subscriptionID);
    return subscriptionID;
}

QList<Subscription> FolderAccount::allSubscriptions() const
{
    const Folder account = requireAvailable();
    const auto subscriptions = account.child(subscriptionsName, false);
    QStringList ids;
    for (const QString& name : subscriptions ? subscriptions->entries() : QStringList())
        if (name.endsWith(jsonSuffix) && isPlainFileName(name))
            ids.append(name.chopped(jsonSuffix.size()));
    ids.sort(); // the ids are the file names: read in order, nothing to sort after

    QList<Subscription> result;
    for (const QString& id : std::as_const(ids)) {
        try {
            result.append(fetchSubscription(id));
        } catch (const Error&) {
        }
    }
    return result;
}

std::optional<ChangeTracker::Look> FolderAccount::look()
{
    const auto account = openAccount();
    if (!account)
        return std::nullopt;
    QByteArrayList names;
    std::optional<Folder> records;
    try {
        records = account->child(recordsName, false);
        if (records)
            names = records->nativeEntries();
    } catch (const Error&) {
        return std::nullopt; // a records folder that is not a real one is never looked into
    }
    const quint64 look = ++looks_;
    ChangeTracker::Look found;
    for (const QByteArray& fileName : std::as_const(names)) {
        if (!fileName.endsWith(".json"))
            continue;
        const files::FileStamp file = records->nativeStamp(fileName);
        auto seen = seen_.find(fileName);
        // Most files of a folder others fill are as the last look found them.
        if (seen != seen_.end() && seen->file == file) {
            seen->look = look;
            continue;
        }
        std::optional<RecordStamp> stamp = readStamp(*records, QFile::decodeName(fileName), file);
        if (seen == seen_.end())
            seen = seen_.insert(fileName, {});
        else if (seen->stamp && (!stamp || stamp->recordName != seen->stamp->recordName))
            found.gone.append(seen->stamp->recordName);
        if (stamp)
            found.present.append(*stamp);
        *seen = {file, std::move(stamp), look};
    }
    for (auto seen = seen_.begin(); seen != seen_.end();) {
        if (seen->look == look) {
            ++seen;
            continue;
        }
        if (seen->stamp)
            found.gone.append(seen->stamp->recordName);
        seen = seen_.erase(seen);
    }
    return found;
}

std::optional<RecordStamp> FolderAccount::readStamp(const Folder& records, const QString& fileName,
                                                    const files::FileStamp& file) const
{
    const QString name = fileName.chopped(jsonSuffix.size());
    if (file.kind != files::FileKind::regular || !isPlainFileName(name))
        return std::nullopt;
    // Its own save or fetch: a profiles record is many megabytes to read again.
    if (const auto known = known_.constFind(name); known != known_.cend() && known->file == file)
        return RecordStamp{name, known->changeTag, known->recordType};
    try {
        if (const auto bytes = records.read(fileName, maxRecordBytes).bytes)
            // A cut name's file holds the whole name.
            if (RecordStamp stamp = decodeStamp(*bytes);
                recordFileName(stamp.recordName) == fileName && isPlainFileName(stamp.recordName))
                return stamp;
    } catch (const json::DecodeError&) {
    }
    return std::nullopt;
}

} // namespace velmor::cloud::folder
