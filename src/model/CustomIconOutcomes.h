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
    // Marks the file's outcome as being found out: the lookup's number, or none when one
    // is under way already for that stamp.
    std::optional<quint64> start(const QString& fileName, const files::FileStamp& stamp);
    // The outcome the lookup found (drawnKey: the key of the document drawn; none: nothing
    // drawn). Dropped when another lookup of the file (it changed) has started since.
    void settle(const QString& fileName, quint64 lookup, const std::optional<QString>& drawnKey);
    // Forgets a lookup that ended without an outcome, if it is still the file's.
    void abandon(const QString& fileName, quint64 lookup);
    // Files whose outcome is being found out. Costs no more for many files than for one.
    int underway() const;

private:
    struct Entry {
        files::FileStamp stamp;
        Known known;
        quint64 lookup = 0;
    };
    mutable QMutex mutex_;
    QHash<QString, Entry> entries_;
    quint64 lookups_ = 0;
    // Entries under way: asked for every turn while many icons are looked up, so counted.
    int underway_ = 0;
};

} // namespace velmor
