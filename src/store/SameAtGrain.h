#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"

namespace velmor {

// Two versions of a profile that hold the same at the grain the merge compares them:
// a user profile's fields and the tool each button runs (mapping ids aside), a PACS
// profile's fields and its tools by id; the order of either list aside. A button mapped
// again to the tool it ran, or a list only reordered, is no change.
bool sameAtGrain(const UserProfile& one, const UserProfile& other);
bool sameAtGrain(const PacsProfile& one, const PacsProfile& other);

// sameAtGrain() as a function object, for the merge's `same`.
struct SameAtGrain {
    template <typename Profile>
    bool operator()(const Profile& one, const Profile& other) const
    {
        return sameAtGrain(one, other);
    }
};

} // namespace velmor
