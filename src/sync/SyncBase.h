#pragma once

#include "sync/QueuedFileWriter.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

// The profiles document as this computer last synced it with a cloud account
// (taken from the record, or uploaded into it), kept beside profiles.json so that
// a restart or a kill does not forget it. Profiles that differ from it are changes
// the cloud has not seen; a record that differs from it holds changes made elsewhere.
//
// The file is one line of JSON naming the account and the record's change tag (and
// the record's generation, date and history where it had them), then the document's bytes. It is written atomically on a queue of its own, and
// only after the save or upload it stands for has worked; a file that is missing,
// damaged or of another stamp is no base.
class SyncBase {
public:
    static inline const QString fileName = QStringLiteral("cloud_sync.base");

    struct Stamp {
        // The account's user record name, and the change tag of the record the document is in.
        QString account;
        QString changeTag;
        // That record's generation and date, where it had them: what a record put back
        // from before it is told by.
        std::optional<qint64> generation;
        std::optional<QDateTime> date;
        // The change tags of the records that one descends from, latest first, as it named
        // them (and, once this computer went over another record, that one's as well);
        // none when it named none.
        std::optional<QStringList> replaces;
        // Change tags of the records this computer synced before it, latest first.
        QStringList seen;
        // The change tag of the record put back (a restore) that this state came after.
        QString restores;
        // The highest generation this computer has met that can be one.
        std::optional<qint64> highest;
        bool operator==(const Stamp&) const = default;
    };

    // `folder`: where profiles.json is. Reads the stamp line only. `onWriteFailure` hears,
    // on the main queue, why a base could not be written: once, until one is written again.
    explicit SyncBase(const QString& folder, std::function<void(const QString&)> onWriteFailure = {});

    const std::optional<Stamp>& stamp() const { return stamp_; }
    bool isFor(const std::optional<QString>& account) const { return stamp_ && account && stamp_->account == *account; }

    // The base from now on; written after the writes handed over before. A base of
    // that stamp on disk already stays as it is.
    void remember(Stamp stamp, QByteArray document);
    // The same document, now standing for the record of that stamp (one this computer
    // goes over). Only for this run: a restart compares the record's bytes with the base instead.
    void restamp(Stamp stamp);
    // The document of the current stamp, read on the base's queue after its writes;
    // resumes on the main queue. None without one.
    QCoro::Task<std::optional<QByteArray>> document() const;

    // The file's bytes for a base, and the base in such bytes (none when they are not one).
    static QByteArray encode(const Stamp& stamp, const QByteArray& document);
    static std::optional<std::pair<Stamp, QByteArray>> decode(const QByteArray& bytes);

private:
    QString path_;
    std::optional<Stamp> stamp_;
    // The stamp of the file on disk (once its write is done).
    std::optional<Stamp> written_;
    QueuedFileWriter writer_;
};

} // namespace velmor
