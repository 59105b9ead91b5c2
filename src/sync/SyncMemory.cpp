#include "sync/SyncMemory.h"

#include "platform/OwnFile.h"
#include "platform/RegularFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmor {

namespace {

// The synced records take most of it.
constexpr qint64 maxFileBytes = 256 * 1024;
const QString accountsKey = QStringLiteral("syncedAccounts");
// Added later: files without it read as no places, and builds that know only the
// accounts read the file as ever.
const QString locationsKey = QStringLiteral("syncedLocations");
const QString datesKey = QStringLiteral("futureRecordDates");
const QString recordKey = QStringLiteral("recordDate");
const QString countsAsKey = QStringLiteral("countsAs");
const QString leftKey = QStringLiteral("profilesDigest");
const QString recordsKey = QStringLiteral("syncedRecords");
const QString recordsAccountKey = QStringLiteral("account");
const QString recordsTagsKey = QStringLiteral("tags");

QString text(const QDateTime& date) { return date.toUTC().toString(Qt::ISODateWithMs); }
QDateTime dateFrom(const QJsonValue& value) { return QDateTime::fromString(value.toString(), Qt::ISODateWithMs); }

QStringList namesFrom(const QJsonValue& value)
{
    QStringList names;
    for (const QJsonValue name : value.toArray())
        if (name.isString() && !name.toString().isEmpty())
            names.append(name.toString());
    return names;
}

// Adds `name` unless it is empty or known; true when it was added.
bool add(QStringList& names, const QString& name)
{
    if (name.isEmpty() || names.contains(name))
        return false;
    names.append(name);
    return true;
}

} // namespace

SyncMemory::SyncMemory(const QString& folder) : path_(QDir(folder).filePath(fileName))
{
    // Never blocks on a FIFO and never reads a huge file: the memory is only a help.
    // Velmor's own file: a link in its place is not followed.
    const files::FileRead read = files::readRegular(path_, maxFileBytes);
    wasFound_ = read.failure != files::ReadFailure::missing;
    if (!read.bytes)
        return;
    const std::optional<QByteArray>& bytes = read.bytes;
    const QJsonObject root = QJsonDocument::fromJson(*bytes).object();
    accounts_ = namesFrom(root.value(accountsKey));
    locations_ = namesFrom(root.value(locationsKey));
    for (const QJsonValue entry : root.value(datesKey).toArray()) {
        const QDateTime record = dateFrom(entry[recordKey]);
        const QDateTime countsAs = dateFrom(entry[countsAsKey]);
        if (record.isValid() && countsAs.isValid())
            countedDates_.append({record, countsAs});
    }
    leftDigest_ = root[leftKey].toString().toLatin1();
    const QJsonObject records = root.value(recordsKey).toObject();
    syncedRecords_ = SyncedRecordTags::decoded(records.value(recordsAccountKey).toString(),
                                               records.value(recordsTagsKey).toString().toLatin1());
}

void SyncMemory::rememberSyncWith(const QString& account)
{
    if (add(accounts_, account))
        write();
}

void SyncMemory::rememberSyncAt(const QString& location)
{
    if (add(locations_, location))
        write();
}

std::optional<QDateTime> SyncMemory::countedDate(const QDateTime& recordDate) const
{
    for (const auto& [record, countsAs] : countedDates_) {
        if (record == recordDate)
            return countsAs;
    }
    return std::nullopt;
}

void SyncMemory::rememberCountedDate(const QDateTime& recordDate, const QDateTime& countsAs)
{
    if (countedDate(recordDate))
        return;
    countedDates_.append({recordDate, countsAs});
    if (countedDates_.size() > maxFutureDates)
        countedDates_.removeFirst();
    write();
}

std::optional<bool> SyncMemory::leftDocument(const QByteArray& document) const
{
    if (leftDigest_.isEmpty())
        return std::nullopt;
    return digestOf(document) == leftDigest_;
}

QByteArray SyncMemory::digestOf(const QByteArray& document)
{
    return QCryptographicHash::hash(document, QCryptographicHash::Sha256).toHex();
}

void SyncMemory::rememberLeftDocument(const QByteArray& document) { rememberLeftDigest(digestOf(document)); }

void SyncMemory::rememberLeftDigest(QByteArray digest)
{
    if (digest == leftDigest_)
        return;
    leftDigest_ = std::move(digest);
    write();
}

void SyncMemory::rememberSyncedRecords(const QString& account, const QStringList& tags)
{
    if (syncedRecords_.add(account, tags))
        write();
}

void SyncMemory::write() const
{
    QJsonArray dates;
    for (const auto& [record, countsAs] : countedDates_)
        dates.append(QJsonObject{{recordKey, text(record)}, {countsAsKey, text(countsAs)}});
    const QJsonObject root{{accountsKey, QJsonArray::fromStringList(accounts_)},
                           {locationsKey, QJsonArray::fromStringList(locations_)},
                           {datesKey, dates},
                           {leftKey, QString::fromLatin1(leftDigest_)},
                           {recordsKey, QJsonObject{{recordsAccountKey, syncedRecords_.account()},
                                                    {recordsTagsKey, QString::fromLatin1(syncedRecords_.encoded())}}}};
    // Velmor's own file: replaced whole, a link in its place included, never written through.
    files::replaceWithOwnFile(path_, QJsonDocument(root).toJson());
}

} // namespace velmor
