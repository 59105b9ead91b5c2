// The profile sync's lines for Velmor's log: one per upload, take and merge, each saying
// what changed, so that a support person can tell what the sync did.
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "sync/SyncLogLines.h"
#include "sync/SyncTexts.h"

namespace velmor {

void CloudKitProfileSync::log(const QString& line) const
{
    if (onLog)
        onLog(QStringLiteral("Cloud Sync: ") + line);
}

void CloudKitProfileSync::logKeptFiles(const QString& folder, const QStringList& files) const
{
    logKeptLines(synctext::keptFileLines(folder, files));
}

void CloudKitProfileSync::logKeptLines(const QStringList& lines) const
{
    if (lines.isEmpty())
        return;
    if (!onNoticeLines) {
        for (const QString& line : lines)
            log(line);
        return;
    }
    // The notice sends the user to these lines: they stay in the log however much follows.
    QStringList titled;
    titled.reserve(lines.size());
    for (const QString& line : lines)
        titled.append(QStringLiteral("Cloud Sync: ") + line);
    onNoticeLines(NoticeLines::keptFiles, titled);
}

void CloudKitProfileSync::logSynced(const QString& line)
{
    lastLogged_ = profileStore_->snapshot();
    log(line);
}

QCoro::Task<> CloudKitProfileSync::logUploaded(LoadResult sent, qsizetype bytes)
{
    std::optional<LoadResult> before = std::exchange(lastLogged_, sent);
    std::optional<SyncChangeSummary::Notice> changes;
    const bool hadBefore = before.has_value();
    if (before) {
        // Named, not a temporary: a coroutine argument made in the await is destroyed twice by g++ 12.
        QCoro::Task<std::optional<SyncChangeSummary::Notice>> summarizing =
            decoder_.summarize(std::move(*before), sent);
        changes = co_await std::move(summarizing);
    }
    log(synclog::uploaded(sent, bytes, hadBefore, changes));
    decoder_.release(std::move(sent));
}

} // namespace velmor
