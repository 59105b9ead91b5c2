#include "store/ProfileMerge.h"

#include "store/MergeReferences.h"
#include "store/ProfileFieldMerge.h"
#include "store/ProfileLookup.h"
#include "store/SameAtGrain.h"

namespace velmor {

namespace {

// Profiles by id, each changed on both sides merged field by field; `lose` hears of
// the losing side's version of each that conflicted.
template <typename Profile, typename Lose>
QList<Profile> mergeProfiles(const QList<Profile>& base, const QList<Profile>& local, const QList<Profile>& remote,
                             bool localIsLater, Lose lose)
{
    // Changed means changed at the merge's grain, in the rule that keeps a deleted profile too.
    const SameAtGrain same;
    const auto mergeBoth = [&](const Profile* was, const Profile& ours, const Profile& theirs) {
        // A side whose version is the base's, byte for byte, takes the other's as it is.
        if (ours == theirs || (was && ours == *was))
            return threeWay::Merged<Profile>{theirs, false};
        if (was && theirs == *was)
            return threeWay::Merged<Profile>{ours, false};
        if (same(ours, theirs) || (was && same(ours, *was)))
            return threeWay::Merged<Profile>{theirs, false};
        if (was && same(theirs, *was))
            return threeWay::Merged<Profile>{ours, false};
        threeWay::Merged<Profile> merged = profileFieldMerge::merge(was, ours, theirs, localIsLater);
        if (merged.conflict)
            lose(localIsLater ? theirs : ours);
        return merged;
    };
    return threeWay::mergeKeyed(base, local, remote, [](const Profile& profile) { return profile.id; }, same,
                                mergeBoth)
        .value;
}

std::optional<QUuid> mergedId(const std::optional<QUuid>& base, const std::optional<QUuid>& local,
                              const std::optional<QUuid>& remote, bool localIsLater)
{
    return threeWay::pick(&base, local, remote, localIsLater, std::equal_to<std::optional<QUuid>>()).value;
}

// Names of the merged profiles that differ from `side`'s version and that `other` holds.
template <typename Profile>
QStringList changedFrom(const QList<Profile>& merged, const QList<Profile>& side, const QList<Profile>& other)
{
    QStringList names;
    for (const Profile& profile : merged) {
        const Profile* version = findById(side, profile.id);
        if ((!version || !sameAtGrain(*version, profile)) && findById(other, profile.id))
            names.append(profile.name);
    }
    return names;
}

} // namespace

ProfileMerge::Result ProfileMerge::merge(const LoadResult& base, const LoadResult& local, const LoadResult& remote,
                                         Later later)
{
    const bool localIsLater = later == Later::local;
    const LoadResult& losing = localIsLater ? remote : local;
    Result result;
    result.merged.pacsProfiles =
        mergeProfiles(base.pacsProfiles, local.pacsProfiles, remote.pacsProfiles, localIsLater,
                      [&result](const PacsProfile& lost) { result.lostPacsProfiles.append(lost); });
    result.merged.userProfiles = mergeProfiles(
        base.userProfiles, local.userProfiles, remote.userProfiles, localIsLater, [&](const UserProfile& lost) {
            const PacsProfile* pacs = findById(losing.pacsProfiles, lost.pacsProfileId);
            result.lostUserProfiles.append({lost, pacs ? std::optional(*pacs) : std::nullopt});
        });
    result.merged.activePacsProfileId =
        mergedId(base.activePacsProfileId, local.activePacsProfileId, remote.activePacsProfileId, localIsLater);
    result.merged.activeUserProfileId =
        mergedId(base.activeUserProfileId, local.activeUserProfileId, remote.activeUserProfileId, localIsLater);
    MergeReferences(base, local, remote, later, result).restore();
    // A built-in taken away on one side and kept for work on the other is there again.
    result.merged.removedBuiltIns =
        BuiltInRemovals::merged(base.removedBuiltIns, local.removedBuiltIns, remote.removedBuiltIns)
            .pruned(result.merged.pacsProfiles);

    const LoadResult& merged = result.merged;
    result.fromRemote = changedFrom(merged.pacsProfiles, local.pacsProfiles, remote.pacsProfiles) +
                        changedFrom(merged.userProfiles, local.userProfiles, remote.userProfiles);
    result.fromLocal = changedFrom(merged.pacsProfiles, remote.pacsProfiles, local.pacsProfiles) +
                       changedFrom(merged.userProfiles, remote.userProfiles, local.userProfiles);
    return result;
}

} // namespace velmor
