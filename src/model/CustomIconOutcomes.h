#pragma once

#include "platform/RegularFile.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <optional>

namespace velmor {

// What is known about each icon file, tied to what identifies the file's content on disk
// (its stamp: size, modification time, inode): once the stamp changes, nothing is known
// about it. So a file whose outcome is known is not read again. Safe on any thread.
class CustomIconOutcomes {
public:
    enum class State { underway, failed, drawn };
    struct Known {
        State state = State::underway;
        // When drawn: the renderer's key of the document that was drawn.
        QString key;
    };

    // What is known about the file as it is now, if anything.
    std::optional<Known> find(const QString& fileName, const files::FileStamp& stamp) const;
    // Marks the file's outcome as being found out; false when it already is, for that stamp.
    bool start(const QString& fileName, const files::FileStamp& stamp);
    // The outcome found (drawnKey: the key of the document drawn; none: nothing drawn).
    // Dropped when the file changed again meanwhile.
    void settle(const QString& fileName, const files::FileStamp& stamp, const std::optional<QString>& drawnKey);
    // Files whose outcome is being found out.
    int underway() const;

private:
    struct Entry {
        files::FileStamp stamp;
        Known known;
    };
    mutable QMutex mutex_;
    QHash<QString, Entry> entries_;
};

} // namespace velmor
