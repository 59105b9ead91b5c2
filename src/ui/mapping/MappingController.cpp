#include "ui/mapping/MappingController.h"

#include "input/MockDeviceInputSource.h"
#include "input/UnifiedInputSource.h"
#include "model/HexColor.h"
#include "output/ShortcutExecutor.h"
#include "platform/Text.h"
#include "store/ProfileStore.h"
#include "ui/mapping/MappingDerivedData.h"
#include "ui/mapping/MappingTexts.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>

namespace velmor {

namespace {
using namespace std::chrono_literals;

constexpr auto toastTime = 2000ms;
constexpr auto alertTime = 5000ms;

// Runs `handler` for each value that differs from the one before; not for the current one.
template <typename T, typename Handler>
Subscription onChange(const Published<T>& source, Handler handler)
{
    return source.subscribe([previous = std::optional<T>(), handler](const T& value) mutable {
        const bool changed = previous && !(*previous == value);
        previous = value;
        if (changed)
            handler(value);
    });
}
} // namespace

bool MappingController::State::isRazerDevice() const { return activeDevice.id == Device::tartarusTemplate().id; }

bool MappingController::State::isActiveDeviceConnected() const
{
    return std::any_of(connectedDevices.cbegin(), connectedDevices.cend(),
                       [&](const ConnectedDeviceInfo& info) { return info.templateId == activeDevice.id; });
}

bool MappingController::State::isActiveDeviceMock() const
{
    return connectedDevices.contains(MockDeviceInputSource::pseudoDevice(activeDevice.id));
}

MappingController::MappingController(AppModel& model, Prompter& prompter)
    : model_(model)
    , prompter_(prompter)
    , followedDeviceId_(model.inputSource().activeDevice().get().id)
    , editor_(
          model, prompter, [this](const QString& message) { showToast(message); }, [this] { changed(); })
    , exchange_(model.profileStore(), prompter, ProfileExchangeFlow::mappingWindow(model), [this] { changed(); })
    , state_([this] { return compute(); })
{
    watchSources();
    followChanges();
}

MappingController::~MappingController() = default;

ProfileStore& MappingController::store() const { return model_.profileStore(); }

MappingController::State MappingController::compute() const
{
    State s;
    static_cast<MappingWindowValues&>(s) = values_;
    static_cast<MappingEditor::Values&>(s) = editor_.values();
    s.errorAlert = exchange_.errorAlert();

    const ProfileStore& profiles = store();
    s.activeDevice = model_.inputSource().activeDevice().get();
    s.activeUserProfile = profiles.activeUserProfile();
    s.userProfiles = profiles.userProfiles().get();
    s.pacsProfiles = profiles.pacsProfiles().get();
    s.activeUserProfileId = profiles.activeUserProfileId().get();
    s.lastSaved = profiles.lastSaved().get();
    s.devices = Device::builtInTemplates();
    s.connectedDevices = model_.connectedDevices().get();
    s.logs = model_.logs().get();
    s.alertMessage = model_.alertMessage().get();
    s.overlayOverrides = model_.overlayOverrides().get();
    s.hasAccessibilityPermission = model_.shortcutExecutor().hasAccessibilityPermission().get();
    s.hasInputMonitoringPermission = model_.shortcutExecutor().hasInputMonitoringPermission().get();

    s.activePacsProfile = model_.activePacsProfile();
    s.activeMappings = mappingData::activeMappings(s.activeUserProfile, s.activeDevice.id);
    const mappingData::ToolLists::Lists& lists =
        toolLists_.of(s.activePacsProfile, s.toolFilter, s.searchText, s.activeMappings, s.activeDevice.buttons);
    s.activeTools = lists.activeTools;
    s.filteredTools = lists.filteredTools;
    s.groupedTools = lists.groupedTools;
    s.toolMappings = lists.toolMappings;
    s.buttonMappings = lists.buttonMappings;
    return s;
}

void MappingController::watchSources()
{
    const ProfileStore& profiles = store();
    state_.watch(profiles.pacsProfiles());
    state_.watch(profiles.userProfiles());
    state_.watch(profiles.activePacsProfileId());
    state_.watch(profiles.activeUserProfileId());
    state_.watch(profiles.lastSaved());
    state_.watch(model_.inputSource().activeDevice());
    state_.watch(model_.connectedDevices());
    state_.watch(model_.logs());
    state_.watch(model_.alertMessage());
    state_.watch(model_.overlayOverrides());
    state_.watch(model_.shortcutExecutor().hasAccessibilityPermission());
    state_.watch(model_.shortcutExecutor().hasInputMonitoringPermission());
}

void MappingController::followChanges()
{
    const ProfileStore& profiles = store();
    const auto profilesEdited = [this](const auto&) {
        if (values_.didAppear)
            update(values_.hasUnsavedChanges, true);
    };
    subscriptions_.push_back(onChange(profiles.userProfiles(), profilesEdited));
    subscriptions_.push_back(onChange(profiles.pacsProfiles(), profilesEdited));
    // Every save counts, also one that finds the time unchanged.
    subscriptions_.push_back(profiles.lastSaved().subscribe([this, initial = true](const auto&) mutable {
        if (!std::exchange(initial, false))
            update(values_.hasUnsavedChanges, false);
    }));
    const auto profileSwitched = [this](const QUuid&) { editor_.followProfileChange(); };
    subscriptions_.push_back(onChange(profiles.activeUserProfileId(), profileSwitched));
    subscriptions_.push_back(onChange(profiles.activePacsProfileId(), profileSwitched));
    subscriptions_.push_back(
        model_.inputSource().activeDevice().subscribe([this](const Device& device) { followActiveDevice(device); }));

    // Each alert gets its full time on screen; a newer one is not cut short by an older timer.
    subscriptions_.push_back(model_.alertMessage().subscribe([this](const std::optional<AppModel::AlertMessage>& alert) {
        if (!alert || timedAlertId_ == alert->id)
            return;
        timedAlertId_ = alert->id;
        alertTimer_ = afterOnMain(alertTime, [this, id = alert->id] { model_.dismissAlert(id); });
    }));
    // Last: the press already on record is handled as the window opens.
    subscriptions_.push_back(model_.lastEvent().subscribe(
        [this](const std::optional<DeviceButtonEvent>& event) { handleButtonPress(event); }));
}

void MappingController::followActiveDevice(const Device& device)
{
    if (device.id == followedDeviceId_)
        return;
    followedDeviceId_ = device.id;
    editor_.followDeviceChange(device);
    if (values_.showLayoutEditor && requests.showLayoutEditor)
        requests.showLayoutEditor(device);
}

template <typename T>
void MappingController::update(T& field, T value)
{
    if (field == value)
        return;
    field = std::move(value);
    changed();
}

// --- Window events

void MappingController::appear()
{
    editor_.selectFirstTool();
    const UserProfile user = store().activeUserProfile();
    if (store().activePacsProfileId().get() != user.pacsProfileId)
        store().selectPacsProfile(user.pacsProfileId);
    update(values_.searchFocused, false);

    model_.ensureDefaultMappingsForConnectedDevices();
    store().save();
    update(values_.hasUnsavedChanges, false);
    if (!values_.didAppear)
        model_.shortcutExecutor().readPermissions();
    update(values_.didAppear, true);
}

void MappingController::dismissAlert()
{
    if (const std::optional<AppModel::AlertMessage>& alert = model_.alertMessage().get())
        model_.dismissAlert(alert->id);
}

// --- Plain values

void MappingController::setSelectedMode(MappingMode mode) { update(values_.selectedMode, mode); }
void MappingController::setSearchText(const QString& text) { update(values_.searchText, text); }
void MappingController::setToolFilter(ToolFilter filter) { update(values_.toolFilter, filter); }
void MappingController::setSearchFocused(bool focused) { update(values_.searchFocused, focused); }
void MappingController::setMappingSearchText(const QString& text) { update(values_.mappingSearchText, text); }
void MappingController::setMappingSearchFocused(bool focused) { update(values_.mappingSearchFocused, focused); }
void MappingController::toggleEventLog() { update(values_.isLogExpanded, !values_.isLogExpanded); }
void MappingController::showEventLog() { update(values_.isLogExpanded, true); }

void MappingController::copyEventLog()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(mappingText::eventLogText(model_.logs().get()));
}

