#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/ProfileExchange.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "store/ToolIdMap.h"

#include <algorithm>
#include <exception>

namespace velmor {

template <typename Work>
auto ProfileStore::reportingFailure(const QString& title, const QString& prefix, Work work) -> decltype(work())
{
    try {
        return work();
    } catch (const std::exception& error) {
        notify(title, prefix + QString::fromUtf8(error.what()));
        throw;
    }
}

bool ProfileStore::exportUserProfile(const UserProfile& profile, const QString& path)
{
    const PacsProfile* pacs = findById(pacsProfiles_.get(), profile.pacsProfileId);
    if (!pacs) {
        notify(QStringLiteral("Export Failed"), QStringLiteral("Could not find associated PACS profile."));
        return false;
    }
    reportingFailure(QStringLiteral("Export Failed"), QStringLiteral("Failed to export user profile: "), [&] {
        ProfileExchange::writeFile(path, ProfileExchange::encodeUserProfile({profile, pacs->name, pacs->tools}));
    });
    notify(QStringLiteral("Export Successful"),
           QStringLiteral("User profile '") + profile.name + QStringLiteral("' has been exported."));
    return true;
}

void ProfileStore::exportPacsProfile(const PacsProfile& profile, const QString& path)
{
    reportingFailure(QStringLiteral("Export Failed"), QStringLiteral("Failed to export PACS profile: "),
                     [&] { ProfileExchange::writeFile(path, ProfileExchange::encodePacsProfile(profile)); });
    notify(QStringLiteral("Export Successful"),
           QStringLiteral("PACS profile '") + profile.name + QStringLiteral("' has been exported."));
}

void ProfileStore::importUserProfile(const QString& path)
{
    const UserProfileExport file =
        reportingFailure(QStringLiteral("Import Failed"), QStringLiteral("Failed to import user profile: "),
                         [&] { return ProfileExchange::decodeUserProfile(ProfileExchange::readFile(path)); });
    UserProfile profile = resolveImportedPacsProfile(file.profile, file.pacsProfileName, file.pacsTools);
    profile.id = QUuid::createUuid();
    userProfiles_.mutate([&](QList<UserProfile>& list) { list.append(profile); });
    activeUserProfileId_.set(profile.id);
    activePacsProfileId_.set(profile.pacsProfileId);
    save();
    notify(QStringLiteral("Import Successful"),
           QStringLiteral("User profile '") + profile.name + QStringLiteral("' has been imported."));
}

void ProfileStore::importPacsProfile(const QString& path)
{
    PacsProfile profile =
        reportingFailure(QStringLiteral("Import Failed"), QStringLiteral("Failed to import PACS profile: "),
                         [&] { return ProfileExchange::decodePacsProfile(ProfileExchange::readFile(path)); });
    profile.id = QUuid::createUuid();
    editPacsProfiles([&](QList<PacsProfile>& list) { list.append(profile); });
    activePacsProfileId_.set(profile.id);
    save();
    notify(QStringLiteral("Import Successful"),
           QStringLiteral("PACS profile '") + profile.name + QStringLiteral("' has been imported."));
}

UserProfile ProfileStore::resolveImportedPacsProfile(UserProfile profile, const std::optional<QString>& pacsProfileName,
                                                     const std::optional<QList<RadiologyTool>>& pacsTools)
{
    if (findById(pacsProfiles_.get(), profile.pacsProfileId))
        return profile;

    if (pacsProfileName) {
        const QString wanted = text::lowercased(*pacsProfileName);
        const QList<PacsProfile>& profiles = pacsProfiles_.get();
        const auto namesake = std::find_if(profiles.cbegin(), profiles.cend(),
                                           [&](const PacsProfile& p) { return text::lowercased(p.name) == wanted; });
        if (namesake != profiles.cend()) {
            profile.pacsProfileId = namesake->id;
            if (pacsTools)
                profile.mappings = toolIdMap(profile.mappings, *pacsTools, namesake->tools);
            return profile;
        }
    }

    if (pacsProfiles_.get().isEmpty())
        pacsProfiles_.set(ProfileTemplates::builtInPacsProfiles());
    const PacsProfile fallback = pacsProfiles_.get().first();
    profile.pacsProfileId = fallback.id;
    // Without the exported tools the old tool ids mean nothing here.
    profile.mappings = pacsTools ? toolIdMap(profile.mappings, *pacsTools, fallback.tools) : QList<ButtonMapping>();
    return profile;
}

} // namespace velmor
