#include "store/ProfileMerge.h"

#include "store/ProfileLookup.h"

#include <QHash>
#include <QUuid>

namespace velmor {

namespace {

template <typename Profile>
struct ListMerge {
    QList<Profile> merged;
    QList<Profile> lost;
    QStringList fromRemote;
    QStringList fromLocal;
};

template <typename Profile>
QHash<QUuid, const Profile*> byId(const QList<Profile>& profiles)
{
    QHash<QUuid, const Profile*> index;
    for (const Profile& profile : profiles)
        index.insert(profile.id, &profile);
    return index;
}

template <typename Profile>
ListMerge<Profile> mergeLists(const QList<Profile>& base, const QList<Profile>& local, const QList<Profile>& remote,
                              ProfileMerge::Later later)
{
    const QHash<QUuid, const Profile*> baseById = byId(base);
    const QHash<QUuid, const Profile*> localById = byId(local);
    const QHash<QUuid, const Profile*> remoteById = byId(remote);
    ListMerge<Profile> out;
    const auto takeRemote = [&out](const Profile& profile) {
        out.merged.append(profile);
        out.fromRemote.append(profile.name);
    };
    const auto takeLocal = [&out](const Profile& profile) {
        out.merged.append(profile);
        out.fromLocal.append(profile.name);
    };

    for (const Profile& theirs : remote) {
        const Profile* was = baseById.value(theirs.id);
        const Profile* ours = localById.value(theirs.id);
        if (!ours) {
            // Added elsewhere, or deleted here: a deletion never takes an edit made elsewhere with it.
            if (!was || !(*was == theirs))
                takeRemote(theirs);
        } else if (*ours == theirs) {
            out.merged.append(theirs);
        } else if (was && *ours == *was) {
            takeRemote(theirs);
        } else if (was && theirs == *was) {
            takeLocal(*ours);
        } else if (later == ProfileMerge::Later::local) {
            takeLocal(*ours);
            out.lost.append(theirs);
        } else {
            takeRemote(theirs);
            out.lost.append(*ours);
        }
    }
    for (const Profile& ours : local) {
        if (remoteById.contains(ours.id))
            continue;
        // Added here, or deleted elsewhere: kept unless it is as it was then.
        const Profile* was = baseById.value(ours.id);
        if (!was || !(*was == ours))
            takeLocal(ours);
    }
    return out;
}

std::optional<QUuid> mergedId(const std::optional<QUuid>& base, const std::optional<QUuid>& local,
                              const std::optional<QUuid>& remote, ProfileMerge::Later later)
{
    if (local == remote || local == base)
        return remote;
    if (remote == base)
        return local;
    return later == ProfileMerge::Later::local ? local : remote;
}

} // namespace

ProfileMerge::Result ProfileMerge::merge(const LoadResult& base, const LoadResult& local, const LoadResult& remote,
                                         Later later)
{
    ListMerge<PacsProfile> pacs = mergeLists(base.pacsProfiles, local.pacsProfiles, remote.pacsProfiles, later);
    ListMerge<UserProfile> users = mergeLists(base.userProfiles, local.userProfiles, remote.userProfiles, later);

    Result result;
    // A lost user profile is from the losing side: its PACS profile is that side's.
    const QList<PacsProfile>& losingPacs = later == Later::local ? remote.pacsProfiles : local.pacsProfiles;
    for (const UserProfile& profile : users.lost) {
        const PacsProfile* pacs = findById(losingPacs, profile.pacsProfileId);
        result.lostUserProfiles.append({profile, pacs ? std::optional(*pacs) : std::nullopt});
    }
    result.lostPacsProfiles = std::move(pacs.lost);
    result.fromRemote = pacs.fromRemote + users.fromRemote;
    result.fromLocal = pacs.fromLocal + users.fromLocal;
    result.merged.pacsProfiles = std::move(pacs.merged);
    result.merged.userProfiles = std::move(users.merged);
    result.merged.activePacsProfileId =
        mergedId(base.activePacsProfileId, local.activePacsProfileId, remote.activePacsProfileId, later);
    result.merged.activeUserProfileId =
        mergedId(base.activeUserProfileId, local.activeUserProfileId, remote.activeUserProfileId, later);
    return result;
}

} // namespace velmor