void MappingController::clearEventLog() { model_.clearLogs(); }

// --- Mapping edits

void MappingController::handleButtonPress(const std::optional<DeviceButtonEvent>& event)
{
    if (!event)
        return;
    update(values_.searchFocused, false);
    update(values_.mappingSearchFocused, false);
    editor_.handleButtonPress(*event);
}

void MappingController::selectButton(const QString& buttonId) { editor_.selectButton(buttonId); }
void MappingController::selectTool(const RadiologyTool& tool) { editor_.selectTool(tool); }
void MappingController::toggleFavorite(const RadiologyTool& tool) { editor_.toggleFavorite(tool); }
void MappingController::swapMappings() { editor_.swapMappings(); }
void MappingController::copyMapping() { editor_.copyMapping(); }
void MappingController::removeMapping(const ButtonMapping& mapping) { editor_.removeMapping(mapping); }
void MappingController::loadExampleMappings() { editor_.loadExampleMappings(); }
void MappingController::undoLastMapping() { editor_.undoLastMapping(); }
void MappingController::confirmClearAllMappings() { editor_.confirmClearAllMappings(); }

void MappingController::restoreLastSaved()
{
    store().reloadFromDisk();
    model_.ensureDefaultMappingsForConnectedDevices();
    editor_.deselectButton();
    editor_.selectFirstTool();
    editor_.forgetEdits();
    update(values_.hasUnsavedChanges, false);
    showToast(QStringLiteral("Restored last saved state"));
}

