#pragma once

#include "core/AppModel.h"
#include "input/ConnectedDeviceInfo.h"
#include "model/ButtonMapping.h"
#include "model/Device.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "platform/MainQueue.h"
#include "platform/Published.h"
#include "ui/mapping/MappingEditor.h"
#include "ui/mapping/MappingDerivedData.h"
#include "ui/mapping/MappingTypes.h"
#include "ui/shared/ProfileExchangeFlow.h"
#include "ui/shared/DerivedState.h"
#include "ui/shared/Prompter.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace velmor {

// The mapping window's own values that the controller keeps (the editor keeps
// the selection and the edit buffers, MappingEditor::Values).
struct MappingWindowValues {
    MappingMode selectedMode = MappingMode::mappings;
    QString searchText;                      // tool list search, not trimmed
    ToolFilter toolFilter = ToolFilter::all;
    // Focus of the tool search field and of the mappings filter field: views
    // report focus changes and drop focus when these turn false (a hardware press).
    bool searchFocused = false;
    bool mappingSearchFocused = false;
    QString mappingSearchText;               // the current-mappings filter
    bool isLogExpanded = false;
    std::optional<QString> toastMessage;     // shown while set; cleared 2.0 s after it was shown
    std::optional<ActionError> errorAlert;   // while an import/export failure is asked (kept by the import/export flow)
    bool showInspector = false;              // the HID inspector is wanted open
    bool showPermissionHelp = false;         // the permission help sheet
    bool showNewUserSheet = false;
    QString newUserName;
    std::optional<QUuid> newUserPacsId;
    std::optional<QString> newUserDeviceId;
    bool showRenameSheet = false;
    QString renameUserName;
    bool showDeleteUserAlert = false;        // while "Delete profile?" is asked
    bool showLayoutEditor = false;           // the layout editor is wanted open
    bool hasUnsavedChanges = false;
    bool didAppear = false;
};

// The mapping window without its widgets: everything the window keeps and
// computes, and every action its pieces call. Views subscribe to state() and
// call the commands; they keep no state of their own. Create one controller
// each time the window is created and drop it with the window: a new window
// starts from the initial values. Main thread only.
class MappingController {
public:
    // One snapshot of the window: its own values, the sources as of the same
    // moment, and the values derived from them. Rebuilt once per main-queue turn
    // after any change.
    struct State : MappingWindowValues, MappingEditor::Values {
        // --- The sources.
        Device activeDevice;                     // the input source's active device
        UserProfile activeUserProfile;           // the store's active user profile
        QList<UserProfile> userProfiles;
        QList<PacsProfile> pacsProfiles;
        QUuid activeUserProfileId;               // the store's own id (may name none)
        std::optional<QDateTime> lastSaved;
        QList<Device> devices;                   // the templates offered for choosing
        QList<ConnectedDeviceInfo> connectedDevices;
        QList<AppModel::LogEntry> logs;          // oldest first
        std::optional<AppModel::AlertMessage> alertMessage; // the banner
        AppModel::LayoutOverrides overlayOverrides;
        bool hasAccessibilityPermission = false;
        bool hasInputMonitoringPermission = false;

        // --- Derived.
        PacsProfile activePacsProfile;           // the PACS profile of the active user profile
        QList<RadiologyTool> activeTools;        // its enabled tools
        QList<RadiologyTool> filteredTools;      // after the filter and the search
        QList<ToolGroup> groupedTools;           // the tool list's groups
        QList<ButtonMapping> activeMappings;     // the active user's mappings of the active device
        QHash<QUuid, ButtonMapping> toolMappings;     // the first of activeMappings of each tool
        QHash<QString, ButtonMapping> buttonMappings; // the first of activeMappings on each of the device's buttons

        bool permissionsGranted() const { return hasAccessibilityPermission && hasInputMonitoringPermission; }
        // The active device is the keypad, the one device with lighting.
        bool isRazerDevice() const;
        // A connected device (released ones too) matched the active device's template.
        bool isActiveDeviceConnected() const;
        // What stands for it is the mock source's pseudo-device: no hardware is attached.
        bool isActiveDeviceMock() const;
        bool canUndo() const { return lastMappingBackup.has_value(); }
        bool canClear() const { return !activeMappings.isEmpty(); }
    };

    // What the window asks of the application: windows it does not own.
    struct Requests {
        std::function<void()> openAdmin;        // the rail's Tools button
        std::function<void()> showHIDInspector; // showInspector turned true; report hidInspectorClosed()
        // showLayoutEditor turned true, or the active device changed while it is:
        // show the editor for this device; report layoutEditorClosed() when it closes.
        std::function<void(const Device&)> showLayoutEditor;
        std::function<void()> closeLayoutEditor; // showLayoutEditor turned false
    };

