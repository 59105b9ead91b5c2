#pragma once

#include "sync/SyncedRecordTags.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velmor {

// What the profile sync remembers across restarts, in a small file beside
// profiles.json: the cloud accounts (by user record name) this data has synced
// with and the places of their databases (a shared folder's path), what the
// latest records dated in the future counted as when first seen, and which
// document this computer last left in profiles.json (one put there while Velmor
// was stopped is a restore), and the records it synced (a copy of one put back is
// a restore, however long ago). A file that is
// missing or cannot be read is an empty memory; a write that fails is remembered
// for this run only.
class SyncMemory {
public:
    static inline const QString fileName = QStringLiteral("cloud_sync.json");
    // Records dated in the future are rare; the latest few are enough.
    static constexpr qsizetype maxFutureDates = 8;

    // `folder`: where profiles.json is.
    explicit SyncMemory(const QString& folder);

    // Something was at the file's place when the memory was made (even one it could not read).
    bool wasFound() const { return wasFound_; }
    bool hasSyncedWith(const QString& account) const { return accounts_.contains(account); }
    void rememberSyncWith(const QString& account);
    bool hasSyncedAt(const QString& location) const { return locations_.contains(location); }
    void rememberSyncAt(const QString& location);

    // The date a record dated `recordDate` counts as, once remembered.
    std::optional<QDateTime> countedDate(const QDateTime& recordDate) const;
    void rememberCountedDate(const QDateTime& recordDate, const QDateTime& countsAs);

    // Whether `document` is what this computer last left in profiles.json (none: not
    // known yet), and remembering that it is. Told by a digest.
    std::optional<bool> leftDocument(const QByteArray& document) const;
    void rememberLeftDocument(const QByteArray& document);
    // The digest a document is told by (any thread), and remembering one made so.
    static QByteArray digestOf(const QByteArray& document);
    void rememberLeftDigest(QByteArray digest);

    // The records synced with an account, and remembering more of them.
    const SyncedRecordTags& syncedRecords() const { return syncedRecords_; }
    void rememberSyncedRecords(const QString& account, const QStringList& tags);

private:
    void write() const;

    QString path_;
    bool wasFound_ = false;
    QStringList accounts_;
    QStringList locations_;
    // Record date → what it counts as, oldest first.
    QList<std::pair<QDateTime, QDateTime>> countedDates_;
    QByteArray leftDigest_;
    SyncedRecordTags syncedRecords_;
};

} // namespace velmor
