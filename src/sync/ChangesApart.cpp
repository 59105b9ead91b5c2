#include "sync/ChangesApart.h"

#include "store/LoadResult.h"

namespace velmor {

ChangesApart ChangesApart::compare(const QByteArray& base, const QByteArray& local, const QByteArray& remote,
                                   bool recordUnchanged, ProfileMerge::Later later)
{
    if (local == remote)
        return {Kind::inSync, std::nullopt, false};
    const bool localChanged = local != base;
    if (recordUnchanged || remote == base)
        return {localChanged ? Kind::localOnly : Kind::inSync, std::nullopt, false};
    if (!localChanged)
        return {Kind::remoteOnly, std::nullopt, false};
    const std::optional<LoadResult> was = decodePayload(base);
    const std::optional<LoadResult> ours = decodePayload(local);
    const std::optional<LoadResult> theirs = decodePayload(remote);
    if (!was || !ours || !theirs)
        return {Kind::unreadable, std::nullopt, false};
    ProfileMerge::Result merge = ProfileMerge::merge(*was, *ours, *theirs, later);
    LoadResult asRecord = *theirs;
    asRecord.didMigrate = false;
    const bool mergeIsRemote = merge.merged == asRecord;
    return {Kind::both, std::move(merge), mergeIsRemote};
}

} // namespace velmor
