// Records the profile sync does not take: a payload it cannot read, or profiles too
// large to be uploaded again once taken. Nothing the record held is lost (it is kept as
// a file), and this computer's profiles go up in its place.
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "sync/SyncTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace velmor {

namespace {

// A record's frame around its payload (names, dates, numbers), with room to spare.
constexpr qint64 recordFrameBytes = 16 * 1024;

QString sizeText(qint64 bytes) { return QLocale::c().formattedDataSize(bytes, 1); }

qint64 base64Bytes(qint64 bytes) { return (bytes + 2) / 3 * 4; }

} // namespace

qint64 CloudKitProfileSync::maxDocumentBytes() const
{
    return std::max<qint64>(0, database_->maxRecordBytes() - recordFrameBytes) / 4 * 3;
}

QCoro::Task<> CloudKitProfileSync::refuse(cloud::Record record, QByteArray payload, Refusal why, qint64 writtenBytes)
{
    const QString tag = record.recordChangeTag();
    if (!refused_.contains(tag)) {
        const bool unreadable = why == Refusal::unreadable;
        const QString folder = QFileInfo(profileStore_->fileURL()).absolutePath();
        QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> keeping =
            decoder_.keepPayload(folder, QStringLiteral("Profiles from iCloud"),
                                 unreadable ? QStringLiteral("unreadable") : QStringLiteral("too large"),
                                 std::move(payload));
        const std::optional<RemotePayloadDecoder::Kept> kept = co_await std::move(keeping);
        if (!kept || kept->error) {
            // Nothing goes over a record that is kept nowhere: the next sync tries again.
            report(synctext::errorTitle,
                   QStringLiteral("The profiles in iCloud cannot be taken, and nothing is uploaded over them, "
                                  "because they could not be kept on this computer: ") +
                       (kept ? kept->error.value_or(QString()) : QString()));
            co_return;
        }
        refused_.insert(tag);
        const QString reason =
            unreadable ? QStringLiteral("The profiles in iCloud cannot be read.")
                       : QStringLiteral("The profiles in iCloud were not taken: as this computer writes them, they "
                                        "would make a record of %1, and iCloud takes records of at most %2.")
                             .arg(sizeText(base64Bytes(writtenBytes) + recordFrameBytes),
                                  sizeText(database_->maxRecordBytes()));
        const QString instead = uploadsOverRefused()
                                    ? QStringLiteral("This computer's profiles are uploaded in their place.")
                                    : QStringLiteral("This computer has not synced its profiles yet: they are "
                                                     "uploaded in their place with its next change.");
        report(synctext::errorTitle, reason + u' ' + instead +
                                         QStringLiteral(" What iCloud held is kept in “%1”: %2.")
                                             .arg(QDir::toNativeSeparators(folder), synctext::quotedKeptList(kept->files)));
        logKeptFiles(folder, kept->files);
    }
    if (uploadsOverRefused()) {
        uploadOwed_ = true;
        uploadOver(record);
    }
}

bool CloudKitProfileSync::uploadsOverRefused() const
{
    // Profiles that never synced with the account would replace every machine's: they
    // go up only with a change made here, as into a folder without profiles.
    return hasSynced_;
}

} // namespace velmor
