#pragma once

#include "store/ProfileStore.h"

namespace velmor::test {

// Puts a state in place without the store's operations: assigned, published,
// not repaired and not saved. For tests of the repairs and of saving, which need
// states that no operation would leave behind.
struct ProfileStoreSeed {
    static Published<QList<PacsProfile>>& pacsProfiles(ProfileStore& store) { return store.pacsProfiles_; }
    static Published<QList<UserProfile>>& userProfiles(ProfileStore& store) { return store.userProfiles_; }
    static Published<QUuid>& activePacsProfileId(ProfileStore& store) { return store.activePacsProfileId_; }
    static Published<QUuid>& activeUserProfileId(ProfileStore& store) { return store.activeUserProfileId_; }
    static Published<std::optional<QDateTime>>& lastSaved(ProfileStore& store) { return store.lastSaved_; }
    static BuiltInRemovals& removedBuiltIns(ProfileStore& store) { return store.removedBuiltIns_; }
    // The repair chain's first step on its own: built-in profiles merged, users bound and named.
    static bool normalizeProfiles(ProfileStore& store) { return store.normalizeProfiles(); }
};

} // namespace velmor::test
