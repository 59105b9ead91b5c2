#pragma once

#include "platform/RegularFile.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velmor {

// What kind of problem keeps an icon from syncing, counted in a pass's message.
enum class IconProblem { name, link, folder, notAFile, tooLarge, unreadable, refusedInCloud, notWritten, cloud };

// What the icon sync tells the user. A problem is told once per icon and cause, until
// that icon syncs again; the problems and the kept drawings of one pass are gathered, so
// that hundreds of damaged records make one message with counts, not hundreds: each
// problem then goes to the log.
class IconNotices {
public:
    // `recordName`'s problem, described for the user; dropped when told before.
    void problem(const QString& recordName, const QString& description, IconProblem kind);
    // The icon synced: its problems may be told again.
    void settled(const QString& recordName);
    // A drawing kept beside the icon under this file name.
    void kept(const QString& fileName);

    struct Messages {
        std::optional<QString> problems;
        // Each problem, when `problems` only counts them.
        QStringList logLines;
        std::optional<QString> kept;
        // The file names `kept` tells of.
        QStringList keptFiles;
        // Each of them for the log, when `kept` does not name them all.
        QStringList keptLines;
    };
    // The kept drawings so far, which are not told then.
    QStringList takeKept() { return std::exchange(kept_, {}); }
    // The messages of the pass so far, which start anew. `folder`: the icons folder.
    Messages take(const QString& folder);

private:
    QHash<QString, QSet<QString>> told_;
    QStringList problems_;
    QList<IconProblem> kinds_;
    QStringList kept_;
};

// The texts of the problems, naming the icon's file as it is written.
QString iconNameRefusedText(const QString& name);
// A name whose file would be longer than file names can be.
QString iconNameTooLongText(const QString& name, const QString& fileName);
// Why a local entry is not synced (a link, a folder, a pipe, a file over an icon's size); none for an icon file.
std::optional<QString> localRefusalText(const QString& fileName, const QString& folder, const files::FileStamp& stamp);
IconProblem localRefusalKind(const files::FileStamp& stamp);
// "N icons could not be synced: 2 links, 1 folder. See the Event Log."
QString iconProblemsSummary(const QList<IconProblem>& kinds);
QString remoteRefusalText(const QString& fileName, const QString& reason);
QString iconWriteFailureText(const QString& fileName, const QString& folder, const QString& reason);

} // namespace velmor
