#include "sync/IconFolderWrites.h"

#include "platform/MainQueue.h"

#include <QFile>

namespace velmor {

IconFolderWrites::IconFolderWrites(std::shared_ptr<IconFolder> folder)
    : folder_(std::move(folder)), queue_(SerialQueue::create(QStringLiteral("com.velmor.icon-writes")))
{
}

void IconFolderWrites::sweepTemporaries() const
{
    queue_->async([folder = folder_] { folder->sweepTemporaries(); });
}

cloudkit::ReplyAwaiter<IconFolder::Written> IconFolderWrites::replace(QString fileName, QByteArray bytes,
                                                                      QDateTime date, files::FileStamp expected,
                                                                      QString keepAs) const
{
    return cloudkit::ReplyAwaiter<IconFolder::Written>(
        [folder = folder_, queue = queue_, fileName = std::move(fileName), bytes = std::move(bytes),
         date = std::move(date), expected, keepAs = std::move(keepAs)](cloud::Completion<IconFolder::Written> done) {
            // The folder is held by the work, whatever becomes of the sync meanwhile.
            queue->async([folder, fileName, bytes, date, expected, keepAs, done = std::move(done)] {
                IconFolder::Written written = folder->replace(fileName, bytes, date, expected, keepAs);
                postToMain([done, written = std::move(written)] { done(written, std::nullopt); });
            });
        });
}

void IconFolderWrites::remove(QStringList paths) const
{
    queue_->async([paths = std::move(paths)] {
        for (const QString& path : paths)
            QFile::remove(path);
    });
}

} // namespace velmor
