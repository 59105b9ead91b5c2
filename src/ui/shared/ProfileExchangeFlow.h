#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "ui/shared/ActionError.h"
#include "ui/shared/Prompter.h"

#include <QString>

#include <functional>
#include <optional>

namespace velmor {

class AppModel;
class ProfileStore;

// Import and export of user and PACS profiles, for the tray menu and the mapping
// window alike: a file dialog, the store's exchange operation, and for a thrown
// error the modal "Import Failed" / "Export Failed" question, whose "Try Again"
// runs the whole action again from its dialog (an export chooses its profile
// anew). A cancelled dialog ends the action quietly; the store reports its own
// outcomes, a user profile without its PACS profile included. Main thread.
class ProfileExchangeFlow {
public:
    // What the windows offering the flow word and choose differently.
    struct Choices {
        QString invalidUserProfile; // the message of a failed user import
        QString invalidPacsProfile;
        // The profile an export offers; none: the export does nothing.
        std::function<std::optional<UserProfile>()> userProfile;
        std::function<std::optional<PacsProfile>()> pacsProfile;
    };
    // "Invalid user profile."; only the stored profile whose id is the active
    // one; the stored PACS profile the active user profile is bound to.
    static Choices menuBar(const ProfileStore& store);
    // "Invalid user profile format."; the store's active user profile; the
    // window's active PACS profile, a built-in stand-in exported as it is.
    static Choices mappingWindow(AppModel& model);

    // `changed` runs whenever errorAlert() changes.
    ProfileExchangeFlow(ProfileStore& store, Prompter& prompter, Choices choices, std::function<void()> changed = {});

    // Set while the failure question is open.
    const std::optional<ActionError>& errorAlert() const { return errorAlert_; }

    void importUserProfile();
    // The profile chosen as the dialog opens is written, whatever is active when
    // it closes; one that has gone meanwhile fails.
    void exportUserProfile();
    void importPacsProfile();
    void exportPacsProfile();

    // The file name offered for a profile: its name made a plain file name, cut
    // between characters so that it fits the file system with ".json" and the
    // export's temporary name, plus ".json"; "Profile.json" when nothing is left.
    static QString exportFileName(const QString& profileName);
    // Title, the message with "\n\nDetails: " and the details, "Try Again" and "Dismiss" (Return's).
    static Prompter::Question errorQuestion(const ActionError& error);

private:
    void importing(const QString& message, const std::function<void(const QString& path)>& operation,
                   const std::function<void()>& retry);
    // Shows the failure; runs its retry on "Try Again".
    void fail(ActionError error);

    ProfileStore& store_;
    Prompter& prompter_;
    Choices choices_;
    std::function<void()> changed_;
    std::optional<ActionError> errorAlert_;
};

} // namespace velmor
