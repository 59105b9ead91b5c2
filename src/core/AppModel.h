#pragma once

#include "core/ActivityFeeds.h"
#include "core/LayoutOverrides.h"
#include "input/ConnectedDeviceInfo.h"
#include "input/CustomUsageMap.h"
#include "input/DeviceButtonEvent.h"
#include "input/RawHIDSample.h"
#include "model/Device.h"
#include "model/NormalizedRect.h"
#include "platform/MainQueue.h"
#include "platform/Published.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariantMap>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace velmor::cloud {
class Container;
}

namespace velmor {

class ButtonDispatch;
class CloudKitProfileSync;
struct NotificationSettings;
class CustomUsageStore;
class LayoutOverridesStore;
class ProfileStore;
class ShortcutExecutor;
class UnifiedInputSource;
struct ButtonMapping;
struct DeviceButton;
struct PacsProfile;
struct RadiologyTool;

// The one application object. It owns the profile store, the input side and the
// keystroke output and joins them: button events become shortcuts of the mapped
// tools, log lines and raw samples become the feeds the windows show, store
// messages become alerts, and profile changes are pushed back to the input side.
// Main thread only; every callback it installs elsewhere holds it weakly.
class AppModel {
public:
    using LogEntry = velmor::LogEntry;
    using AlertMessage = velmor::AlertMessage;
    // Device id → button id → rectangle on the device's layout canvas.
    using LayoutOverrides = velmor::LayoutOverrides;
    // Device pair → usage key (page << 16 | usage) → button id.
    using CustomUsageMap = velmor::CustomUsageMap;

    static constexpr int logLimit = ActivityFeeds::logLimit;
    static constexpr int hidSampleLimit = ActivityFeeds::hidSampleLimit;
    // The log's lines of this long after the model is made are start-up lines, kept pinned.
    static constexpr std::chrono::seconds startUpLogTime{10};

    // Builds the whole application state; see the start-up order in the source.
    AppModel();
    ~AppModel();
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // Read and subscribe; only the model's methods change them.
    // The last press that reached the button-press road.
    const Published<std::optional<DeviceButtonEvent>>& lastEvent() const { return lastEvent_; }
    const Published<bool>& startAtLoginEnabled() const { return startAtLoginEnabled_; }
    // Oldest first, the newest logLimit. The log window may empty it (clearLogs).
    const Published<QList<LogEntry>>& logs() const { return feeds_.logs(); }
    const Published<LayoutOverrides>& overlayOverrides() const;
    // Oldest first, the newest hidSampleLimit. The HID inspector may empty it (clearHIDEvents).
    const Published<QList<RawHIDSample>>& hidEvents() const { return feeds_.hidEvents(); }
    // Copy of the input source's connected devices.
    const Published<QList<ConnectedDeviceInfo>>& connectedDevices() const { return connectedDevices_; }
    // The alert the windows show; they clear it (see dismissAlert).
    const Published<std::optional<AlertMessage>>& alertMessage() const { return feeds_.alertMessage(); }

    ProfileStore& profileStore() { return *profileStore_; }
    UnifiedInputSource& inputSource() { return *inputSource_; }
    ShortcutExecutor& shortcutExecutor() { return *shortcutExecutor_; }
    // The profile sync; none while the build's entitlements allow no cloud container.
    CloudKitProfileSync* cloudSync() const { return cloudSync_.get(); }

    // Opens the mapping window; installed by the menu-bar label.
    std::function<void()> openMappingsWindow;
    bool didOpenMappingsOnLaunch() const { return didOpenMappingsOnLaunch_; }

    // The PACS profile of the active user profile, else the store's active one.
    PacsProfile activePacsProfile() const;
    // The tool of that id in the active PACS profile, copied without the rest of the profile.
    std::optional<RadiologyTool> activeTool(const QUuid& toolId) const;

    // Launch
    void openMappingsWindowOnLaunch();
    void enableLaunchAtLogin();
    static QStringList hexByteStrings(const QByteArray& bytes);

    // Button-press road
    void handleButtonEvent(const DeviceButtonEvent& event);
    // True when the tool had a shortcut to send; a toggle tool steps on for `mapping`.
    bool dispatchTool(const RadiologyTool& tool, const ButtonMapping& mapping, bool logging);
    // Resends the tool while the button is held, when both allow it; one repeat per button.
    void startRepeat(const RadiologyTool& tool, const DeviceButtonEvent& event, const ButtonMapping& mapping);
    void stopRepeat(const QString& deviceId, const QString& buttonId);
    // Seconds between resends of a held button: 0.4 at speed 0 down to 0.06 at speed 1.
    static double repeatPeriod(double repeatSpeed);
    bool isRepeating(const QString& deviceId, const QString& buttonId) const;
    std::size_t repeatTaskCount() const;

    // Log, alerts, samples
    void appendLog(const QString& message);
    // The log window's Clear.
    void clearLogs();
    void presentAlert(const QString& title, const QString& message, AlertMessage::Severity severity);
    // Clears the alert only while it is still the one with `alertId`, so a
    // newer alert keeps its full time on screen.
    void dismissAlert(const QUuid& alertId);
    void appendHIDSample(const RawHIDSample& sample);
    // The HID inspector's Clear.
    void clearHIDEvents();

