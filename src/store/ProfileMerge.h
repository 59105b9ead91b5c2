#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "store/LoadResult.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace velmor {

// Two copies of the profiles that changed apart (this computer's and the cloud's),
// merged against the copy both came from, at the grain they are edited at:
// - profiles by id: added on one side, it stays; deleted on one side and untouched on
//   the other, it goes; deleted on one side and changed on the other, it stays;
// - a profile changed on both sides merges field by field, a PACS profile's tools by
//   id and a user profile's mappings by device and button (compared by their tool);
// - only the same field, tool or button changed differently on both sides is a
//   conflict: the later side's change stays, and the other side's whole version of
//   the profile is handed back as lost, so that it can be kept as a file;
// - a deletion never breaks work made on the other side (MergeReferences).
// Without a base (an empty one) the merge is two-way: nothing either side holds is
// dropped, and every difference is a conflict. The active ids merge like fields, and
// the built-ins taken away entry by entry (a side without them keeps the base's).
// Lists keep the cloud's order, with this computer's own additions after it.
class ProfileMerge {
public:
    enum class Later { local, remote };

    // A user profile that lost, with the PACS profile it is bound to on its side.
    struct LostUserProfile {
        UserProfile profile;
        std::optional<PacsProfile> pacsProfile;
    };

    struct Result {
        LoadResult merged;
        QList<PacsProfile> lostPacsProfiles;
        QList<LostUserProfile> lostUserProfiles;
        // Names of the profiles that took changes from the cloud, and of those that
        // keep changes made here, in list order.
        QStringList fromRemote;
        QStringList fromLocal;
        // PACS profiles and tools deleted on one side that stay for work made on the other.
        QStringList restored;
    };

    ProfileMerge() = delete;

    static Result merge(const LoadResult& base, const LoadResult& local, const LoadResult& remote, Later later);
};

} // namespace velmor