void MappingController::save() { store().save(); }

// Without a profile sync the model raises "Cloud Sync Unavailable".
void MappingController::syncNow() { model_.syncNow(); }

void MappingController::showToast(const QString& message)
{
    values_.toastMessage = message;
    // Replacing the timer cancels the earlier toast's: each toast gets its full time.
    toastTimer_ = afterOnMain(toastTime, [this] {
        values_.toastMessage.reset();
        changed();
    });
    changed();
}

// --- Profiles panel

void MappingController::selectUserProfile(const QUuid& id)
{
    const QList<UserProfile>& users = store().userProfiles().get();
    const auto it = std::find_if(users.cbegin(), users.cend(), [&](const UserProfile& user) { return user.id == id; });
    if (it != users.cend())
        store().selectUserProfile(*it);
}

void MappingController::beginNewUserProfile()
{
    proposedNewUserName_ = QStringLiteral("User ") + QString::number(store().userProfiles().get().size() + 1);
    values_.newUserName = proposedNewUserName_;
    values_.newUserPacsId = store().activePacsProfileId().get();
    values_.newUserDeviceId = model_.inputSource().activeDevice().get().id;
    values_.showNewUserSheet = true;
    changed();
}

void MappingController::setNewUserName(const QString& name) { update(values_.newUserName, name); }
void MappingController::setNewUserPacsId(const std::optional<QUuid>& id) { update(values_.newUserPacsId, id); }
void MappingController::setNewUserDeviceId(const std::optional<QString>& id) { update(values_.newUserDeviceId, id); }
void MappingController::closeNewUserSheet() { update(values_.showNewUserSheet, false); }

void MappingController::createNewUserProfile()
{
    if (!values_.newUserPacsId || !values_.newUserDeviceId)
        return;
    QString name = values_.newUserName.trimmed();
    // A blank name would give a profile no one can tell apart: the proposed name stands.
    if (name.isEmpty())
        name = !proposedNewUserName_.isEmpty()
                   ? proposedNewUserName_
                   : QStringLiteral("User ") + QString::number(store().userProfiles().get().size() + 1);
    const QString deviceId = *values_.newUserDeviceId;
    store().createUserProfile(name, *values_.newUserPacsId);
    store().setSelectedDeviceId(deviceId, store().activeUserProfile().id);
    model_.selectDevice(deviceId);
}

void MappingController::beginRenameUserProfile()
{
    values_.renameUserName = store().activeUserProfile().name;
    values_.showRenameSheet = true;
    changed();
}

void MappingController::setRenameUserName(const QString& name) { update(values_.renameUserName, name); }
void MappingController::closeRenameSheet() { update(values_.showRenameSheet, false); }

