#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velmor {

class Prompter;
class ProfileStore;

// The tray menu's import and export of profile files: a file dialog, the store's
// exchange operation, and for a thrown error the modal "Import Failed" / "Export
// Failed" question, whose "Try Again" runs the whole flow again from its dialog
// (an export looks the active profile up anew). A cancelled dialog ends the flow
// quietly; the store reports its own outcomes. Main thread.
class ProfileFileFlows {
public:
    ProfileFileFlows(ProfileStore& store, Prompter& prompter);

    void importUserProfile();
    // The stored profile whose id is the active one; none stored: nothing happens.
    void exportActiveUserProfile();
    void importPacsProfile();
    // The PACS profile the active user profile is bound to; none: nothing happens.
    void exportActivePacsProfile();

    // The file name offered for a profile: its name plus ".json", made a plain
    // file name (separators and control characters become "-", no leading dot).
    static QString proposedFileName(const QString& profileName);

private:
    // One pass of a flow: the error's description when the store threw.
    using Attempt = std::function<std::optional<QString>()>;
    // Runs `attempt` until it does not fail or the user dismisses the failure.
    void untilDismissed(const QString& title, const QString& failureText, const Attempt& attempt);
    std::optional<QString> importing(const std::function<void(const QString& path)>& operation);
    std::optional<QString> exporting(const QString& profileName,
                                     const std::function<void(const QString& path)>& operation);

    ProfileStore& store_;
    Prompter& prompter_;
};

} // namespace velmor