    MappingController(AppModel& model, Prompter& prompter);
    ~MappingController();
    MappingController(const MappingController&) = delete;
    MappingController& operator=(const MappingController&) = delete;

    const Published<State>& state() const { return state_.published(); }

    // Set by the application before the window shows.
    Requests requests;

    // --- Window events.
    // The window came on screen (every time): selects the first tool, follows the
    // user's PACS profile, fills default mappings and saves; the first time it
    // also reads the permission states.
    void appear();
    void dismissAlert();                        // the banner's close button

    // --- Plain values the views write.
    void setSelectedMode(MappingMode mode);
    void setSearchText(const QString& text);
    void setToolFilter(ToolFilter filter);
    void setSearchFocused(bool focused);
    void setMappingSearchText(const QString& text);
    void setMappingSearchFocused(bool focused);
    void toggleEventLog();
    // Expanded, whatever it was (the tray's diagnostics write their report there).
    void showEventLog();
    // The event log on the clipboard: "<time with seconds> <message>" lines, newest first.
    void copyEventLog();
    void clearEventLog();

    // --- Mapping edits.
    void handleButtonPress(const std::optional<DeviceButtonEvent>& event); // every AppModel::lastEvent
    void selectButton(const QString& buttonId);  // a canvas click
    void selectTool(const RadiologyTool& tool);  // a tool row click; assigns to the selected button
    void toggleFavorite(const RadiologyTool& tool);
    void swapMappings();
    void copyMapping();
    void removeMapping(const ButtonMapping& mapping); // a mapping row's trash button
    void loadExampleMappings();
    void undoLastMapping();
    void confirmClearAllMappings();              // toolbar Clear: asks, then clears
    void restoreLastSaved();                     // toolbar Reset
    void save();                                 // toolbar Save
    void syncNow();                              // toolbar Sync Now
    void showToast(const QString& message);

    // --- Profiles panel.
    void selectUserProfile(const QUuid& id);
    void beginNewUserProfile();                  // fills and opens the new-profile sheet
    void setNewUserName(const QString& name);
    void setNewUserPacsId(const std::optional<QUuid>& id);
    void setNewUserDeviceId(const std::optional<QString>& id);
    void createNewUserProfile();                 // the sheet's Create
    void closeNewUserSheet();                    // the sheet's Cancel (also after Create)
    void beginRenameUserProfile();
    void setRenameUserName(const QString& name);
    void saveRename();                           // the sheet's Save
    void closeRenameSheet();                     // the sheet's Cancel (also after Save)
    void confirmDeleteUserProfile();             // asks "Delete profile?", deletes on "Delete"
    void selectPacsProfile(const QUuid& id);     // binds the active user profile to it
    void setLightingColor(const QColor& color);  // a colour with no RGB form changes nothing
    // A typed "#RRGGBB" (the "#" optional); false, changing nothing, for any other text.
    bool setLightingHexText(const QString& text);
    void usePacsDefaultLighting();
    void importUserProfile();
    void exportUserProfile();
    void importPacsProfile();
    void exportPacsProfile();

    // --- Devices panel and toolbar device choice.
    void selectDevice(const QString& deviceId);
    void setControlEnabled(const ConnectedDeviceInfo& device, bool enabled);
    void resetMappingsToDefaults();
    void setShowLayoutEditor(bool show);         // Edit Layout: true
    void layoutEditorClosed();                   // the editor's Done or close button

    // --- System panel.
    void requestPermissions();
    void setShowPermissionHelp(bool show);
    void showHIDInspector();                     // Diagnostics and the menu command
    void hidInspectorClosed();
    void openAdmin();                            // the rail's Tools button

    // The executor whose permission flags the window shows (for the permission help sheet).
    ShortcutExecutor& shortcutExecutor() const;

    // The "Delete profile?" question for a profile name, for views that draw it.
    static Prompter::Question deleteQuestion(const QString& profileName);

private:
    State compute() const;
    void changed() { state_.invalidate(); }
    template <typename T>
    void update(T& field, T value);
    void watchSources();
    void followChanges();
    void followActiveDevice(const Device& device);
    ProfileStore& store() const;

    AppModel& model_;
    Prompter& prompter_;
    MappingWindowValues values_;
    // The name the new-profile sheet proposed; it stands for a blank name.
    QString proposedNewUserName_;
    Cancellable toastTimer_;
    Cancellable alertTimer_;
    std::optional<QUuid> timedAlertId_;
    QString followedDeviceId_;
    MappingEditor editor_;
    ProfileExchangeFlow exchange_;
    // Before state_, whose first computation uses it.
    mutable mappingData::ToolLists toolLists_;
    DerivedState<State> state_;
    // Declared last: ended first, so no delivery reaches a half-destroyed controller.
    std::vector<Subscription> subscriptions_;
};

} // namespace velmor
