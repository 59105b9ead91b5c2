#include "core/AppModel.h"

#include "core/ButtonDispatch.h"
#include "core/CloudKitEntitlements.h"
#include "core/CloudLog.h"
#include "core/CustomUsageStore.h"
#include "core/LayoutOverridesStore.h"
#include "input/RazerRGB.h"
#include "input/UnifiedInputSource.h"
#include "model/HexColor.h"
#include "model/IconRenderer.h"
#include "model/ProfileTemplates.h"
#include "output/ShortcutExecutor.h"
#include "platform/LoginItem.h"
#include "platform/cloud/Container.h"
#include "platform/notifications/Notifier.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSet>
#include <QWindow>

#include <algorithm>

namespace velmor {

AppModel::AppModel()
    : layouts_(std::make_unique<LayoutOverridesStore>([this](const QString& line) { appendLog(line); }))
    , customUsages_(std::make_unique<CustomUsageStore>([this](const QString& line) { appendLog(line); }))
{
    // 1–2: published fields start empty; the store loads, migrates or seeds.
    profileStore_ = std::make_shared<ProfileStore>();

    // 3
    shortcutExecutor_ = std::make_unique<ShortcutExecutor>();
    dispatch_ = std::make_unique<ButtonDispatch>(
        *profileStore_, *shortcutExecutor_, [this](const QUuid& toolId) { return activeTool(toolId); },
        [this](const QString& line) { appendLog(line); });

    // 4
    inputSource_ = std::make_unique<UnifiedInputSource>(profileStore_->isFreshInstall());

    // 5–6
    installCallbacks();
    if (hasCloudKitEntitlements())
        startCloudSync();
    else
        appendLog(QStringLiteral("CloudKit sync disabled: missing iCloud entitlements."));

    // 7–8
    subscribeToInputSource();

    // 9: the store's active PACS profile follows the active user profile; saved in 13.
    {
        const UserProfile profile = profileStore_->activeUserProfile();
        if (profile.selectedDeviceId)
            inputSource_->selectDevice(*profile.selectedDeviceId);
        profileStore_->repairActiveSelection();
    }
    // The input source's first values arrive on the next turns of the main queue
    // and would put its default device back over the user's; select it again after them.
    postToMain([weak = std::weak_ptr(self_)] {
        if (const auto self = weak.lock())
            (*self)->applySelectedDevice();
    });

    // 10–11
    importLayoutsFromBundle();
    layouts_->load();
    loadCustomUsages();

    // 12–13
    {
        const UserProfile profile = profileStore_->activeUserProfile();
        if (!profile.selectedDeviceId)
            profileStore_->setSelectedDeviceId(Device::speechMikeTemplate().id, profile.id);
    }
    profileStore_->save();

    // 14–15
    observeApplicationState();
    profileStore_->normalizeAllMappings(false);
    profileStore_->save();
    pushMappedButtons();

    // 16–17
    subscribeToStore();
    applyKeypadLighting();

    // What the first seconds log (devices, permissions, the first sync) stays in the log.
    startUpEnds_ = MainQueue::instance().after(startUpLogTime, [weak = std::weak_ptr(self_)] {
        if (const auto self = weak.lock())
            (*self)->feeds_.endStartUp();
    });

    // 18: after the initialiser has returned.
    postToMain([weak = std::weak_ptr(self_)] {
        if (const auto self = weak.lock())
            (*self)->performLaunchTasks();
    });
}

AppModel::~AppModel()
{
    // Callbacks that hold the model weakly find it gone while its parts wind down.
    self_.reset();
    IconRenderer::shared().setFailureHandler({});
    IconRenderer::shared().setLogHandler({});
    // The cloud sync may keep the store a little longer: the last edit is on disk now.
    profileStore_->flush();
}

void AppModel::installCallbacks()
{
    const std::weak_ptr<AppModel*> weak = self_;
    const auto onEvent = [weak](const DeviceButtonEvent& event) {
        if (const auto self = weak.lock())
            (*self)->handleButtonEvent(event);
    };
    const auto onLog = [weak](const QString& line) {
        if (const auto self = weak.lock())
            (*self)->appendLog(line);
    };
    const auto onRawHIDEvent = [weak](const RawHIDSample& sample) {
        if (const auto self = weak.lock())
            (*self)->appendHIDSample(sample);
    };

    UnifiedInputSource& unified = *inputSource_;
    for (DeviceInputSource* source : {static_cast<DeviceInputSource*>(&unified),
                                      static_cast<DeviceInputSource*>(&unified.hidSource()),
                                      static_cast<DeviceInputSource*>(&unified.mockSource())}) {
        source->onEvent = onEvent;
        source->onLog = onLog;
    }
    unified.onRawHIDEvent = onRawHIDEvent;
    unified.hidSource().onRawHIDEvent = onRawHIDEvent;

    profileStore_->onError = [weak](const QString& title, const QString& message) {
        if (const auto self = weak.lock())
            (*self)->handleStoreMessage(title, message);
    };
    profileStore_->onLog = onLog;
    // An icon that cannot be drawn is told under the title of where it came from: the
    // icon sync tells it as it tells what it refuses.
    IconRenderer::shared().setFailureHandler([weak](IconOrigin origin, const QString& description) {
        if (const auto self = weak.lock())
            (*self)->handleStoreMessage(origin == IconOrigin::sync ? QStringLiteral("Cloud Sync Error")
                                                                   : QStringLiteral("Custom Icon"),
                                        description);
    });
    IconRenderer::shared().setLogHandler(onLog);
}

void AppModel::applySelectedDevice()
{
    if (const std::optional<QString> deviceId = profileStore_->activeUserProfile().selectedDeviceId)
        inputSource_->selectDevice(*deviceId);
}

void AppModel::startCloudSync()
{
    cloudSync_ = CloudKitProfileSync::create(profileStore_);
    cloudSync_->onLog = [weak = std::weak_ptr(self_)](const QString& line) {
        if (const auto self = weak.lock())
            (*self)->appendLog(line);
    };
    cloudSync_->onNoticeLines = [weak = std::weak_ptr(self_)](CloudKitProfileSync::NoticeLines kind,
                                                               const QStringList& lines) {
        const auto self = weak.lock();
        if (!self)
            return;
        const QString group = kind == CloudKitProfileSync::NoticeLines::iconProblems ? QStringLiteral("icon problems")
                                                                                      : QStringLiteral("kept files");
        (*self)->feeds_.beginPass(group);
        for (const QString& line : lines)
            (*self)->feeds_.appendToPass(group, line);
    };
    cloudSync_->start();
}

bool AppModel::requireCloudSync()
{
    if (cloudSync_)
        return true;
    presentAlert(QStringLiteral("Cloud Sync Unavailable"), QStringLiteral("CloudKit is not enabled for this build."),
                 AlertMessage::Severity::warning);
    return false;
}

void AppModel::syncNow()
{
    if (requireCloudSync())
        cloudSync_->requestSyncNow();
}

void AppModel::resetCloudSubscriptions()
{
    if (requireCloudSync())
        cloudSync_->requestSubscriptionReset();
}

namespace {

const QString diagnosticsPass = QStringLiteral("diagnostics");

} // namespace

void AppModel::startCloudDiagnostics()
{
    feeds_.beginPass(diagnosticsPass);
    appendDiagnosticsLine(QStringLiteral("Cloud Sync Diagnostics: starting."));
    logEntitlements();
    Notifier::instance().getNotificationSettings([weak = std::weak_ptr(self_)](const NotificationSettings& settings) {
        if (const auto self = weak.lock())
            (*self)->logNotificationSettings(settings);
    });
    runCloudDiagnostics();
}

void AppModel::appendDiagnosticsLine(const QString& line) { feeds_.appendToPass(diagnosticsPass, line); }

void AppModel::logEntitlements()
{
    for (const QString& line : cloudlog::entitlements())
        appendDiagnosticsLine(line);
}

void AppModel::logNotificationSettings(const NotificationSettings& settings)
{
    postToMain([weak = std::weak_ptr(self_), line = cloudlog::notificationSettings(settings)] {
        if (const auto self = weak.lock())
            (*self)->appendDiagnosticsLine(line);
    });
}

namespace {

// The report's lines go to the log as they come; once it is done, its findings (the
// lines about the account and the records, not each subscription's) are told as a notice
// in the windows, where the user looks. Holds the model weakly: the report may still be
// waiting for the cloud when it goes.
QCoro::Task<> diagnoseAndTell(std::shared_ptr<cloud::Container> container, std::weak_ptr<AppModel*> weak)
{
    QStringList findings;
    cloudlog::Log log = [weak, &findings](const QString& line) {
        if (line.startsWith(QStringLiteral("CloudKit ")))
            findings << line;
        if (const auto self = weak.lock())
            (*self)->appendDiagnosticsLine(line);
    };
    // Named, not a temporary: a coroutine argument made in the await is destroyed twice by g++ 12.
    QCoro::Task<> diagnosing = cloudlog::diagnostics(std::move(container), std::move(log));
    co_await std::move(diagnosing);
    if (const auto self = weak.lock())
        (*self)->presentAlert(QStringLiteral("Cloud Sync Diagnostics"),
                              cloudlog::diagnosticsFindings(findings), AlertMessage::Severity::info);
}

} // namespace

QCoro::Task<> AppModel::runCloudDiagnostics()
{
    return diagnoseAndTell(cloud::Container::named(CloudKitProfileSync::containerIdentifier), self_);
}

void AppModel::registerForRemoteNotifications()
{
    const std::weak_ptr<AppModel*> weak = self_;
    pushContainer_ = cloudSync_ ? cloudSync_->container()
                                : cloud::Container::named(CloudKitProfileSync::containerIdentifier);
    pushContainer_->setRemoteNotificationHandler([weak](const QVariantMap& userInfo) {
        if (const auto self = weak.lock())
            (*self)->handleRemoteNotification(userInfo);
    });
    pushContainer_->registerForRemoteNotifications(
        [weak](std::optional<QByteArray> token, std::optional<cloud::Error> error) {
            const auto self = weak.lock();
            if (!self)
                return;
            if (token)
                (*self)->didRegisterForRemoteNotifications(*token);
            else
                (*self)->appendLog(QStringLiteral("APNs registration failed: ")
                                   + (error ? error->localizedDescription()
                                            : cloud::Error(cloud::Error::Code::internalError).localizedDescription()));
        });
}

void AppModel::handleRemoteNotification(const QVariantMap& userInfo)
{
    // Pushes come in storms: gathered, they leave the other lines in the log.
    feeds_.appendLog(cloudlog::pushReceived(userInfo), ActivityFeeds::Gathering::recent);
    if (cloudSync_)
        cloudSync_->handleRemoteNotification(userInfo);
}

void AppModel::didRegisterForRemoteNotifications(const QByteArray& deviceToken)
{
    appendLog(QStringLiteral("APNs token registered: ") + hexByteStrings(deviceToken).join(QString()));
}

void AppModel::logNotificationAuthorization(bool granted, const std::optional<QString>& error,
                                            const NotificationSettings& settings)
{
    appendLog(cloudlog::notificationAuthorization(granted, error, settings));
}

void AppModel::subscribeToInputSource()
{
    cancellables_.push_back(inputSource_->activeDevice().subscribe([this](const Device& device) {
        ensureDefaultMappings(device.id);
    }));
    cancellables_.push_back(
        inputSource_->connectedDevices().subscribe([this](const QList<ConnectedDeviceInfo>& devices) {
            connectedDevices_.set(devices);
            ensureDefaultMappingsForConnectedDevices();
        }));
}

void AppModel::subscribeToStore()
{
    const ProfileStore& store = *profileStore_;
    // The store switches the pair itself, the user profile first: its PACS profile
    // follows. So a user id that is set runs the follow-up, and a PACS id only when
    // it changes the pair the windows and the keypad go by.
    cancellables_.push_back(store.activeUserProfileId().subscribe([this](const QUuid&) { followActiveSelection(); }));
    cancellables_.push_back(store.activePacsProfileId().subscribe([this](const QUuid&) {
        if (currentSelection() != followedSelection_)
            followActiveSelection();
    }));
    cancellables_.push_back(store.userProfiles().subscribe([this](const QList<UserProfile>&) {
        dispatch_->revalidate();
        applyKeypadLighting();
        pushMappedButtons();
    }));
    cancellables_.push_back(store.pacsProfiles().subscribe([this](const QList<PacsProfile>&) {
        dispatch_->revalidate();
        applyKeypadLighting();
    }));
}

std::pair<QUuid, QUuid> AppModel::currentSelection() const
{
    return {profileStore_->activeUserProfileId().get(), activePacsProfile().id};
}

void AppModel::followActiveSelection()
{
    followedSelection_ = currentSelection();
    applySelectedDevice();
    dispatch_->revalidate();
    ensureDefaultMappingsForConnectedDevices();
    applyKeypadLighting();
    pushMappedButtons();
}

void AppModel::observeApplicationState()
{
    applicationObserver_ = std::make_unique<QObject>();
    QCoreApplication* const application = QCoreApplication::instance();
    if (!application)
        return;
    const auto save = [this] { profileStore_->save(); };
    QObject::connect(application, &QCoreApplication::aboutToQuit, applicationObserver_.get(), save);
    if (auto* gui = qobject_cast<QGuiApplication*>(application)) {
        QObject::connect(gui, &QGuiApplication::applicationStateChanged, applicationObserver_.get(),
                         [save, wasActive = gui->applicationState() == Qt::ApplicationActive](
                             Qt::ApplicationState state) mutable {
                             const bool isActive = state == Qt::ApplicationActive;
                             if (wasActive && !isActive)
                                 save();
                             wasActive = isActive;
                         });
    }
}

PacsProfile AppModel::activePacsProfile() const
{
    if (const PacsProfile* stored = storedActivePacsProfile())
        return *stored;
    const QUuid pacsProfileId = profileStore_->activeUserProfile().pacsProfileId;
    for (const PacsProfile& profile : profileStore_->pacsProfiles().get())
        if (profile.id == pacsProfileId)
            return profile;
    return profileStore_->activePacsProfile();
}

std::optional<RadiologyTool> AppModel::activeTool(const QUuid& toolId) const
{
    std::optional<PacsProfile> madeAfresh;
    const PacsProfile* profile = storedActivePacsProfile();
    if (!profile)
        profile = &madeAfresh.emplace(activePacsProfile());
    if (const RadiologyTool* tool = findById(profile->tools, toolId))
        return *tool;
    return std::nullopt;
}

const PacsProfile* AppModel::storedActivePacsProfile() const
{
    // Without a stored user profile the fallback is a profile made afresh: the caller copies.
    const UserProfile* user = profileStore_->storedActiveUserProfile();
    if (!user)
        return nullptr;
    if (const PacsProfile* bound = findById(profileStore_->pacsProfiles().get(), user->pacsProfileId))
        return bound;
    return profileStore_->storedActivePacsProfile();
}

void AppModel::openMappingsWindowOnLaunch()
{
    if (didOpenMappingsOnLaunch_ || !openMappingsWindow)
        return;
    const QWindowList windows =
        qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::topLevelWindows() : QWindowList{};
    if (std::any_of(windows.begin(), windows.end(), [](const QWindow* window) { return window->isVisible(); }))
        return;
    openMappingsWindow();
    didOpenMappingsOnLaunch_ = true;
}

void AppModel::enableLaunchAtLogin()
{
    LoginItem& item = LoginItem::instance();
    if (item.status() != LoginItem::Status::Enabled && !item.registerItem())
        appendLog(QStringLiteral("Failed to enable launch at login. User may need to add Velmor manually "
                                 "to the desktop's autostart applications."));
    startAtLoginEnabled_.set(item.status() == LoginItem::Status::Enabled);
}

void AppModel::performLaunchTasks()
{
    shortcutExecutor_->refreshPermissions();
    enableLaunchAtLogin();
}

QStringList AppModel::hexByteStrings(const QByteArray& bytes)
{
    QStringList strings;
    strings.reserve(bytes.size());
    for (const char byte : bytes)
        strings.append(QStringLiteral("%1").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')));
    return strings;
}

// ---------------------------------------------------------------- button-press road

void AppModel::handleButtonEvent(const DeviceButtonEvent& event)
{
    if (event.isPressed)
        lastEvent_.set(event);
    dispatch_->handle(event);
}

bool AppModel::dispatchTool(const RadiologyTool& tool, const ButtonMapping& mapping, bool logging)
{
    return dispatch_->dispatchTool(tool, mapping, logging);
}

void AppModel::startRepeat(const RadiologyTool& tool, const DeviceButtonEvent& event, const ButtonMapping& mapping)
{
    dispatch_->startRepeat(tool, event, mapping);
}

void AppModel::stopRepeat(const QString& deviceId, const QString& buttonId) { dispatch_->stopRepeat(deviceId, buttonId); }

double AppModel::repeatPeriod(double repeatSpeed) { return ButtonDispatch::repeatPeriod(repeatSpeed); }

bool AppModel::isRepeating(const QString& deviceId, const QString& buttonId) const
{
    return dispatch_->isRepeating(deviceId, buttonId);
}

std::size_t AppModel::repeatTaskCount() const { return dispatch_->repeatTaskCount(); }

// ---------------------------------------------------------------- feeds

void AppModel::appendLog(const QString& message) { feeds_.appendLog(message); }

void AppModel::clearLogs() { feeds_.clearLogs(); }

void AppModel::presentAlert(const QString& title, const QString& message, AlertMessage::Severity severity)
{
    feeds_.presentAlert(title, message, severity);
}

void AppModel::dismissAlert(const QUuid& alertId) { feeds_.dismissAlert(alertId); }

void AppModel::handleStoreMessage(const QString& title, const QString& message)
{
    feeds_.handleStoreMessage(title, message);
}

void AppModel::appendHIDSample(const RawHIDSample& sample) { feeds_.appendHIDSample(sample); }

void AppModel::clearHIDEvents() { feeds_.clearHIDEvents(); }

// ---------------------------------------------------------------- devices, default mappings, lighting

void AppModel::ensureDefaultMappings(const QString& deviceId)
{
    const QUuid userId = profileStore_->activeUserProfile().id;
    const PacsProfile pacs = activePacsProfile();
    const QList<ButtonMapping> defaults = ProfileTemplates::defaultMappings(pacs.name, pacs.tools, deviceId);
    profileStore_->fillUnmappedButtons(deviceId, defaults, userId);
}

void AppModel::ensureDefaultMappingsForConnectedDevices()
{
    QSet<QString> deviceIds;
    for (const ConnectedDeviceInfo& info : connectedDevices_.get())
        if (info.templateId)
            deviceIds.insert(*info.templateId);
    deviceIds.insert(inputSource_->activeDevice().get().id);
    for (const QString& deviceId : deviceIds)
        ensureDefaultMappings(deviceId);
}

void AppModel::pushMappedButtons()
{
    inputSource_->hidSource().setMappedButtonsOf(profileStore_->activeUserProfile().mappings);
}

void AppModel::applyKeypadLighting()
{
    const UserProfile user = profileStore_->activeUserProfile();
    const PacsProfile pacs = activePacsProfile();
    std::optional<QString> hex = user.lightingHex;
    if (!hex)
        hex = pacs.defaultLightingHex;
    if (!hex)
        hex = ProfileTemplates::defaultLightingHex(pacs.name);

    std::optional<RazerRGB> colour;
    if (const std::optional<RgbBytes> rgb = parseHexColor(hex))
        colour = RazerRGB::from(*rgb);
    inputSource_->hidSource().setLighting(colour);
}

QList<Device> AppModel::availableDevices() const
{
    QSet<QString> ids;
    for (const ConnectedDeviceInfo& info : connectedDevices_.get())
        if (!info.ignored && info.templateId)
            ids.insert(*info.templateId);
    // In the order of the templates, so menus do not reshuffle.
    QList<Device> devices = Device::allTemplates();
    devices.removeIf([&](const Device& device) { return !ids.contains(device.id); });
    return devices;
}

void AppModel::selectDevice(const QString& id)
{
    const QList<Device> devices = availableDevices();
    if (std::none_of(devices.begin(), devices.end(), [&](const Device& device) { return device.id == id; }))
        return;
    inputSource_->selectDevice(id);
    profileStore_->setSelectedDeviceId(id, profileStore_->activeUserProfile().id);
}

// ---------------------------------------------------------------- side files

const Published<AppModel::LayoutOverrides>& AppModel::overlayOverrides() const { return layouts_->overrides(); }

const QString& AppModel::layoutOverridesURL() const { return layouts_->path(); }

std::optional<NormalizedRect> AppModel::overlayFrame(const DeviceButton& button, const QString& deviceId) const
{
    return layouts_->overlayFrame(button, deviceId);
}

void AppModel::setOverlayFrame(const NormalizedRect& rect, const QString& buttonId, const QString& deviceId)
{
    layouts_->setOverlayFrame(rect, buttonId, deviceId);
}

void AppModel::resetLayout(const QString& deviceId) { layouts_->resetLayout(deviceId); }

void AppModel::importLayout(const QString& path) { layouts_->importLayout(path); }

void AppModel::importLayoutsFromBundle() { layouts_->importLayoutsFromBundle(); }

void AppModel::saveLayoutOverrides() { layouts_->save(); }

const AppModel::CustomUsageMap& AppModel::customUsageMap() const { return customUsages_->map(); }

QString AppModel::customUsagesURL() const { return customUsages_->path(); }

void AppModel::setCustomUsageName(const RawHIDSample& sample, const QString& name)
{
    if (customUsages_->setName(sample, name))
        inputSource_->hidSource().setCustomUsageMap(customUsages_->map());
}

void AppModel::loadCustomUsages()
{
    customUsages_->load();
    inputSource_->hidSource().setCustomUsageMap(customUsages_->map());
}

void AppModel::saveCustomUsages() { customUsages_->save(); }

} // namespace velmor
