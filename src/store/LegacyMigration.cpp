#include "store/LegacyMigration.h"

#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/LegacyToolNames.h"

#include <QSet>

#include <algorithm>

namespace velmor {

LegacyProfile upgradedLegacyProfile(const LegacyProfile& profile)
{
    LegacyProfile upgraded = profile;
    renameLegacyTools(upgraded.tools);
    removeDuplicateTools(upgraded.tools);

    QSet<QString> names;
    for (const RadiologyTool& tool : std::as_const(upgraded.tools))
        names.insert(text::lowercased(tool.name));
    for (const RadiologyTool& tool : RadiologyTool::defaultTools()) {
        if (!names.contains(text::lowercased(tool.name)))
            upgraded.tools.append(tool);
    }
    return upgraded;
}

PersistedProfiles migrateLegacy(const LegacyPersistedProfiles& legacy)
{
    QList<LegacyProfile> upgraded;
    for (const LegacyProfile& profile : legacy.profiles)
        upgraded.append(upgradedLegacyProfile(profile));

    LegacyProfile selected;
    if (upgraded.isEmpty()) {
        selected = LegacyProfile{QUuid::createUuid(), QStringLiteral("Synthesis"), RadiologyTool::defaultTools(), {},
                                 std::nullopt};
    } else {
        const auto active = std::find_if(upgraded.cbegin(), upgraded.cend(), [&](const LegacyProfile& p) {
            return legacy.activeProfileId && p.id == *legacy.activeProfileId;
        });
        selected = active != upgraded.cend() ? *active : upgraded.first();
    }

    const QString pacsName = QStringLiteral("Synthesis");
    const PacsProfile pacs{QUuid::createUuid(), pacsName, selected.tools,
                           ProfileTemplates::defaultLightingHex(pacsName)};
    UserProfile user;
    user.id = QUuid::createUuid();
    user.name = QStringLiteral("default");
    user.pacsProfileId = pacs.id;
    user.mappings = selected.mappings;
    user.selectedDeviceId = selected.selectedDeviceId;

    PersistedProfiles result;
    result.version = PersistedProfiles::currentVersion;
    result.activePacsProfileId = pacs.id;
    result.activeUserProfileId = user.id;
    result.pacsProfiles = {pacs};
    result.userProfiles = {user};
    return result;
}

} // namespace velmor
