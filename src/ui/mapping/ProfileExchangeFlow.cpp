#include "ui/mapping/ProfileExchangeFlow.h"

#include "core/AppModel.h"
#include "model/FileNames.h"
#include "store/ProfileStore.h"

#include <algorithm>
#include <exception>

namespace velmor {

namespace {
const QString tryAgainButton = QStringLiteral("Try Again");
const QString importFailed = QStringLiteral("Import Failed");
const QString exportFailed = QStringLiteral("Export Failed");

QString describe(const std::exception& error) { return QString::fromUtf8(error.what()); }
} // namespace

ProfileExchangeFlow::ProfileExchangeFlow(AppModel& model, Prompter& prompter, std::function<void()> changed)
    : model_(model), prompter_(prompter), changed_(std::move(changed))
{
}

void ProfileExchangeFlow::importUserProfile()
{
    const std::optional<QString> path = prompter_.openFile({});
    if (!path)
        return;
    try {
        model_.profileStore().importUserProfile(*path);
    } catch (const std::exception& error) {
        fail({QUuid::createUuid(), importFailed, QStringLiteral("Invalid user profile format."), describe(error),
              [this] { importUserProfile(); }});
    }
}

void ProfileExchangeFlow::importPacsProfile()
{
    const std::optional<QString> path = prompter_.openFile({});
    if (!path)
        return;
    try {
        model_.profileStore().importPacsProfile(*path);
    } catch (const std::exception& error) {
        fail({QUuid::createUuid(), importFailed, QStringLiteral("Invalid PACS profile format."), describe(error),
              [this] { importPacsProfile(); }});
    }
}

void ProfileExchangeFlow::exportUserProfile() { exportUser(model_.profileStore().activeUserProfile().id); }

void ProfileExchangeFlow::exportPacsProfile() { exportPacs(model_.activePacsProfile()); }

void ProfileExchangeFlow::exportUser(const QUuid& userProfileId)
{
    const auto stored = [&]() -> std::optional<UserProfile> {
        const QList<UserProfile>& users = model_.profileStore().userProfiles().get();
        const auto it = std::find_if(users.cbegin(), users.cend(), [&](const UserProfile& u) { return u.id == userProfileId; });
        return it == users.cend() ? std::nullopt : std::optional(*it);
    };
    const auto failure = [this, userProfileId](const QString& details) {
        fail({QUuid::createUuid(), exportFailed, QStringLiteral("Could not export user profile."), details,
              [this, userProfileId] { exportUser(userProfileId); }});
    };

    // The profile made up when the store holds none is not stored, so it has no id to find later.
    const std::optional<UserProfile> chosen = stored();
    const QString name = chosen ? chosen->name : model_.profileStore().activeUserProfile().name;
    const std::optional<QString> path = prompter_.saveFile({{}, QStringLiteral("json"), exportFileName(name)});
    if (!path)
        return;
    // Read again: the profile may have changed or gone while the dialog was open.
    const std::optional<UserProfile> profile = stored();
    if (!profile) {
        failure(QStringLiteral("The user profile no longer exists."));
        return;
    }
    try {
        if (!model_.profileStore().exportUserProfile(*profile, *path))
            failure(QStringLiteral("Could not find associated PACS profile."));
    } catch (const std::exception& error) {
        failure(describe(error));
    }
}

void ProfileExchangeFlow::exportPacs(const PacsProfile& chosen)
{
    const auto current = [&] {
        const QList<PacsProfile>& profiles = model_.profileStore().pacsProfiles().get();
        const auto it = std::find_if(profiles.cbegin(), profiles.cend(), [&](const PacsProfile& p) { return p.id == chosen.id; });
        // A built-in profile made up because none is stored is exported as it was.
        return it == profiles.cend() ? chosen : *it;
    };
    const std::optional<QString> path = prompter_.saveFile({{}, QStringLiteral("json"), exportFileName(current().name)});
    if (!path)
        return;
    try {
        model_.profileStore().exportPacsProfile(current(), *path);
    } catch (const std::exception& error) {
        fail({QUuid::createUuid(), exportFailed, QStringLiteral("Could not export PACS profile."), describe(error),
              [this, chosen = current()] { exportPacs(chosen); }});
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
    QString name;
    name.reserve(profileName.size());
    for (const QChar c : profileName) {
        const bool separatorOrControl = c == u'/' || c == u'\\' || c.category() == QChar::Other_Control;
        name.append(separatorOrControl ? QChar(u'-') : c);
    }
    // A leading dot would hide the file; "." and ".." are no file names at all.
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    const QString file = name + QStringLiteral(".json");
    return isPlainFileName(file) && !name.trimmed().isEmpty() ? file : QStringLiteral("Profile.json");
}

Prompter::Question ProfileExchangeFlow::errorQuestion(const ActionError& error)
{
    return {error.title,
            error.message + QStringLiteral("\n\nDetails: ") + error.details,
            {{tryAgainButton, Prompter::Role::normal}, {QStringLiteral("Dismiss"), Prompter::Role::cancel}},
            std::nullopt,
            {}};
}

} // namespace velmor