void MappingController::saveRename()
{
    const QString name = values_.renameUserName.trimmed();
    if (!name.isEmpty())
        store().renameUserProfile(store().activeUserProfile().id, name);
}

void MappingController::confirmDeleteUserProfile()
{
    update(values_.showDeleteUserAlert, true);
    const bool remove = prompter_.ask(deleteQuestion(store().activeUserProfile().name)).button == QStringLiteral("Delete");
    update(values_.showDeleteUserAlert, false);
    if (remove)
        store().deleteUserProfile(store().activeUserProfile().id);
}

void MappingController::selectPacsProfile(const QUuid& id) { store().setPacsProfile(id, store().activeUserProfile().id); }

void MappingController::setLightingColor(const QColor& color)
{
    if (const std::optional<QString> hex = hexString(color))
        store().setLightingHex(hex, store().activeUserProfile().id);
}

bool MappingController::setLightingHexText(const QString& text)
{
    const std::optional<RgbBytes> rgb = parseHexColor(text);
    if (!rgb)
        return false;
    setLightingColor(QColor(rgb->red, rgb->green, rgb->blue));
    return true;
}

void MappingController::usePacsDefaultLighting() { store().setLightingHex(std::nullopt, store().activeUserProfile().id); }

void MappingController::importUserProfile() { exchange_.importUserProfile(); }
void MappingController::exportUserProfile() { exchange_.exportUserProfile(); }
void MappingController::importPacsProfile() { exchange_.importPacsProfile(); }
void MappingController::exportPacsProfile() { exchange_.exportPacsProfile(); }

// --- Devices

void MappingController::selectDevice(const QString& deviceId) { model_.selectDevice(deviceId); }

void MappingController::setControlEnabled(const ConnectedDeviceInfo& device, bool enabled)
{
    HIDDeviceInputSource& hid = model_.inputSource().hidSource();
    if (enabled)
        hid.enableControl(device.vendorId, device.productId);
    else
        hid.disableControl(device.vendorId, device.productId);
    const QString name =
        text::displayName(device.productName.value_or(device.templateId.value_or(QStringLiteral("device"))));
    showToast(enabled ? QStringLiteral("Velmor now controls ") + name
                      : QStringLiteral("Released ") + name + QStringLiteral(" for other apps"));
}

void MappingController::resetMappingsToDefaults()
{
    const Device device = model_.inputSource().activeDevice().get();
    store().resetMappingsToDefaults(store().activeUserProfile().id, model_.activePacsProfile(), device.id);
    showToast(QStringLiteral("Reset mappings for ") + text::displayName(device.name));
}

void MappingController::setShowLayoutEditor(bool show)
{
    if (values_.showLayoutEditor == show)
        return;
    update(values_.showLayoutEditor, show);
    if (show && requests.showLayoutEditor)
        requests.showLayoutEditor(model_.inputSource().activeDevice().get());
    else if (!show && requests.closeLayoutEditor)
        requests.closeLayoutEditor();
}

void MappingController::layoutEditorClosed() { setShowLayoutEditor(false); }

// --- System

ShortcutExecutor& MappingController::shortcutExecutor() const { return model_.shortcutExecutor(); }

void MappingController::requestPermissions() { model_.shortcutExecutor().requestPermissions(); }
void MappingController::setShowPermissionHelp(bool show) { update(values_.showPermissionHelp, show); }

void MappingController::showHIDInspector()
{
    if (values_.showInspector)
        return;
    update(values_.showInspector, true);
    if (requests.showHIDInspector)
        requests.showHIDInspector();
}

void MappingController::hidInspectorClosed() { update(values_.showInspector, false); }

void MappingController::openAdmin()
{
    if (requests.openAdmin)
        requests.openAdmin();
}

Prompter::Question MappingController::deleteQuestion(const QString& profileName)
{
    const QString name = text::displayName(profileName);
    return {QStringLiteral("Delete profile?"),
            QStringLiteral("This will remove the user profile ") + name +
                QStringLiteral(". Mappings for that profile will be lost."),
            {{QStringLiteral("Delete"), Prompter::Role::destructive}, {QStringLiteral("Cancel"), Prompter::Role::cancel}},
            std::nullopt,
            {},
            {name}};
}

} // namespace velmor
