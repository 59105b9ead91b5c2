#include "store/MergeReferences.h"

#include "store/ProfileLookup.h"
#include "store/SameAtGrain.h"

#include <QSet>

namespace velmor {

namespace {

bool reachesTool(const LoadResult& side, const UserProfile& user, const ButtonMapping& mapping)
{
    const PacsProfile* pacs = findById(side.pacsProfiles, user.pacsProfileId);
    return pacs && findById(pacs->tools, mapping.toolId);
}

bool holds(const UserProfile& user, const ButtonMapping& mapping)
{
    return std::any_of(user.mappings.cbegin(), user.mappings.cend(), [&](const ButtonMapping& held) {
        return held.deviceId == mapping.deviceId && held.buttonId == mapping.buttonId && held.toolId == mapping.toolId;
    });
}

} // namespace

MergeReferences::MergeReferences(const LoadResult& base, const LoadResult& local, const LoadResult& remote,
                                 ProfileMerge::Later later, ProfileMerge::Result& result)
    : base_(base), local_(local), remote_(remote), localIsLater_(later == ProfileMerge::Later::local), result_(result)
{
}

void MergeReferences::restore()
{
    keepBindingsOfDeletedProfiles();
    restoreBoundProfiles();
    restoreMappedTools();
    // A version that lost a conflict but ended whole in the merge is not lost.
    const QList<UserProfile>& users = result_.merged.userProfiles;
    result_.lostUserProfiles.removeIf([&users](const ProfileMerge::LostUserProfile& lost) {
        const UserProfile* merged = findById(users, lost.profile.id);
        return merged && sameAtGrain(*merged, lost.profile);
    });
}

void MergeReferences::keepBindingsOfDeletedProfiles()
{
    const QSet<QUuid> keptHere = reboundByDeletion(local_, remote_);
    const QSet<QUuid> keptThere = reboundByDeletion(remote_, local_);
    for (UserProfile& merged : result_.merged.userProfiles) {
        const bool here = keptHere.contains(merged.id);
        const bool there = keptThere.contains(merged.id);
        if (!here && !there)
            continue;
        // Each side deleted the PACS profile of the other's: the later side's work stays.
        const bool takeLocal = here && (!there || localIsLater_);
        const LoadResult& kept = takeLocal ? local_ : remote_;
        merged = *findById(kept.userProfiles, merged.id);
        keepAsLost(takeLocal ? remote_ : local_, merged.id);
    }
}

QSet<QUuid> MergeReferences::reboundByDeletion(const LoadResult& side, const LoadResult& other) const
{
    QSet<QUuid> ids;
    for (const UserProfile& theirs : side.userProfiles) {
        const QUuid& pacsId = theirs.pacsProfileId;
        const bool deletedOnOther = findById(base_.pacsProfiles, pacsId) && findById(side.pacsProfiles, pacsId) &&
                                    !findById(other.pacsProfiles, pacsId);
        const UserProfile* was = findById(base_.userProfiles, theirs.id);
        const UserProfile* merged = findById(result_.merged.userProfiles, theirs.id);
        if (deletedOnOther && !(was && sameAtGrain(*was, theirs)) && merged && merged->pacsProfileId != pacsId)
            ids.insert(theirs.id);
    }
    return ids;
}

void MergeReferences::restoreBoundProfiles()
{
    QList<PacsProfile>& pacs = result_.merged.pacsProfiles;
    for (const UserProfile& user : result_.merged.userProfiles) {
        if (findById(pacs, user.pacsProfileId))
            continue;
        if (const PacsProfile* version = anyVersion(user.pacsProfileId)) {
            pacs.append(*version);
            result_.restored.append(version->name);
        }
    }
}

void MergeReferences::restoreMappedTools()
{
    QList<PacsProfile>& pacsProfiles = result_.merged.pacsProfiles;
    for (UserProfile& user : result_.merged.userProfiles) {
        const qsizetype p = indexOfId(pacsProfiles, user.pacsProfileId);
        // Bound to a profile no side has: the store binds it anew, as it always has.
        if (p < 0)
            continue;
        QList<ButtonMapping> whole;
        whole.reserve(user.mappings.size());
        bool dropped = false;
        for (const ButtonMapping& mapping : std::as_const(user.mappings)) {
            PacsProfile& pacs = pacsProfiles[p];
            if (findById(pacs.tools, mapping.toolId) || !wasWhole(user, mapping)) {
                whole.append(mapping);
                continue;
            }
            if (const RadiologyTool* tool = anyVersion(pacs.id, mapping.toolId)) {
                pacs.tools.append(*tool);
                result_.restored.append(QStringLiteral("%1 (%2)").arg(tool->name, pacs.name));
                whole.append(mapping);
                continue;
            }
            dropped = true;
            for (const LoadResult* side : {&local_, &remote_}) {
                const UserProfile* version = findById(side->userProfiles, user.id);
                if (version && holds(*version, mapping))
                    keepAsLost(*side, user.id);
            }
        }
        if (dropped)
            user.mappings = std::move(whole);
    }
}

const PacsProfile* MergeReferences::anyVersion(const QUuid& pacsId) const
{
    for (const LoadResult* side : {&local_, &remote_, &base_}) {
        if (const PacsProfile* pacs = findById(side->pacsProfiles, pacsId))
            return pacs;
    }
    return nullptr;
}

const RadiologyTool* MergeReferences::anyVersion(const QUuid& pacsId, const QUuid& toolId) const
{
    for (const LoadResult* side : {&local_, &remote_, &base_}) {
        const PacsProfile* pacs = findById(side->pacsProfiles, pacsId);
        if (const RadiologyTool* tool = pacs ? findById(pacs->tools, toolId) : nullptr)
            return tool;
    }
    return nullptr;
}

bool MergeReferences::wasWhole(const UserProfile& merged, const ButtonMapping& mapping) const
{
    for (const LoadResult* side : {&local_, &remote_}) {
        const UserProfile* version = findById(side->userProfiles, merged.id);
        if (version && holds(*version, mapping) && reachesTool(*side, *version, mapping))
            return true;
    }
    return false;
}

void MergeReferences::keepAsLost(const LoadResult& side, const QUuid& userId)
{
    const UserProfile* version = findById(side.userProfiles, userId);
    if (!version)
        return;
    QList<ProfileMerge::LostUserProfile>& lost = result_.lostUserProfiles;
    const bool known = std::any_of(lost.cbegin(), lost.cend(),
                                   [&](const ProfileMerge::LostUserProfile& held) { return held.profile == *version; });
    if (known)
        return;
    const PacsProfile* pacs = findById(side.pacsProfiles, version->pacsProfileId);
    lost.append({*version, pacs ? std::optional(*pacs) : std::nullopt});
}

} // namespace velmor
