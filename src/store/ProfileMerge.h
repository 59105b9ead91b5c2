#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "store/LoadResult.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace velmor {

// Two copies of the profiles that changed apart (this computer's and the cloud's),
// merged profile by profile, by id, against the copy both came from:
// - changed on one side only (added, edited or deleted): that side's change stays;
// - changed on both sides alike: that content;
// - changed on both sides differently: the later side's version, the other one
//   handed back as lost so that it can be kept as a file;
// - deleted on one side and edited on the other: the edited profile stays.
// The active ids merge the same way. Lists keep the cloud's order, with this
// computer's own additions after it in their order.
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
        // Names of the profiles that came in from the cloud, and of those changed
        // here that stay, in list order.
        QStringList fromRemote;
        QStringList fromLocal;
    };

    ProfileMerge() = delete;

    static Result merge(const LoadResult& base, const LoadResult& local, const LoadResult& remote, Later later);
};

} // namespace velmor
