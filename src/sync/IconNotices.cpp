#include "sync/IconNotices.h"

#include "model/SvgIconImage.h"
#include "platform/FileNames.h"
#include "sync/IconSyncTexts.h"
#include "sync/SyncTexts.h"

#include <QDir>

namespace velmor {

namespace {

QString counted(qsizetype n, const char* one, const char* many)
{
    return QString::number(n) + u' ' + QLatin1String(n == 1 ? one : many);
}

QString kindCount(IconProblem kind, qsizetype n)
{
    switch (kind) {
    case IconProblem::name:
        return counted(n, "name that cannot travel", "names that cannot travel");
    case IconProblem::link:
        return counted(n, "link", "links");
    case IconProblem::folder:
        return counted(n, "folder", "folders");
    case IconProblem::notAFile:
        return counted(n, "entry that is not a file", "entries that are not files");
    case IconProblem::tooLarge:
        return counted(n, "file over 1 MB", "files over 1 MB");
    case IconProblem::unreadable:
        return counted(n, "file that could not be read", "files that could not be read");
    case IconProblem::refusedInCloud:
        return counted(n, "drawing refused from iCloud", "drawings refused from iCloud");
    case IconProblem::notWritten:
        return counted(n, "file that could not be written", "files that could not be written");
    case IconProblem::cloud:
        break;
    }
    return counted(n, "iCloud error", "iCloud errors");
}

} // namespace

void IconNotices::problem(const QString& recordName, const QString& description, IconProblem kind)
{
    QSet<QString>& told = told_[recordName];
    if (told.contains(description))
        return;
    told.insert(description);
    problems_.append(description);
    kinds_.append(kind);
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
    if (problems_.size() == 1) {
        messages.problems = problems_.first();
    } else if (!problems_.isEmpty()) {
        messages.problems = iconProblemsSummary(kinds_);
        messages.logLines = problems_;
    }
    if (!kept_.isEmpty())
        messages.kept = QStringLiteral("This computer and iCloud held different drawings of icons: the later of each "
                                       "stays under its name, and the other is kept in “%1”: %2.")
                            .arg(QDir::toNativeSeparators(folder), synctext::quotedKeptList(kept_));
    messages.keptFiles = kept_;
    messages.keptLines = synctext::keptFileLines(folder, kept_);
    problems_.clear();
    kinds_.clear();
    kept_.clear();
    return messages;
}

QString iconNameRefusedText(const QString& name)
{
    return QStringLiteral("The icon name %1 is not synced: only names of SVG files that read as they are written "
                          "(no direction marks, control characters or “/”) travel between computers.")
        .arg(quotedIconName(name));
}

QString iconNameTooLongText(const QString& name, const QString& fileName)
{
    return QStringLiteral("The icon name %1 is not synced: it is too long. Its file name would be %2 bytes, and "
                          "file names hold at most %3. Give the icon a shorter name to sync it.")
        .arg(quotedIconName(name), QString::number(fileName.toUtf8().size()), QString::number(maxFileNameBytes));
}

std::optional<QString> localRefusalText(const QString& fileName, const QString& folder, const files::FileStamp& stamp)
{
    const QString icon = quotedIconName(fileName);
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
        .arg(quotedIconName(fileName), reason);
}

QString iconWriteFailureText(const QString& fileName, const QString& folder, const QString& reason)
{
    return QStringLiteral("The icon %1 from iCloud could not be written in “%2”: %3. The next sync tries again.")
        .arg(quotedIconName(fileName), QDir::toNativeSeparators(folder), reason);
}

} // namespace velmor

namespace velmor {

IconProblem localRefusalKind(const files::FileStamp& stamp)
{
    switch (stamp.kind) {
    case files::FileKind::link:
        return IconProblem::link;
    case files::FileKind::folder:
        return IconProblem::folder;
    case files::FileKind::regular:
        return IconProblem::tooLarge;
    case files::FileKind::missing:
    case files::FileKind::other:
        break;
    }
    return IconProblem::notAFile;
}

QString iconProblemsSummary(const QList<IconProblem>& kinds)
{
    // The kinds in the order they first came up.
    QList<IconProblem> order;
    for (const IconProblem kind : kinds)
        if (!order.contains(kind))
            order.append(kind);
    QStringList counts;
    for (const IconProblem kind : std::as_const(order))
        counts.append(kindCount(kind, kinds.count(kind)));
    return QStringLiteral("%1 icons could not be synced: %2. See the Event Log.")
        .arg(QString::number(kinds.size()), counts.join(QStringLiteral(", ")));
}

} // namespace velmor
