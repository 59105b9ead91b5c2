#pragma once

#include "store/LoadResult.h"

namespace velmor {

// The base to merge a record with when the record does not descend from it (it names
// no history: an older Velmor, a hand edit). The base still tells what this computer
// changed since it synced; but where the record differs from the base, it may hold an
// earlier state written again rather than a change made elsewhere, so nothing there
// is taken as one: a profile the record lacks stays (nothing synced is removed), and
// one it holds otherwise merges two ways (a difference is a conflict, whose losing
// version is kept). Made of the base's profiles, active ids and built-in removals that
// the record holds alike.
class OwnChangesBase {
public:
    OwnChangesBase() = delete;

    static LoadResult of(const LoadResult& base, const LoadResult& remote);
};

} // namespace velmor
