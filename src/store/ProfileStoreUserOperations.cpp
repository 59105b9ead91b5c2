#include "model/Device.h"
#include "model/ProfileTemplates.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "store/ToolIdMap.h"

#include <QSet>

namespace velmor {

namespace {
bool isButton(const ButtonMapping& mapping, const QString& deviceId, const QString& buttonId)
{
    return mapping.deviceId == deviceId && mapping.buttonId == buttonId;
}
} // namespace

UserProfile ProfileStore::activeUserProfile() const
{
    if (const UserProfile* stored = storedActiveUserProfile())
        return *stored;
    if (const QList<UserProfile> defaults = ProfileTemplates::defaultUserProfiles(pacsProfiles_.get());
        !defaults.isEmpty())
        return defaults.first();
    return UserProfile{QUuid::createUuid(), QStringLiteral("Default"), activePacsProfileId_.get(), {}, std::nullopt,
                       std::nullopt};
}

const UserProfile* ProfileStore::storedActiveUserProfile() const
{
    const QList<UserProfile>& profiles = userProfiles_.get();
    if (const UserProfile* active = findById(profiles, activeUserProfileId_.get()))
        return active;
    return profiles.isEmpty() ? nullptr : &profiles.first();
}

void ProfileStore::createUserProfile(const QString& name, const std::optional<QUuid>& pacsProfileId)
{
    const QUuid pacsId = pacsProfileId.value_or(activePacsProfileId_.get());
    const PacsProfile* pacs = findById(pacsProfiles_.get(), pacsId);
    const UserProfile profile{
        QUuid::createUuid(),
        name,
        pacsId,
        ProfileTemplates::defaultMappings(pacs ? pacs->name : QString(), pacs ? pacs->tools : QList<RadiologyTool>(),
                                          std::nullopt),
        Device::tartarusTemplate().id,
        std::nullopt};
    userProfiles_.mutate([&](QList<UserProfile>& list) { list.append(profile); });
    activeUserProfileId_.set(profile.id);
    activePacsProfileId_.set(pacsId);
    save();
}

void ProfileStore::renameUserProfile(const QUuid& id, const QString& name) { renameProfile(id, name, userProfiles_); }

void ProfileStore::deleteUserProfile(const QUuid& id)
{
    if (userProfiles_.get().size() < 2 || indexOfId(userProfiles_.get(), id) < 0)
        return;
    userProfiles_.mutate([&](QList<UserProfile>& list) { list.removeIf([&](const auto& u) { return u.id == id; }); });
    const QList<UserProfile>& remaining = userProfiles_.get();
    if (activeUserProfileId_.get() == id && !remaining.isEmpty()) {
        const UserProfile first = remaining.first();
        activeUserProfileId_.set(first.id);
        activePacsProfileId_.set(first.pacsProfileId);
    }
    save();
}

void ProfileStore::selectUserProfile(const UserProfile& profile)
{
    // The binding is read from the stored profile: the value passed in may be an older copy.
    const UserProfile* stored = findById(userProfiles_.get(), profile.id);
    if (!stored)
        return;
    const QUuid pacsId = stored->pacsProfileId;
    activeUserProfileId_.set(profile.id);
    activePacsProfileId_.set(pacsId);
    save();
}

void ProfileStore::setPacsProfile(const QUuid& pacsProfileId, const QUuid& userProfileId)
{
    const qsizetype u = indexOfId(userProfiles_.get(), userProfileId);
    const PacsProfile* target = findById(pacsProfiles_.get(), pacsProfileId);
    if (u < 0 || !target)
        return;
    const PacsProfile* previous = findById(pacsProfiles_.get(), userProfiles_.get().at(u).pacsProfileId);
    userProfiles_.mutate([&](QList<UserProfile>& list) {
        UserProfile& user = list[u];
        if (previous)
            user.mappings = toolIdMap(user.mappings, previous->tools, target->tools);
        user.pacsProfileId = target->id;
    });
    activeUserProfileId_.set(userProfileId);
    activePacsProfileId_.set(pacsProfileId);
    save();
}

void ProfileStore::setSelectedDeviceId(const std::optional<QString>& deviceId, const QUuid& userProfileId)
{
    editUserProfile(userProfileId, [&](UserProfile& user) { user.selectedDeviceId = deviceId; });
}

void ProfileStore::setLightingHex(const std::optional<QString>& hex, const QUuid& userProfileId)
{
    editUserProfile(userProfileId, [&](UserProfile& user) { user.lightingHex = hex; });
}

void ProfileStore::setMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId,
                              const QUuid& userProfileId)
{
    editUserProfile(userProfileId, [&](UserProfile& user) {
        user.mappings.removeIf([&](const ButtonMapping& m) { return isButton(m, deviceId, buttonId); });
        user.mappings.append(ButtonMapping{QUuid::createUuid(), deviceId, buttonId, toolId});
    });
}

