#pragma once

#include "model/PacsProfile.h"
#include "ui/mapping/MappingTypes.h"
#include "ui/shared/Prompter.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace velmor {

class AppModel;

// Import and export of user and PACS profiles from the mapping window: a file
// dialog, the store's exchange operation, and on failure the "Import Failed" /
// "Export Failed" question whose "Try Again" starts the same action over from
// its dialog. A cancelled dialog does nothing. Main thread only.
class ProfileExchangeFlow {
public:
    // `changed` is called whenever errorAlert() changes.
    ProfileExchangeFlow(AppModel& model, Prompter& prompter, std::function<void()> changed);

    // Set while the failure question is open.
    const std::optional<ActionError>& errorAlert() const { return errorAlert_; }

    void importUserProfile();
    // Exports the user profile active when the dialog opens, whatever is active
    // when it closes.
    void exportUserProfile();
    void importPacsProfile();
    // Exports the PACS profile of the active user profile as the dialog opens.
    void exportPacsProfile();

    // The file name offered for a profile: its name made a plain file name
    // (no folders, no hidden file) plus ".json".
    static QString exportFileName(const QString& profileName);
    // Title, the message with "\n\nDetails: " and the details, "Try Again" and "Dismiss".
    static Prompter::Question errorQuestion(const ActionError& error);

private:
    void exportUser(const QUuid& userProfileId);
    void exportPacs(const PacsProfile& chosen);
    // Shows the failure; runs its retry on "Try Again".
    void fail(ActionError error);

    AppModel& model_;
    Prompter& prompter_;
    std::function<void()> changed_;
    std::optional<ActionError> errorAlert_;
};

} // namespace velmor