    // Devices and default mappings
    void ensureDefaultMappingsForConnectedDevices();
    // The built-in templates (keypad, generic mouse, SpeechMike) that a
    // connected device not left to other applications uses, in that order.
    QList<Device> availableDevices() const;
    void selectDevice(const QString& id);

    // Layout overrides
    const QString& layoutOverridesURL() const;
    std::optional<NormalizedRect> overlayFrame(const DeviceButton& button, const QString& deviceId) const;
    void setOverlayFrame(const NormalizedRect& rect, const QString& buttonId, const QString& deviceId);
    void resetLayout(const QString& deviceId);
    void importLayout(const QString& path);
    // The bundle's layouts of the keypad and the SpeechMike; not saved.
    void importLayoutsFromBundle();
    void saveLayoutOverrides();

    // Cloud sync commands of the tray menu and the mapping window.
    // "Sync Now": looks for changes at once; without a sync, the warning "Cloud Sync Unavailable".
    void syncNow();
    // "Reset CloudKit Subscriptions"; without a sync, the same warning.
    void resetCloudSubscriptions();
    // "Cloud Sync Diagnostics": a start line, the entitlements, the notification
    // settings and the cloud report go to the log; works without a sync too.
    void startCloudDiagnostics();
    // A line of the diagnostics' report: its notice points to the log, which keeps the
    // report's lines until the next diagnostics start.
    void appendDiagnosticsLine(const QString& line);
    void logEntitlements();
    // May be called on any thread; the line is appended on the main queue.
    void logNotificationSettings(const NotificationSettings& settings);
    // The cloud report alone: account, user record, subscriptions, profiles record.
    QCoro::Task<> runCloudDiagnostics();

    // Push and notification entry points of the application.
    // From now on the cloud container's pushes reach handleRemoteNotification; the
    // device token, or the failure to get one, is logged.
    void registerForRemoteNotifications();
    // Logs the push and hands it to the sync, which syncs for changes of records.
    void handleRemoteNotification(const QVariantMap& userInfo);
    void didRegisterForRemoteNotifications(const QByteArray& deviceToken);
    // `error`: the description of a failed request.
    void logNotificationAuthorization(bool granted, const std::optional<QString>& error,
                                      const NotificationSettings& settings);

    // Custom usage maps
    const CustomUsageMap& customUsageMap() const;
    QString customUsagesURL() const;
    void setCustomUsageName(const RawHIDSample& sample, const QString& name);
    // The file's names replace the map, and the HID source takes them.
    void loadCustomUsages();
    void saveCustomUsages();

private:
    // The active PACS profile in place, or null when the fallback must make one.
    const PacsProfile* storedActivePacsProfile() const;
    void installCallbacks();
    // Makes and starts the profile sync (the build's entitlements allow a cloud container).
    void startCloudSync();
    // Raises the warning for a cloud command in a build without the sync; false then.
    bool requireCloudSync();
    // Tells the input source the active user profile's device, when it has one.
    void applySelectedDevice();
    void subscribeToInputSource();
    void subscribeToStore();
    // The active user profile's id and the PACS profile the model goes by.
    std::pair<QUuid, QUuid> currentSelection() const;
    // Brings the device, running repeats, default mappings, lighting and mapped
    // buttons in line with the active pair.
    void followActiveSelection();
    void observeApplicationState();
    void performLaunchTasks();
    void handleStoreMessage(const QString& title, const QString& message);
    void ensureDefaultMappings(const QString& deviceId);
    void pushMappedButtons();
    void applyKeypadLighting();

    Published<std::optional<DeviceButtonEvent>> lastEvent_;
    Published<bool> startAtLoginEnabled_{false};
    Published<QList<ConnectedDeviceInfo>> connectedDevices_;
    ActivityFeeds feeds_;
    // Ends the log's start-up lines.
    Cancellable startUpEnds_;

    std::shared_ptr<AppModel*> self_ = std::make_shared<AppModel*>(this);
    // Shared with the sync, whose running tasks may outlive the model.
    std::shared_ptr<ProfileStore> profileStore_;
    std::shared_ptr<CloudKitProfileSync> cloudSync_;
    // The container whose pushes the model receives, once registered.
    std::shared_ptr<cloud::Container> pushContainer_;
    std::unique_ptr<ShortcutExecutor> shortcutExecutor_;
    std::unique_ptr<UnifiedInputSource> inputSource_;
    std::unique_ptr<ButtonDispatch> dispatch_;
    // The two side files.
    const std::unique_ptr<LayoutOverridesStore> layouts_;
    const std::unique_ptr<CustomUsageStore> customUsages_;
    bool didOpenMappingsOnLaunch_ = false;
    std::pair<QUuid, QUuid> followedSelection_;
    // Context of the application-state connections: they end with the model.
    std::unique_ptr<QObject> applicationObserver_;
    // Declared last: ended first, so no delivery reaches a half-destroyed model.
    std::vector<Subscription> cancellables_;
};

} // namespace velmor
