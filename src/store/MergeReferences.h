#pragma once

#include "store/ProfileMerge.h"

#include <QSet>

namespace velmor {

// Keeps what a merge made whole: a deletion made on one side never breaks work made
// on the other.
// - A PACS profile deleted on one side comes back when a merged user profile is bound
//   to it, or when the other side changed a user profile bound to it there; that user
//   profile then keeps the other side's binding and mappings (the deleting side's
//   rebinding is kept as a lost version).
// - A tool deleted on one side comes back when a merged mapping names it.
// - A mapping that still reaches no tool of its PACS profile is dropped, and the
//   versions that held it are kept as lost. Mappings that reached no tool on every side
//   already are left as they were: the merge did not break them.
class MergeReferences {
public:
    MergeReferences(const LoadResult& base, const LoadResult& local, const LoadResult& remote,
                    ProfileMerge::Later later, ProfileMerge::Result& result);

    void restore();

private:
    void keepBindingsOfDeletedProfiles();
    // Ids of the user profiles that `side` changed while bound to a PACS profile that
    // `other` deleted, and that the merge binds elsewhere.
    QSet<QUuid> reboundByDeletion(const LoadResult& side, const LoadResult& other) const;
    void restoreBoundProfiles();
    void restoreMappedTools();
    // The version of a PACS profile, or of one of its tools, on the first side that has it.
    const PacsProfile* anyVersion(const QUuid& pacsId) const;
    const RadiologyTool* anyVersion(const QUuid& pacsId, const QUuid& toolId) const;
    // The mapping reached a tool on a side that holds it: the merge broke it.
    bool wasWhole(const UserProfile& merged, const ButtonMapping& mapping) const;
    void keepAsLost(const LoadResult& side, const QUuid& userId);

    const LoadResult& base_;
    const LoadResult& local_;
    const LoadResult& remote_;
    const bool localIsLater_;
    ProfileMerge::Result& result_;
};

} // namespace velmor
