#include "ui/shared/ProfileExchangeFlow.h"

#include "core/AppModel.h"
#include "model/FileNames.h"
#include "store/FileSystem.h"
#include "store/ProfileStore.h"

#include <QDir>

#include <algorithm>
#include <exception>

namespace velmor {

namespace {

const QString tryAgainButton = QStringLiteral("Try Again");
const QString dismissButton = QStringLiteral("Dismiss");
const QString importFailed = QStringLiteral("Import Failed");
const QString exportFailed = QStringLiteral("Export Failed");

QString describe(const std::exception& error) { return QString::fromUtf8(error.what()); }

template <typename Profile>
std::optional<Profile> storedWithId(const QList<Profile>& profiles, const QUuid& id)
{
    const auto found = std::find_if(profiles.cbegin(), profiles.cend(), [&](const Profile& p) { return p.id == id; });
    return found == profiles.cend() ? std::nullopt : std::optional(*found);
}

} // namespace

ProfileExchangeFlow::Choices ProfileExchangeFlow::menuBar(const ProfileStore& store)
{
    return {QStringLiteral("Invalid user profile."), QStringLiteral("Invalid PACS profile."),
            // The store's stand-in for a missing active profile is not exported.
            [&store] { return storedWithId(store.userProfiles().get(), store.activeUserProfileId().get()); },
            // The user profile's own binding, not the store's separate active PACS id.
            [&store] { return storedWithId(store.pacsProfiles().get(), store.activeUserProfile().pacsProfileId); }};
}

ProfileExchangeFlow::Choices ProfileExchangeFlow::mappingWindow(AppModel& model)
{
    return {QStringLiteral("Invalid user profile format."), QStringLiteral("Invalid PACS profile format."),
            [&model] { return std::optional(model.profileStore().activeUserProfile()); },
            [&model] { return std::optional(model.activePacsProfile()); }};
}

ProfileExchangeFlow::ProfileExchangeFlow(ProfileStore& store, Prompter& prompter, Choices choices,
                                         std::function<void()> changed)
    : store_(store), prompter_(prompter), choices_(std::move(choices)), changed_(std::move(changed))
{
    if (!changed_)
        changed_ = [] {};
}

void ProfileExchangeFlow::importUserProfile()
{
    importing(choices_.invalidUserProfile, [this](const QString& path) { store_.importUserProfile(path); },
              [this] { importUserProfile(); });
}

void ProfileExchangeFlow::importPacsProfile()
{
    importing(choices_.invalidPacsProfile, [this](const QString& path) { store_.importPacsProfile(path); },
              [this] { importPacsProfile(); });
}

void ProfileExchangeFlow::importing(const QString& message, const std::function<void(const QString& path)>& operation,
                                    const std::function<void()>& retry)
{
    const std::optional<QString> path = prompter_.openFile({});
    if (!path)
        return;
    try {
        operation(*path);
    } catch (const FileError& error) {
        // Not a profile that is invalid: a file that could not be read (too large, a pipe,
        // a device) is told by its cause, as the banner tells it, with the path it was at.
        fail({QUuid::createUuid(), importFailed, describe(error), QDir::toNativeSeparators(*path), retry});
    } catch (const std::exception& error) {
        fail({QUuid::createUuid(), importFailed, message, describe(error), retry});
    }
}

void ProfileExchangeFlow::exportUserProfile()
{
    const std::optional<UserProfile> chosen = choices_.userProfile();
    if (!chosen)
        return;
    const auto failure = [this](const QString& details) {
        fail({QUuid::createUuid(), exportFailed, QStringLiteral("Could not export user profile."), details,
              [this] { exportUserProfile(); }});
    };
    const std::optional<QString> path = prompter_.saveFile({{}, QStringLiteral("json"), exportFileName(chosen->name)});
    if (!path)
        return;
    // Read again: the profile may have changed or gone while the dialog was open.
    const std::optional<UserProfile> profile = storedWithId(store_.userProfiles().get(), chosen->id);
    if (!profile) {
        failure(QStringLiteral("The user profile no longer exists."));
        return;
    }
    try {
        // Without its PACS profile nothing is written, and the store says so itself.
        (void)store_.exportUserProfile(*profile, *path);
    } catch (const std::exception& error) {
        failure(describe(error));
    }
}

void ProfileExchangeFlow::exportPacsProfile()
{
    const std::optional<PacsProfile> chosen = choices_.pacsProfile();
    if (!chosen)
        return;
    const std::optional<QString> path = prompter_.saveFile({{}, QStringLiteral("json"), exportFileName(chosen->name)});
    if (!path)
        return;
    // The stored profile as it is now; a stand-in that was never stored as it was.
    const PacsProfile profile = storedWithId(store_.pacsProfiles().get(), chosen->id).value_or(*chosen);
    try {
        store_.exportPacsProfile(profile, *path);
    } catch (const std::exception& error) {
        fail({QUuid::createUuid(), exportFailed, QStringLiteral("Could not export PACS profile."), describe(error),
              [this] { exportPacsProfile(); }});
    }
}

void ProfileExchangeFlow::fail(ActionError error)
{
    errorAlert_ = std::move(error);
    changed_();
    const bool tryAgain = prompter_.ask(errorQuestion(*errorAlert_)).button == tryAgainButton;
    const std::function<void()> retry = std::exchange(errorAlert_, std::nullopt)->retry;
    changed_();
    if (tryAgain && retry)
        retry();
}

QString ProfileExchangeFlow::exportFileName(const QString& profileName)
{
    const QString suffix = QStringLiteral(".json");
    // Room for the suffix and for the temporary file the export writes beside it.
    const qsizetype room = maxFileNameBytes - LocalFileSystem::maxTemporarySuffixBytes - suffix.size();
    const QString name = leftUtf8Bytes(plainFileNameFrom(profileName), room);
    return name.trimmed().isEmpty() ? QStringLiteral("Profile.json") : name + suffix;
}

Prompter::Question ProfileExchangeFlow::errorQuestion(const ActionError& error)
{
    return {error.title,
            error.message + QStringLiteral("\n\nDetails: ") + error.details,
            {{tryAgainButton, Prompter::Role::normal}, {dismissButton, Prompter::Role::cancel}},
            std::nullopt,
            {},
            {},
            // Return closes the question rather than run the failed action again.
            dismissButton};
}

} // namespace velmor
