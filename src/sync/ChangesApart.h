#pragma once

#include "store/ProfileMerge.h"

#include <QByteArray>

#include <optional>

namespace velmor {

// What a profiles record means for this computer, against the document it last
// synced (the base): which side changed since, by content, never by date; and when
// both did, the two merged. Without a usable base the two sides merge two ways.
struct ChangesApart {
    enum class Kind {
        // Both sides hold one document: nothing to take or send.
        inSync,
        // Only this computer changed, or the merge is its profiles: its document goes up.
        localOnly,
        // Only the record changed: it is taken whole, whatever the dates.
        remoteOnly,
        // Both changed: `merge` holds what becomes of them.
        both,
        // This computer's or the record's document could not be read as profiles.
        unreadable,
    };

    Kind kind = Kind::inSync;
    std::optional<ProfileMerge::Result> merge;
    // The merge is the record's profiles as they stand: nothing to send back.
    bool mergeIsRemote = false;
    // The merge as this computer writes it, in bytes, where it was measured (else 0).
    qint64 mergedBytes = 0;

    // `base`: none when there is no usable one. `recordUnchanged`: the record is still
    // the one the base came from (its change tag), whatever its bytes. `recordFollows`:
    // the record may descend from the base; otherwise (it names no history) the base
    // tells only what this computer changed (OwnChangesBase). Decodes only what the
    // bytes cannot tell.
    static ChangesApart compare(const std::optional<QByteArray>& base, const QByteArray& local,
                                const QByteArray& remote, bool recordUnchanged, ProfileMerge::Later later,
                                bool recordFollows = true);
};

} // namespace velmor
