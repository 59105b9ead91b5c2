#include "sync/ChangesApart.h"

#include "store/LoadResult.h"
#include "store/OwnChangesBase.h"

namespace velmor {

namespace {

// The profiles a document holds, whatever format they came in.
std::optional<LoadResult> profilesIn(const QByteArray& document)
{
    std::optional<LoadResult> profiles = decodePayload(document);
    if (profiles)
        profiles->didMigrate = false;
    return profiles;
}

// Two documents that hold the same profiles, however they were written. One whose ids
// the reader made unique holds other profiles than the document of its repair.
bool sameProfiles(const QByteArray& one, const QByteArray& other)
{
    std::optional<DecodedPayload> first = decodeDocument(one);
    std::optional<DecodedPayload> second = decodeDocument(other);
    if (!first || !second || first->repairedIds || second->repairedIds)
        return false;
    first->result.didMigrate = second->result.didMigrate = false;
    return first->result == second->result;
}

ChangesApart merged(const LoadResult& was, const LoadResult& ours, const LoadResult& theirs,
                    ProfileMerge::Later later)
{
    ProfileMerge::Result merge = ProfileMerge::merge(was, ours, theirs, later);
    const bool nothingLost = merge.lostPacsProfiles.isEmpty() && merge.lostUserProfiles.isEmpty();
    if (nothingLost && merge.merged == ours)
        return {ChangesApart::Kind::localOnly, std::nullopt, false};
    const bool mergeIsRemote = merge.merged == theirs;
    return {ChangesApart::Kind::both, std::move(merge), mergeIsRemote};
}

} // namespace

ChangesApart ChangesApart::compare(const std::optional<QByteArray>& base, const QByteArray& local,
                                   const QByteArray& remote, bool recordUnchanged, ProfileMerge::Later later,
                                   bool recordFollows)
{
    if (local == remote)
        return {Kind::inSync, std::nullopt, false};
    if (base && recordFollows) {
        const bool localChanged = local != *base;
        if (recordUnchanged || remote == *base)
            return {localChanged && !sameProfiles(local, *base) ? Kind::localOnly : Kind::inSync, std::nullopt, false};
        if (!localChanged)
            return {Kind::remoteOnly, std::nullopt, false};
    }
    const std::optional<LoadResult> ours = profilesIn(local);
    const std::optional<LoadResult> theirs = profilesIn(remote);
    if (!ours || !theirs)
        return {Kind::unreadable, std::nullopt, false};
    if (*ours == *theirs)
        return {Kind::inSync, std::nullopt, false};
    // A base that cannot be read is no base: nothing either side holds is dropped.
    std::optional<LoadResult> was = base ? profilesIn(*base) : std::nullopt;
    if (was && !recordFollows)
        was = OwnChangesBase::of(*was, *theirs);
    if (!was)
        return merged(LoadResult{}, *ours, *theirs, later);
    // Bytes apart, content alike: an edit undone, or the same profiles written anew.
    if (*ours == *was)
        return {Kind::remoteOnly, std::nullopt, false};
    if (*theirs == *was)
        return {Kind::localOnly, std::nullopt, false};
    return merged(*was, *ours, *theirs, later);
}

} // namespace velmor
