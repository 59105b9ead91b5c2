#pragma once

#include "store/LoadResult.h"

namespace velmor {

class ProfileStore;

// A document to take with the store's repairs made already (ProfileStore::repaired), on
// whatever thread made it: taking it repairs nothing on the window's thread, however
// many profiles and tools it holds.
class RepairedDocument {
public:
    const LoadResult& document() const { return document_; }

private:
    friend class ProfileStore;
    LoadResult document_;
    // False when only the store can repair it (it lacks profiles of a kind).
    bool repaired_ = false;
};

} // namespace velmor
