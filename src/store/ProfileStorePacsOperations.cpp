#include "model/ProfileTemplates.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "store/ToolIdMap.h"

#include <type_traits>

namespace velmor {

PacsProfile ProfileStore::activePacsProfile() const
{
    if (const PacsProfile* stored = storedActivePacsProfile())
        return *stored;
    return ProfileTemplates::builtInPacsProfiles().first();
}

const PacsProfile* ProfileStore::storedActivePacsProfile() const
{
    const QList<PacsProfile>& profiles = pacsProfiles_.get();
    if (const PacsProfile* active = findById(profiles, activePacsProfileId_.get()))
        return active;
    return profiles.isEmpty() ? nullptr : &profiles.first();
}

void ProfileStore::upsertTool(const RadiologyTool& tool, const QUuid& pacsProfileId)
{
    const qsizetype p = indexOfId(pacsProfiles_.get(), pacsProfileId);
    if (p < 0)
        return;
    editPacsProfiles([&](QList<PacsProfile>& profiles) {
        QList<RadiologyTool>& tools = profiles[p].tools;
        if (const qsizetype t = indexOfId(tools, tool.id); t >= 0)
            tools[t] = tool;
        else
            tools.append(tool);
    });
    save();
}

void ProfileStore::updateTool(const RadiologyTool& tool, const QUuid& pacsProfileId)
{
    editTool(tool.id, pacsProfileId, [&](RadiologyTool& stored) { stored = tool; });
}

void ProfileStore::setShortcut(const std::optional<KeyboardShortcut>& shortcut, const QUuid& toolId,
                               const QUuid& pacsProfileId)
{
    editTool(toolId, pacsProfileId, [&](RadiologyTool& stored) { stored.shortcut = shortcut; });
}

void ProfileStore::editTool(const QUuid& toolId, const QUuid& pacsProfileId,
                            const std::function<void(RadiologyTool&)>& change)
{
    const qsizetype p = indexOfId(pacsProfiles_.get(), pacsProfileId);
    if (p < 0)
        return;
    const qsizetype t = indexOfId(pacsProfiles_.get().at(p).tools, toolId);
    if (t < 0)
        return;
    editPacsProfiles([&](QList<PacsProfile>& profiles) { change(profiles[p].tools[t]); });
    save();
}

void ProfileStore::deleteTool(const QUuid& id, const QUuid& pacsProfileId)
{
    const qsizetype p = indexOfId(pacsProfiles_.get(), pacsProfileId);
    if (p < 0)
        return;
    editPacsProfiles(
        [&](QList<PacsProfile>& profiles) { profiles[p].tools.removeIf([&](const auto& t) { return t.id == id; }); });
    // Other PACS profiles may hold a tool of the same id (copies share them): their users keep their mappings.
    userProfiles_.mutate([&](QList<UserProfile>& users) {
        for (UserProfile& user : users) {
            if (user.pacsProfileId == pacsProfileId)
                user.mappings.removeIf([&](const ButtonMapping& m) { return m.toolId == id; });
        }
    });
    save();
}

void ProfileStore::renamePacsProfile(const QUuid& id, const QString& name) { renameProfile(id, name, pacsProfiles_); }

template <typename Profile>
void ProfileStore::renameProfile(const QUuid& id, const QString& name, Published<QList<Profile>>& profiles)
{
    const qsizetype index = indexOfId(profiles.get(), id);
    if (index < 0)
        return;
    const auto rename = [&](QList<Profile>& list) { list[index].name = name; };
    if constexpr (std::is_same_v<Profile, PacsProfile>)
        editPacsProfiles(rename);
    else
        profiles.mutate(rename);
    save();
}

template void ProfileStore::renameProfile(const QUuid&, const QString&, Published<QList<PacsProfile>>&);
template void ProfileStore::renameProfile(const QUuid&, const QString&, Published<QList<UserProfile>>&);

void ProfileStore::editPacsProfiles(const std::function<void(QList<PacsProfile>&)>& edit)
{
    QList<PacsProfile> after = pacsProfiles_.get();
    edit(after);
    // Noted before the change is published: an observer may save or upload at once.
    removedBuiltIns_ = removedBuiltIns_.noted(pacsProfiles_.get(), after);
    pacsProfiles_.set(std::move(after));
}

void ProfileStore::setDefaultLightingHex(const std::optional<QString>& hex, const QUuid& pacsProfileId)
{
    const qsizetype p = indexOfId(pacsProfiles_.get(), pacsProfileId);
    if (p < 0)
        return;
    editPacsProfiles([&](QList<PacsProfile>& profiles) { profiles[p].defaultLightingHex = hex; });
    save();
}

void ProfileStore::selectPacsProfile(const QUuid& id)
{
    if (indexOfId(pacsProfiles_.get(), id) < 0)
        return;
    activePacsProfileId_.set(id);
    save();
}

void ProfileStore::createPacsProfile(const QString& name)
{
    const QList<PacsProfile>& profiles = pacsProfiles_.get();
    const PacsProfile profile{QUuid::createUuid(), name,
                              profiles.isEmpty() ? RadiologyTool::defaultTools() : profiles.first().tools,
                              ProfileTemplates::defaultLightingHex(name)};
    editPacsProfiles([&](QList<PacsProfile>& list) { list.append(profile); });
    activePacsProfileId_.set(profile.id);
    save();
}

void ProfileStore::duplicatePacsProfile(const PacsProfile& profile)
{
    const PacsProfile* stored = findById(pacsProfiles_.get(), profile.id);
    if (!stored)
        return;
    PacsProfile copy = *stored;
    copy.id = QUuid::createUuid();
    copy.name = profile.name + QStringLiteral(" Copy");
    editPacsProfiles([&](QList<PacsProfile>& list) { list.append(copy); });
    activePacsProfileId_.set(copy.id);
    save();
}

void ProfileStore::deletePacsProfile(const PacsProfile& profile)
{
    if (pacsProfiles_.get().size() < 2)
        return;
    // The mappings point at the stored tools; the value passed in may be an older copy.
    const PacsProfile* stored = findById(pacsProfiles_.get(), profile.id);
    const QList<RadiologyTool> deletedTools = stored ? stored->tools : profile.tools;

    editPacsProfiles(
        [&](QList<PacsProfile>& list) { list.removeIf([&](const auto& p) { return p.id == profile.id; }); });
    const QList<PacsProfile>& remaining = pacsProfiles_.get();
    if (activePacsProfileId_.get() == profile.id && !remaining.isEmpty())
        activePacsProfileId_.set(remaining.first().id);
    if (remaining.isEmpty()) {
        save();
        return;
    }

    const PacsProfile fallback = remaining.first();
    userProfiles_.mutate([&](QList<UserProfile>& users) {
        for (UserProfile& user : users) {
            if (user.pacsProfileId != profile.id)
                continue;
            user.pacsProfileId = fallback.id;
            user.mappings = toolIdMap(user.mappings, deletedTools, fallback.tools);
        }
    });
    save();
}

} // namespace velmor
