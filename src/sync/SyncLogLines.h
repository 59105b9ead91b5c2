#pragma once

#include "store/LoadResult.h"
#include "store/SyncChangeSummary.h"

#include <QString>

#include <optional>

// The words of the profile sync's log lines (after "Cloud Sync: "); what changed is cut
// as a name is, so that a line stays a line.
namespace velmor::synclog {

// "uploaded the profiles (N PACS profiles, M user profiles, size)", then what changed
// since the last line's profiles when there was one (`changes`: none when nothing did).
QString uploaded(const LoadResult& sent, qsizetype bytes, bool hadBefore,
                 const std::optional<SyncChangeSummary::Notice>& changes);
// "took the profiles from iCloud: " and what changed.
QString taken(const std::optional<SyncChangeSummary::Notice>& changes);
// "merged the profiles in iCloud with this computer's: " and what the merge's notice says.
QString merged(const QString& notice);

} // namespace velmor::synclog
