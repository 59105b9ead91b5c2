#include "app/ProfileFileFlows.h"

#include "model/FileNames.h"
#include "store/ProfileStore.h"
#include "ui/shared/Prompter.h"

#include <algorithm>
#include <exception>

namespace velmor {

namespace {

const QString tryAgain = QStringLiteral("Try Again");

// The description of what the store threw.
template <typename Operation>
std::optional<QString> failureOf(Operation&& operation)
{
    try {
        operation();
        return std::nullopt;
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
}

} // namespace

ProfileFileFlows::ProfileFileFlows(ProfileStore& store, Prompter& prompter) : store_(store), prompter_(prompter) {}

void ProfileFileFlows::importUserProfile()
{
    untilDismissed(QStringLiteral("Import Failed"), QStringLiteral("Invalid user profile."),
                   [this] { return importing([this](const QString& path) { store_.importUserProfile(path); }); });
}

void ProfileFileFlows::importPacsProfile()
{
    untilDismissed(QStringLiteral("Import Failed"), QStringLiteral("Invalid PACS profile."),
                   [this] { return importing([this](const QString& path) { store_.importPacsProfile(path); }); });
}

void ProfileFileFlows::exportActiveUserProfile()
{
    untilDismissed(QStringLiteral("Export Failed"), QStringLiteral("Could not export user profile."), [this] {
        // Only a stored profile: the store's stand-in for a missing one is not exported.
        const QList<UserProfile>& users = store_.userProfiles().get();
        const QUuid activeId = store_.activeUserProfileId().get();
        const auto found =
            std::find_if(users.begin(), users.end(), [&](const UserProfile& u) { return u.id == activeId; });
        if (found == users.end())
            return std::optional<QString>();
        const UserProfile profile = *found;
        // A missing PACS profile is not thrown: the store reports it itself.
        return exporting(profile.name,
                         [this, profile](const QString& path) { (void)store_.exportUserProfile(profile, path); });
    });
}

void ProfileFileFlows::exportActivePacsProfile()
{
    untilDismissed(QStringLiteral("Export Failed"), QStringLiteral("Could not export PACS profile."), [this] {
        // The user profile's own binding, not the store's separate active PACS id.
        const QUuid pacsId = store_.activeUserProfile().pacsProfileId;
        const QList<PacsProfile>& profiles = store_.pacsProfiles().get();
        const auto found =
            std::find_if(profiles.begin(), profiles.end(), [&](const PacsProfile& p) { return p.id == pacsId; });
        if (found == profiles.end())
            return std::optional<QString>();
        const PacsProfile profile = *found;
        return exporting(profile.name,
                         [this, profile](const QString& path) { store_.exportPacsProfile(profile, path); });
    });
}

void ProfileFileFlows::untilDismissed(const QString& title, const QString& failureText, const Attempt& attempt)
{
    for (;;) {
        const std::optional<QString> error = attempt();
        if (!error)
            return;
        const Prompter::Question question{
            title,
            failureText + QStringLiteral("\n\nDetails: ") + *error,
            {{tryAgain, Prompter::Role::normal}, {QStringLiteral("Dismiss"), Prompter::Role::cancel}},
            std::nullopt,
            {}};
        if (prompter_.ask(question).button != tryAgain)
            return;
    }
}

std::optional<QString> ProfileFileFlows::importing(const std::function<void(const QString& path)>& operation)
{
    const std::optional<QString> path = prompter_.openFile({});
    if (!path)
        return std::nullopt;
    return failureOf([&] { operation(*path); });
}

std::optional<QString> ProfileFileFlows::exporting(const QString& profileName,
                                                   const std::function<void(const QString& path)>& operation)
{
    const std::optional<QString> path = prompter_.saveFile({{}, QStringLiteral("json"), proposedFileName(profileName)});
    if (!path)
        return std::nullopt;
    return failureOf([&] { operation(*path); });
}

QString ProfileFileFlows::proposedFileName(const QString& profileName)
{
    QString name;
    name.reserve(profileName.size());
    for (const QChar c : profileName)
        name.append(c == u'/' || c == u'\\' || c.category() == QChar::Other_Control ? QChar(u'-') : c);
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    const QString file = name + QStringLiteral(".json");
    return !name.trimmed().isEmpty() && isPlainFileName(file) ? file : QStringLiteral("Profile.json");
}

} // namespace velmor
