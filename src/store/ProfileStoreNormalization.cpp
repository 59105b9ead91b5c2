// The repair chain of ProfileStore: built-in PACS profiles merged and completed,
// tool names brought up to date, user profiles bound and named,
// active ids repaired, and default mappings filled in where a button has none.
#include "store/ProfileStore.h"

#include "model/AddedBackIds.h"
#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "store/LegacyToolNames.h"

#include <QHash>
#include <QSet>

namespace velmor {

namespace {

template <typename T>
bool containsId(const QList<T>& items, const QUuid& id)
{
    return std::any_of(items.begin(), items.end(), [&](const T& item) { return item.id == id; });
}

} // namespace

bool ProfileStore::normalizeAll(bool suppressOnSave)
{
    const bool changed = normalizeProfiles();
    repairActiveSelection();
    normalizeAllMappings(suppressOnSave);
    return changed;
}

PacsProfile ProfileStore::mergedPacsProfile(const PacsProfile& stored, const PacsProfile& builtIn,
                                            const BuiltInRemovals& removed)
{
    PacsProfile merged = stored;
    renameLegacyTools(merged.tools);
    removeDuplicateTools(merged.tools);
    QSet<QString> names;
    QSet<QUuid> ids;
    for (const RadiologyTool& tool : merged.tools) {
        names.insert(text::lowercased(tool.name));
        ids.insert(tool.id);
    }
    // A built-in tool the user renamed is known by its id (the built-in's own, or the
    // one it was added back with), one with another id by its name. One added back
    // takes the id every machine derives for it, so two machines that deleted it
    // add back one tool. One the user renamed or deleted stays so.
    const QList<QUuid> addedBackIds = AddedBackIds::toolIds(stored.id, builtIn.tools);
    for (qsizetype i = 0; i < builtIn.tools.size(); ++i) {
        const RadiologyTool& tool = builtIn.tools.at(i);
        const QUuid& addedBackId = addedBackIds.at(i);
        if (names.contains(text::lowercased(tool.name)) || ids.contains(tool.id) || ids.contains(addedBackId)
            || removed.removesTool(stored.id, tool.name))
            continue;
        RadiologyTool added = tool;
        added.id = addedBackId;
        merged.tools.append(std::move(added));
    }
    return merged;
}

bool ProfileStore::normalizeProfiles()
{
    bool changed = false;
    QList<PacsProfile> pacs = pacsProfiles_.get();

    // Built-in profiles merged into the first stored profile of their name, or added
    // back under the ids every machine derives for them, unless the user renamed or
    // deleted them. Profiles of other names are the user's own and stay.
    const BuiltInRemovals& removed = removedBuiltIns_;
    for (const PacsProfile& builtIn : ProfileTemplates::builtInPacsProfiles()) {
        const QString name = text::lowercased(builtIn.name);
        const auto stored = std::find_if(pacs.begin(), pacs.end(),
                                         [&](const PacsProfile& p) { return text::lowercased(p.name) == name; });
        if (stored == pacs.end()) {
            if (removed.removesPacsProfile(builtIn.name))
                continue;
            PacsProfile added = AddedBackIds::addedBack(builtIn, idsOf(pacs));
            added.tools.removeIf([&](const RadiologyTool& t) { return removed.removesTool(added.id, t.name); });
            pacs.append(std::move(added));
            changed = true;
            continue;
        }
        PacsProfile merged = mergedPacsProfile(*stored, builtIn, removed);
        if (merged.tools != stored->tools) {
            *stored = std::move(merged);
            changed = true;
        }
    }

    for (PacsProfile& profile : pacs) {
        if (!profile.defaultLightingHex) {
            if (auto hex = ProfileTemplates::defaultLightingHex(profile.name)) {
                profile.defaultLightingHex = std::move(hex);
                changed = true;
            }
        }
    }
    const bool pacsChanged = changed;
    // Settled before the profiles are published, as an edit's are.
    if (BuiltInRemovals kept = removed.pruned(pacs); !(kept == removed)) {
        removedBuiltIns_ = std::move(kept);
        changed = true;
    }
    if (pacsChanged)
        pacsProfiles_.set(pacs);

    if (!pacs.isEmpty() && !containsId(pacs, activePacsProfileId_.get())) {
        activePacsProfileId_.set(pacs.first().id);
        changed = true;
    }

    QList<UserProfile> users = userProfiles_.get();
    bool usersChanged = false;
    for (UserProfile& user : users) {
        if (!pacs.isEmpty() && !containsId(pacs, user.pacsProfileId)) {
            user.pacsProfileId = pacs.first().id;
            usersChanged = true;
        }
    }
    if (users.isEmpty()) {
        users = ProfileTemplates::defaultUserProfiles(pacs);
        usersChanged = true;
    }
    if (users.size() == 1 && text::lowercased(users.first().name) == QStringLiteral("synthesis")) {
        users.first().name = ProfileTemplates::defaultUserProfileName();
        usersChanged = true;
    }
    for (UserProfile& user : users) {
        if (text::lowercased(user.name) == QStringLiteral("default")) {
            user.name = ProfileTemplates::defaultUserProfileName();
            usersChanged = true;
        }
    }
    if (usersChanged) {
        const bool created = userProfiles_.get().isEmpty();
        userProfiles_.set(users);
        if (created && !users.isEmpty())
            activeUserProfileId_.set(users.first().id);
        changed = true;
    }
    return changed;
}

void ProfileStore::repairActiveSelection()
{
    const QList<PacsProfile>& pacs = pacsProfiles_.get();
    const QList<UserProfile>& users = userProfiles_.get();
    if (!pacs.isEmpty() && !containsId(pacs, activePacsProfileId_.get()))
        activePacsProfileId_.set(pacs.first().id);
    if (!users.isEmpty() && !containsId(users, activeUserProfileId_.get()))
        activeUserProfileId_.set(users.first().id);
    const auto active = std::find_if(users.begin(), users.end(),
                                     [&](const UserProfile& u) { return u.id == activeUserProfileId_.get(); });
    if (active != users.end())
        activePacsProfileId_.set(active->pacsProfileId);
}

void ProfileStore::normalizeAllMappings(bool suppressOnSave)
{
    if (userProfiles_.get().isEmpty()) {
        userProfiles_.set({});
        return;
    }
    bool changed = false;
    // Read through const access, so that the list is copied only when a profile changes.
    QList<UserProfile> users = userProfiles_.get();
    for (qsizetype i = 0; i < users.size(); ++i) {
        auto [normalized, userChanged] = normalizedMappings(std::as_const(users).at(i));
        if (userChanged) {
            users[i] = std::move(normalized);
            changed = true;
        }
    }
    // Nothing to repair: the subscribers have seen these profiles already.
    if (!changed)
        return;
    userProfiles_.set(std::move(users));
    save(suppressOnSave);
}

std::pair<UserProfile, bool> ProfileStore::normalizedMappings(const UserProfile& profile) const
{
    const QList<PacsProfile>& pacs = pacsProfiles_.get();
    const auto boundTo = std::find_if(pacs.begin(), pacs.end(),
                                      [&](const PacsProfile& p) { return p.id == profile.pacsProfileId; });
    if (boundTo == pacs.end())
        return {profile, false};
    const QList<ButtonMapping> defaults = ProfileTemplates::defaultMappings(boundTo->name, boundTo->tools, std::nullopt);
    if (defaults.isEmpty())
        return {profile, false};

    // A default fills a button of its device that has no mapping; the user's own
    // mappings are never replaced. Only the buttons that defaults name are looked up.
    QHash<QString, QHash<QString, bool>> isMapped; // device → button → mapped
    for (const ButtonMapping& mapping : defaults)
        isMapped[mapping.deviceId].insert(mapping.buttonId, false);
    for (const ButtonMapping& mapping : profile.mappings) {
        const auto device = isMapped.find(mapping.deviceId);
        if (device == isMapped.end())
            continue;
        if (const auto button = device->find(mapping.buttonId); button != device->end())
            *button = true;
    }
    UserProfile result = profile;
    bool changed = false;
    for (const ButtonMapping& mapping : defaults) {
        bool& mapped = isMapped[mapping.deviceId][mapping.buttonId];
        if (mapped)
            continue;
        mapped = true;
        result.mappings.append(mapping);
        changed = true;
    }
    return {result, changed};
}

} // namespace velmor
