#pragma once

#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"

namespace velmor {

// Turns an older profiles document into the current one: only the active legacy
// profile survives, as PACS profile "Synthesis" and user profile "default", both
// with new ids. The usual normalisation of a load follows.
PersistedProfiles migrateLegacy(const LegacyPersistedProfiles& legacy);

// The legacy profile with old tool names upgraded, repeated ids dropped, and the
// catalogue's tools that it lacks by name appended.
LegacyProfile upgradedLegacyProfile(const LegacyProfile& profile);

} // namespace velmor
