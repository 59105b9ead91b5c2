#pragma once

#include "store/LoadResult.h"
#include "store/ProfileMerge.h"

#include <QStringList>

namespace velmor::test {

// What every merge must hold, whatever the two copies did. Each check names
// what it found wrong; an empty list is a pass.
namespace mergeProperties {

// Every profile, field, tool (by id) and mapping (device, button -> tool) that
// `side` has and `base` has not, or has otherwise, is in the merged profile of
// that id, or that side's whole version of the profile is among the lost ones.
QStringList keepsChangesOf(const LoadResult& base, const LoadResult& side, const ProfileMerge::Result& result,
                           const QString& sideName);
// Every merged user profile is bound to a merged PACS profile, and each of its
// mappings names a tool of that PACS profile.
QStringList referencesAreWhole(const LoadResult& merged);
// No two PACS profiles, and no two user profiles, share an id.
QStringList idsAreUnique(const LoadResult& merged);
// Equal profiles as sets by id: tools by id, mappings by button and tool, the
// active ids alike; list order and mapping ids do not count.
QStringList sameProfiles(const LoadResult& first, const LoadResult& second);

// The profiles and active ids, compactly, for a failure message.
QString describe(const LoadResult& result);

} // namespace mergeProperties

} // namespace velmor::test
