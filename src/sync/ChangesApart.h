#pragma once

#include "store/ProfileMerge.h"

#include <QByteArray>

#include <optional>

namespace velmor {

// What a profiles record means for a computer that knows the document it last
// synced (the base): which side changed since, and when both did, the two merged.
struct ChangesApart {
    enum class Kind {
        // Both sides hold one document: nothing to take or send.
        inSync,
        // Only this computer changed: its document goes up.
        localOnly,
        // Only the record changed: it is taken whole.
        remoteOnly,
        // Both changed: `merge` holds what becomes of them.
        both,
        // Some document could not be read as profiles: nothing is merged.
        unreadable,
    };

    Kind kind = Kind::inSync;
    std::optional<ProfileMerge::Result> merge;
    // The merge is the record's profiles as they stand: nothing to send back.
    bool mergeIsRemote = false;

    // `recordUnchanged`: the record is still the one the base came from (its change
    // tag), whatever its bytes. Decodes only when both sides changed.
    static ChangesApart compare(const QByteArray& base, const QByteArray& local, const QByteArray& remote,
                                bool recordUnchanged, ProfileMerge::Later later);
};

} // namespace velmor
