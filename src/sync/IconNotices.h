#pragma once

#include "platform/RegularFile.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velmor {

// What the icon sync tells the user. A problem is told once per icon and cause, until
// that icon syncs again; the problems and the kept drawings of one pass are gathered, so
// that hundreds of damaged records make one message with a count, not hundreds.
class IconNotices {
public:
    // `recordName`'s problem, described for the user; dropped when told before.
    void problem(const QString& recordName, const QString& description);
    // The icon synced: its problems may be told again.
    void settled(const QString& recordName);
    // A drawing kept beside the icon under this file name.
    void kept(const QString& fileName);

    struct Messages {
        std::optional<QString> problems;
        std::optional<QString> kept;
    };
    // The kept drawings so far, which are not told then.
    QStringList takeKept() { return std::exchange(kept_, {}); }
    // The messages of the pass so far, which start anew. `folder`: the icons folder.
    Messages take(const QString& folder);

private:
    QHash<QString, QSet<QString>> told_;
    QStringList problems_;
    QStringList kept_;
};

// The texts of the problems, naming the icon's file as it is written.
QString iconNameRefusedText(const QString& name);
// Why a local entry is not synced (a link, a folder, a pipe, a file over an icon's size); none for an icon file.
std::optional<QString> localRefusalText(const QString& fileName, const QString& folder, const files::FileStamp& stamp);
QString remoteRefusalText(const QString& fileName, const QString& reason);
QString iconWriteFailureText(const QString& fileName, const QString& folder, const QString& reason);

} // namespace velmor
