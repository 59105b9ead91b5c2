#include "sync/ChangesApart.h"

#include "store/LoadResult.h"

namespace velmor {

ChangesApart ChangesApart::compare(const QByteArray& base, const QByteArray& local, const QByteArray& remote,
                                   bool recordUnchanged, ProfileMerge::Later later)
{
    if (local == remote)
        return {Kind::inSync, std::nullopt};
    const bool localChanged = local != base;
    if (recordUnchanged || remote == base)
        return {localChanged ? Kind::localOnly : Kind::inSync, std::nullopt};
    if (!localChanged)
        return {Kind::remoteOnly, std::nullopt};
    const std::optional<LoadResult> was = decodePayload(base);
    const std::optional<LoadResult> ours = decodePayload(local);
    const std::optional<LoadResult> theirs = decodePayload(remote);
    if (!was || !ours || !theirs)
        return {Kind::unreadable, std::nullopt};
    return {Kind::both, ProfileMerge::merge(*was, *ours, *theirs, later)};
}

} // namespace velmor
