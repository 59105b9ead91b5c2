#include "store/OwnChangesBase.h"

#include "store/SameAtGrain.h"

#include <QHash>

namespace velmor {

namespace {

// The base's profiles that `remote` holds as they were, at the merge's grain.
template <typename Profile>
QList<Profile> heldAlike(const QList<Profile>& base, const QList<Profile>& remote)
{
    QHash<QUuid, const Profile*> theirs;
    theirs.reserve(remote.size());
    for (const Profile& profile : remote) {
        if (!theirs.contains(profile.id))
            theirs.insert(profile.id, &profile);
    }
    const SameAtGrain same;
    QList<Profile> kept;
    for (const Profile& was : base) {
        if (const Profile* now = theirs.value(was.id); now && same(*now, was))
            kept.append(was);
    }
    return kept;
}

std::optional<QUuid> heldAlike(const std::optional<QUuid>& base, const std::optional<QUuid>& remote)
{
    return base == remote ? base : std::nullopt;
}

} // namespace

LoadResult OwnChangesBase::of(const LoadResult& base, const LoadResult& remote)
{
    LoadResult own;
    own.pacsProfiles = heldAlike(base.pacsProfiles, remote.pacsProfiles);
    own.userProfiles = heldAlike(base.userProfiles, remote.userProfiles);
    own.activePacsProfileId = heldAlike(base.activePacsProfileId, remote.activePacsProfileId);
    own.activeUserProfileId = heldAlike(base.activeUserProfileId, remote.activeUserProfileId);
    // The record's own: a removal only this computer holds stays, and one only the record
    // holds removes nothing here.
    own.removedBuiltIns = remote.removedBuiltIns;
    return own;
}

} // namespace velmor
