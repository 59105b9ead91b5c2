#pragma once

#include "store/LoadResult.h"

namespace velmor {

// Ids written by other machines and people are not trusted to be unique. After this,
// no two PACS profiles, user profiles, tools of one PACS profile or mappings share an
// id: the first of a repeated id keeps it, and each later one is kept under an id
// derived from it, the same on every machine, so that machines repairing one document
// agree. A user profile bound to a repeated PACS profile id follows the one whose tools
// its mappings name most (the first on a tie); other references stay with the first.
// Returns whether any id changed.
bool makeIdsUnique(LoadResult& profiles);

} // namespace velmor
