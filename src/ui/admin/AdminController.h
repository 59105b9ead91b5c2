#pragma once

#include "core/AppModel.h"
#include "model/Device.h"
#include "model/KeyboardShortcut.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"
#include "platform/MainQueue.h"
#include "platform/Published.h"
#include "ui/admin/ToggleEditorController.h"
#include "ui/shared/DerivedState.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velmor {

class ProfileStore;
class Prompter;

// The tool administration window: the tools of the active PACS profile (search,
// selection, new, duplicate, delete, every field of the selected tool) and the
// PACS profiles themselves. Every change goes through a ProfileStore operation
// that reads the stored tool or profile by id at the moment of the edit, so no
// write puts back a value that changed since the window last showed it.
class AdminController {
public:
    using AlertMessage = AppModel::AlertMessage;

    // An alert stays this long unless closed.
    static constexpr MainQueue::Duration alertDuration{5000};

    struct State {
        QList<PacsProfile> pacsProfiles;
        PacsProfile activePacs; // the profile whose tools the window edits
        bool canDeletePacs = false;
        bool isRazerDevice = false;
        std::optional<QString> lightingHex;
        std::optional<QString> fallbackLightingHex;

        QString searchText;
        QList<RadiologyTool> filteredTools;
        std::optional<QUuid> selectedToolId;
        std::optional<RadiologyTool> selectedTool; // from the whole list, not the filtered one
        bool canEditTool = false; // a tool is selected: "Duplicate" and "Delete" work
        bool advancedExpanded = false;

        bool toggleEditorOpen = false;
        quint64 toggleEditorSerial = 0; // changes with each editor opened

        std::optional<AlertMessage> alert;
    };

    // What the window reads besides the store.
    struct Sources {
        ProfileStore& store;
        const Published<Device>& activeDevice;
        const Published<std::optional<AlertMessage>>& alertMessage;
        std::function<void(const QUuid&)> dismissAlert;
    };

    AdminController(AppModel& appModel, Prompter& prompter);
    AdminController(Sources sources, Prompter& prompter);
    ~AdminController();
    AdminController(const AdminController&) = delete;
    AdminController& operator=(const AdminController&) = delete;

    const Published<State>& state() const { return state_.published(); }

    // Tool list
    void setSearchText(const QString& text);
    void selectTool(const QUuid& toolId);
    void createTool();
    void createToggle();
    void duplicateSelectedTool();
    // Asks "Delete tool?" and deletes the tool that was selected when asked.
    void requestDeleteTool();
    // A row's enabled switch.
    void setToolEnabled(const QUuid& toolId, bool enabled);

    // Inspector: each writes the selected tool at once.
    void setName(const QString& name);
    void setEnabled(bool enabled);
    void setCategory(ToolCategory category);
    void setRepeatOnHold(bool enabled);
    void setRepeatSpeed(double speed);
    void setShortcut(const std::optional<KeyboardShortcut>& shortcut);
    void applyIconSelection(const ToolIconSelection& selection);
    void setAdvancedExpanded(bool expanded);
    // The stored shortcut of the selected tool, read at the moment of the call.
    std::optional<KeyboardShortcut> selectedShortcut() const;
    // The icon picker's starting value for the selected tool.
    std::optional<ToolIconSelection> selectedIconSelection() const;

    // Toggle editor
    // Opens the selected toggle tool in the editor.
    void editToggle();
    // The open editor (shared with the view that shows it), or none.
    std::shared_ptr<ToggleEditorController> toggleEditor() const { return toggleEditor_; }
    void saveToggle(const RadiologyTool& tool, const QList<KeyboardShortcut>& steps);
    void cancelToggleEditor();

    // PACS profiles
    void createPacsProfile();
    void selectPacs(const QUuid& id);
    // Asks for the new name in the "Rename PACS" prompt; "Save" runs saveRenamedPacs().
    void beginRenamePacs();
    // Renames the profile the prompt was opened for to the trimmed name; a blank name changes nothing.
    void saveRenamedPacs();
    void duplicateActivePacs();
    // Asks "Delete PACS?", naming its tools and the user profiles bound to it;
    // deletes the profile on "Delete".
    void deleteActivePacs();
    void setLighting(const QColor& color);

    // The alert's close button.
    void dismissAlert();

private:
    State compute() const;
    // The profile the window shows, as stored now.
    std::optional<PacsProfile> shownPacs() const;
    QList<RadiologyTool> filteredTools(const PacsProfile& profile) const;
    void select(std::optional<QUuid> toolId);
    void refreshForActivePacs();
    void ensureValidSelection();
    // Reads the selected tool as stored in the shown profile, changes it and writes it back.
    void editSelected(const std::function<void(RadiologyTool&)>& change);
    void editTool(const QUuid& pacsId, const QUuid& toolId, const std::function<void(RadiologyTool&)>& change);
    void openToggleEditor(const RadiologyTool& tool, bool isNew);
    void scheduleToastDismiss(const std::optional<AlertMessage>& alert);
    // "Delete" in "Delete tool?": the tool that was selected when it was asked.
    void deleteSelectedTool(const QUuid& toolId, const QUuid& pacsId);
    void changed() { state_.invalidate(); }

    ProfileStore& store_;
    const Published<Device>& activeDevice_;
    const Published<std::optional<AlertMessage>>& alertMessage_;
    std::function<void(const QUuid&)> dismissAlert_;
    Prompter& prompter_;

    QString searchText_;
    std::optional<QUuid> selectedToolId_;
    bool advancedExpanded_ = false;
    QString renamePacsName_;
    QUuid renamePacsId_;
    std::shared_ptr<ToggleEditorController> toggleEditor_;
    QUuid toggleEditorPacsId_;
    bool isNewToggle_ = false;
    quint64 toggleEditorSerial_ = 0;
    std::optional<QUuid> timedAlertId_;
    Cancellable alertTimer_;
    // Callbacks handed to the toggle editor, which its view may keep a little longer.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    DerivedState<State> state_;
    // Declared last: ended first.
    std::vector<Subscription> subscriptions_;
};

} // namespace velmor
