#include "sync/IconSyncTexts.h"

#include "platform/RegularFile.h"
#include "platform/Text.h"

#include <QDir>

#include <cerrno>

namespace velmor {

QString quotedIconName(const QString& name) { return u'“' + text::shortenedName(name) + u'”'; }

QString iconCloudRefusalText(const QString& recordName, const QString& reason)
{
    // A file system with a shorter limit than most (an encrypted home, a network share).
    if (reason.contains(files::systemErrorText(ENAMETOOLONG)))
        return QStringLiteral("The icon %1 could not be synced: its name is too long for the cloud folder (%2). "
                              "Give the icon a shorter name to sync it.")
            .arg(quotedIconName(recordName), reason);
    // The folder database's own texts about a record name it already.
    if (reason.contains(u'“' + recordName + u'”'))
        return reason;
    return QStringLiteral("The icon %1 could not be synced: %2 The next sync tries again.")
        .arg(quotedIconName(recordName), reason.endsWith(u'.') ? reason : reason + u'.');
}

QString iconSpellingsText(const QString& synced, const QString& other, const QString& folder)
{
    return QStringLiteral("The icons %1 and %2 in “%3” are one icon between computers, but hold different "
                          "drawings: %1 is synced, and %2 stays on this computer only. Rename one of them to "
                          "sync both.")
        .arg(quotedIconName(synced), quotedIconName(other), QDir::toNativeSeparators(folder));
}

} // namespace velmor
