#include "sync/SyncLogLines.h"

#include "platform/Text.h"

#include <QLocale>

namespace velmor::synclog {

namespace {

QString cut(const QString& words) { return text::shortenedName(words); }

QString counted(qsizetype count, const QString& what)
{
    return QString::number(count) + u' ' + what + (count == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

QString uploaded(const LoadResult& sent, qsizetype bytes, bool hadBefore,
                 const std::optional<SyncChangeSummary::Notice>& changes)
{
    QString line = QStringLiteral("uploaded the profiles (%1, %2, %3)")
                       .arg(counted(sent.pacsProfiles.size(), QStringLiteral("PACS profile")),
                            counted(sent.userProfiles.size(), QStringLiteral("user profile")),
                            QLocale::c().formattedDataSize(bytes, 1));
    if (hadBefore)
        line += changes ? QStringLiteral(": ") + cut(changes->body) : QStringLiteral(": no change since the last sync");
    return line + u'.';
}

QString taken(const std::optional<SyncChangeSummary::Notice>& changes)
{
    return QStringLiteral("took the profiles from iCloud: ")
           + (changes ? cut(changes->body) : QStringLiteral("nothing this computer shows changed")) + u'.';
}

QString merged(const QString& notice)
{
    return QStringLiteral("merged the profiles in iCloud with this computer's: ") + cut(notice);
}

} // namespace velmor::synclog
