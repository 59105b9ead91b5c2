#include "sync/IconNotices.h"

#include "model/SvgIconImage.h"
#include "platform/Text.h"
#include "sync/SyncTexts.h"

#include <QDir>

namespace velmor {

void IconNotices::problem(const QString& recordName, const QString& description)
{
    QSet<QString>& told = told_[recordName];
    if (told.contains(description))
        return;
    told.insert(description);
    problems_.append(description);
}

void IconNotices::settled(const QString& recordName) { told_.remove(recordName); }

void IconNotices::kept(const QString& fileName)
{
    if (!kept_.contains(fileName))
        kept_.append(fileName);
}

IconNotices::Messages IconNotices::take(const QString& folder)
{
    Messages messages;
    if (problems_.size() == 1)
        messages.problems = problems_.first();
    else if (!problems_.isEmpty())
        messages.problems = QStringLiteral("%1 icons could not be synced. The first: %2")
                                .arg(problems_.size())
                                .arg(problems_.first());
    if (!kept_.isEmpty())
        messages.kept = QStringLiteral("This computer and iCloud held different drawings of icons: the later of each "
                                       "stays under its name, and the other is kept in “%1”: %2.")
                            .arg(QDir::toNativeSeparators(folder), synctext::quotedList(kept_));
    problems_.clear();
    kept_.clear();
    return messages;
}

QString iconNameRefusedText(const QString& name)
{
    return QStringLiteral("The icon name %1 is not synced: only names of SVG files that read as they are written "
                          "(no direction marks, control characters or “/”) travel between computers.")
        .arg(u'“' + text::displayName(name) + u'”');
}

std::optional<QString> localRefusalText(const QString& fileName, const QString& folder, const files::FileStamp& stamp)
{
    const QString icon = u'“' + text::displayName(fileName) + u'”';
    const QString where = QDir::toNativeSeparators(folder);
    switch (stamp.kind) {
    case files::FileKind::missing:
        return std::nullopt;
    case files::FileKind::regular:
        if (stamp.size <= SvgIconLimits::maxFileBytes)
            return std::nullopt;
        return QStringLiteral("The icon %1 in “%2” is not synced: it is larger than 1 MB.").arg(icon, where);
    case files::FileKind::link:
        return QStringLiteral("The icon %1 in “%2” is not synced: it is a link, which Velmor neither follows nor "
                              "replaces.")
            .arg(icon, where);
    case files::FileKind::folder:
    case files::FileKind::other:
        break;
    }
    return QStringLiteral("The icon %1 in “%2” is not synced: it is %3, not a file.")
        .arg(icon, where, files::kindText(stamp.kind));
}

QString remoteRefusalText(const QString& fileName, const QString& reason)
{
    return QStringLiteral("The drawing of the icon %1 in iCloud was refused: %2")
        .arg(u'“' + text::displayName(fileName) + u'”', reason);
}

QString iconWriteFailureText(const QString& fileName, const QString& folder, const QString& reason)
{
    return QStringLiteral("The icon %1 from iCloud could not be written in “%2”: %3. The next sync tries again.")
        .arg(u'“' + text::displayName(fileName) + u'”', QDir::toNativeSeparators(folder), reason);
}

} // namespace velmor