void ProfileStore::removeMapping(const QString& deviceId, const QString& buttonId, const QUuid& userProfileId)
{
    editUserProfile(userProfileId, [&](UserProfile& user) {
        user.mappings.removeIf([&](const ButtonMapping& m) { return isButton(m, deviceId, buttonId); });
    });
}

void ProfileStore::clearMappings(const std::optional<QString>& deviceId, const QUuid& userProfileId)
{
    editUserProfile(userProfileId, [&](UserProfile& user) {
        if (!deviceId)
            user.mappings.clear();
        else
            user.mappings.removeIf([&](const ButtonMapping& m) { return m.deviceId == *deviceId; });
    });
}

void ProfileStore::resetMappingsToDefaults(const QUuid& userProfileId, const PacsProfile& pacsProfile,
                                           const std::optional<QString>& deviceId)
{
    const qsizetype u = indexOfId(userProfiles_.get(), userProfileId);
    if (u < 0)
        return;
    // The defaults must point at the tools of the PACS profile this user profile is
    // bound to; the caller's profile (the one the window shows) serves only when
    // that one is gone.
    const PacsProfile* bound = findById(pacsProfiles_.get(), userProfiles_.get().at(u).pacsProfileId);
    const PacsProfile& source = bound ? *bound : pacsProfile;
    const QList<ButtonMapping> defaults = ProfileTemplates::defaultMappings(source.name, source.tools, deviceId);
    if (defaults.isEmpty())
        return;
    userProfiles_.mutate([&](QList<UserProfile>& list) {
        QList<ButtonMapping>& mappings = list[u].mappings;
        if (!deviceId)
            mappings.clear();
        else
            mappings.removeIf([&](const ButtonMapping& m) { return m.deviceId == *deviceId; });
        mappings.append(defaults);
    });
    save();
}

void ProfileStore::fillUnmappedButtons(const QString& deviceId, const QList<ButtonMapping>& defaults,
                                       const QUuid& userProfileId)
{
    const qsizetype u = indexOfId(userProfiles_.get(), userProfileId);
    if (u < 0)
        return;
    // Only buttons the user has not mapped get their default; the user's own
    // mappings stay, whatever tool they name. The look ends once every default's
    // button is found mapped: many mappings cost no more than they must.
    QSet<QString> unmapped;
    for (const ButtonMapping& fallback : defaults)
        unmapped.insert(fallback.buttonId);
    for (const ButtonMapping& mapping : userProfiles_.get().at(u).mappings)
        if (mapping.deviceId == deviceId && unmapped.remove(mapping.buttonId) && unmapped.isEmpty())
            break;
    QList<ButtonMapping> added;
    for (const ButtonMapping& fallback : defaults) {
        if (!unmapped.contains(fallback.buttonId))
            continue;
        // A later default of the same button wins, as it would over an earlier one.
        added.removeIf([&](const ButtonMapping& m) { return m.buttonId == fallback.buttonId; });
        added.append(ButtonMapping{QUuid::createUuid(), deviceId, fallback.buttonId, fallback.toolId});
    }
    if (added.isEmpty())
        return;
    userProfiles_.mutate([&](QList<UserProfile>& list) { list[u].mappings.append(added); });
    save();
}

void ProfileStore::editUserProfile(const QUuid& userProfileId, const std::function<void(UserProfile&)>& change)
{
    const qsizetype u = indexOfId(userProfiles_.get(), userProfileId);
    if (u < 0)
        return;
    userProfiles_.mutate([&](QList<UserProfile>& list) { change(list[u]); });
    save();
}

} // namespace velmor
