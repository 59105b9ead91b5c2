// What the profile sync tells of the profiles that came in, through ChangeNotices.
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "sync/SyncLogLines.h"

namespace velmor {

void CloudKitProfileSync::tellChange(std::optional<SyncChangeSummary::Notice> summary, LoadResult before,
                                     const QString& extra)
{
    logSynced(synclog::taken(summary));
    if (!extra.isEmpty())
        summary = summary ? SyncChangeSummary::Notice{summary->title, summary->body + QStringLiteral("; ") + extra}
                          : SyncChangeSummary::Notice{QStringLiteral("Velmor profiles updated"), extra};
    if (summary)
        notices_.post({summary->title, summary->body, std::move(before), extra});
}

QCoro::Task<> CloudKitProfileSync::tellGathered(ChangeNotices::Gathered gathered)
{
    QStringList parts;
    if (gathered.before) {
        // Named, not a temporary: a coroutine argument made in the await is destroyed twice by g++ 12.
        QCoro::Task<std::optional<SyncChangeSummary::Notice>> summarizing =
            decoder_.summarize(std::move(*gathered.before), profileStore_->snapshot());
        const std::optional<SyncChangeSummary::Notice> summary = co_await std::move(summarizing);
        if (summary)
            parts << summary->body;
    }
    parts += gathered.extras;
    if (parts.isEmpty())
        parts << gathered.lastBody;
    postChangeNotification(gathered.title, parts.join(QStringLiteral("; ")));
}

} // namespace velmor
