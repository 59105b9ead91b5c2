// The repair chain of ProfileStore: built-in PACS profiles merged and completed,
// tool names brought up to date, user profiles bound and named,
// active ids repaired, and default mappings filled in where a button has none.
#include "store/ProfileStore.h"

#include "model/AddedBackIds.h"
#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "store/LegacyToolNames.h"
#include "store/RepairedDocument.h"

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

RepairedDocument ProfileStore::repaired(LoadResult document, const BuiltInRemovals& standing)
{
    if (document.removedBuiltIns.isEmpty())
        document.removedBuiltIns = standing;
    RepairedDocument taken;
    // Without profiles of both kinds, taking keeps the store's own active ids: only
    // the store can repair that.
    if (document.pacsProfiles.isEmpty() || document.userProfiles.isEmpty()) {
        taken.document_ = std::move(document);
        return taken;
    }
    // As replaceAll takes the document.
    const QUuid activePacs = document.activePacsProfileId.value_or(document.pacsProfiles.first().id);
    const QUuid activeUser = document.activeUserProfileId.value_or(document.userProfiles.first().id);
    ProfileSnapshot profiles{std::move(document.pacsProfiles), std::move(document.userProfiles), activePacs, activeUser,
                             std::move(document.removedBuiltIns)};
    repairProfiles(profiles);
    repairActive(profiles);
    repairMappings(profiles);
    taken.document_ = LoadResult{std::move(profiles.pacs), std::move(profiles.users), profiles.activePacs,
                                 profiles.activeUser, document.didMigrate, std::move(profiles.removedBuiltIns)};
    taken.repaired_ = true;
    return taken;
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

void ProfileStore::publish(const ProfileSnapshot& profiles, const Repairs& repairs)
{
    if (repairs.pacs)
        pacsProfiles_.set(profiles.pacs);
    if (repairs.activePacs)
        activePacsProfileId_.set(profiles.activePacs);
    if (repairs.users)
        userProfiles_.set(profiles.users);
    if (repairs.activeUser)
        activeUserProfileId_.set(profiles.activeUser);
    if (repairs.removals)
        removedBuiltIns_ = profiles.removedBuiltIns;
}

bool ProfileStore::normalizeProfiles()
{
    ProfileSnapshot profiles = contents();
    const Repairs repairs = repairProfiles(profiles);
    publish(profiles, repairs);
    return repairs.pacs || repairs.activePacs || repairs.users || repairs.removals;
}

ProfileStore::Repairs ProfileStore::repairProfiles(ProfileSnapshot& profiles)
{
    Repairs repairs;
    QList<PacsProfile>& pacs = profiles.pacs;

    // Built-in profiles merged into the first stored profile of their name, or added
    // back under the ids every machine derives for them, unless the user renamed or
    // deleted them. Profiles of other names are the user's own and stay.
    const BuiltInRemovals removed = profiles.removedBuiltIns;
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
            repairs.pacs = true;
            continue;
        }
        PacsProfile merged = mergedPacsProfile(*stored, builtIn, removed);
        if (merged.tools != stored->tools) {
            *stored = std::move(merged);
            repairs.pacs = true;
        }
    }

    for (PacsProfile& profile : pacs) {
        if (!profile.defaultLightingHex) {
            if (auto hex = ProfileTemplates::defaultLightingHex(profile.name)) {
                profile.defaultLightingHex = std::move(hex);
                repairs.pacs = true;
            }
        }
    }
    // Settled before the profiles are published, as an edit's are.
    if (BuiltInRemovals kept = removed.pruned(pacs); !(kept == removed)) {
        profiles.removedBuiltIns = std::move(kept);
        repairs.removals = true;
    }

    if (!pacs.isEmpty() && !containsId(pacs, profiles.activePacs)) {
        profiles.activePacs = pacs.first().id;
        repairs.activePacs = true;
    }

    QList<UserProfile>& users = profiles.users;
    const bool created = users.isEmpty();
    for (UserProfile& user : users) {
        if (!pacs.isEmpty() && !containsId(pacs, user.pacsProfileId)) {
            user.pacsProfileId = pacs.first().id;
            repairs.users = true;
        }
    }
    if (users.isEmpty()) {
        users = ProfileTemplates::defaultUserProfiles(pacs);
        repairs.users = true;
    }
    if (users.size() == 1 && text::lowercased(users.first().name) == QStringLiteral("synthesis")) {
        users.first().name = ProfileTemplates::defaultUserProfileName();
        repairs.users = true;
    }
    for (UserProfile& user : users) {
        if (text::lowercased(user.name) == QStringLiteral("default")) {
            user.name = ProfileTemplates::defaultUserProfileName();
            repairs.users = true;
        }
    }
    if (repairs.users && created && !users.isEmpty()) {
        profiles.activeUser = users.first().id;
        repairs.activeUser = true;
    }
    return repairs;
}

void ProfileStore::repairActiveSelection()
{
    ProfileSnapshot profiles = contents();
    publish(profiles, repairActive(profiles));
}

ProfileStore::Repairs ProfileStore::repairActive(ProfileSnapshot& profiles)
{
    Repairs repairs;
    const QList<PacsProfile>& pacs = profiles.pacs;
    const QList<UserProfile>& users = profiles.users;
    if (!pacs.isEmpty() && !containsId(pacs, profiles.activePacs)) {
        profiles.activePacs = pacs.first().id;
        repairs.activePacs = true;
    }
    if (!users.isEmpty() && !containsId(users, profiles.activeUser)) {
        profiles.activeUser = users.first().id;
        repairs.activeUser = true;
    }
    const auto active = std::find_if(users.begin(), users.end(),
                                     [&](const UserProfile& u) { return u.id == profiles.activeUser; });
    if (active != users.end()) {
        // Told again even when it stays: its subscribers have always heard it here.
        profiles.activePacs = active->pacsProfileId;
        repairs.activePacs = true;
    }
    return repairs;
}

void ProfileStore::normalizeAllMappings(bool suppressOnSave)
{
    if (userProfiles_.get().isEmpty()) {
        userProfiles_.set({});
        return;
    }
    ProfileSnapshot profiles = contents();
    // Nothing to repair: the subscribers have seen these profiles already.
    if (!repairMappings(profiles))
        return;
    userProfiles_.set(std::move(profiles.users));
    save(suppressOnSave);
}

bool ProfileStore::repairMappings(ProfileSnapshot& profiles)
{
    bool changed = false;
    // Read through const access, so that the list is copied only when a profile changes.
    QList<UserProfile>& users = profiles.users;
    for (qsizetype i = 0; i < users.size(); ++i) {
        auto [normalized, userChanged] = normalizedMappings(profiles.pacs, std::as_const(users).at(i));
        if (userChanged) {
            users[i] = std::move(normalized);
            changed = true;
        }
    }
    return changed;
}

std::pair<UserProfile, bool> ProfileStore::normalizedMappings(const QList<PacsProfile>& pacs,
                                                              const UserProfile& profile)
{
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
