#include "input/HIDDeviceInputSource.h"

#include "input/LogFormat.h"
#include "input/SuppressionTap.h"
#include "input/TartarusKeyboardReader.h"
#include "platform/MainQueue.h"
#include "platform/Text.h"
#include "platform/hid/Manager.h"
#include "platform/permissions/Permissions.h"

#include <algorithm>

namespace velmor {

namespace {

QString nameOrUnknown(const std::optional<QString>& name) { return name.value_or(QStringLiteral("Unknown")); }

const Device* findTemplate(const QList<Device>& devices, const QString& id)
{
    const auto it = std::find_if(devices.begin(), devices.end(), [&](const Device& d) { return d.id == id; });
    return it == devices.end() ? nullptr : &*it;
}

} // namespace

// The last owner may let go inside work running on one of the source's own
// queues; tearing down the manager and the queues must then happen on the main
// queue instead of on that worker.
struct HIDDeviceInputSource::Deleter {
    void operator()(HIDDeviceInputSource* source) const
    {
        if (source->deviceQueue_->isCurrent() || (source->values_ && source->values_->isOnQueue()))
            postToMain([source] { delete source; });
        else
            delete source;
    }
};

// ---------------------------------------------------------------- set-up and teardown

std::shared_ptr<HIDDeviceInputSource> HIDDeviceInputSource::create(bool isFreshInstall)
{
    std::shared_ptr<HIDDeviceInputSource> source(new HIDDeviceInputSource(isFreshInstall), Deleter{});
    source->setUpSuppression();
    source->start();
    return source;
}

void HIDDeviceInputSource::setUpSuppression()
{
    const std::weak_ptr<HIDDeviceInputSource> weak = weak_from_this();
    const auto log = [weak](const QString& line) {
        if (auto self = weak.lock())
            self->log(line);
    };
    suppression_ = SuppressionTap::create(log, [] { return Permissions::instance().preflightInputMonitoring(); });
    keyboardReader_ = TartarusKeyboardReader::create(
        [weak](const hid::Value& value) {
            if (auto self = weak.lock())
                self->handleInputValue(value);
        },
        log);
    HIDValuePath::Host& host = *this;
    values_ = std::make_unique<HIDValuePath>(host, ignoreList_, suppression_);
}

HIDDeviceInputSource::HIDDeviceInputSource(bool isFreshInstall)
    : devices_(Device::allTemplates())
    , activeDevice_(Device::tartarusTemplate())
    , manager_(hid::Manager::create())
    , ignoreList_(isFreshInstall)
    , lighting_([this](const QString& line) { log(line); })
    , deviceQueue_(SerialQueue::create(QStringLiteral("com.velmor.devicequeue")))
{
}

HIDDeviceInputSource::~HIDDeviceInputSource()
{
    // Every seized device goes back to the system now, as closing the manager
    // does on other platforms, not whenever the last reference to it goes.
    deviceQueue_->sync([this] {
        for (const hid::HandleId id : std::as_const(seizedDevices_))
            if (const auto it = attachedDevices_.find(id); it != attachedDevices_.end())
                it->second.device->close(hid::OpenOptions::seize);
        seizedDevices_.clear();
    });
    if (runLoopScheduled_) {
        manager_->unscheduleFromMainLoop();
        runLoopScheduled_ = false;
    }
    manager_->close();
    manager_->setDeviceMatchedCallback({});
    manager_->setDeviceRemovedCallback({});
    manager_->setInputValueCallback({});
}

void HIDDeviceInputSource::start()
{
    if (started_)
        return;
    started_ = true;

    QList<hid::Match> matches;
    for (const auto& [pair, templateId] : deviceMap())
        matches.append({pair.vendor, pair.product});
    manager_->setDeviceMatching(matches);

    const std::weak_ptr<HIDDeviceInputSource> weak = weak_from_this();
    manager_->setDeviceMatchedCallback([weak](const std::shared_ptr<hid::Device>& device) {
        if (auto self = weak.lock())
            self->deviceMatched(device);
    });
    manager_->setDeviceRemovedCallback([weak](const std::shared_ptr<hid::Device>& device) {
        if (auto self = weak.lock())
            self->deviceLeft(device);
    });
    manager_->setInputValueCallback([weak](hid::Result, const hid::Value& value) {
        if (auto self = weak.lock())
            self->handleInputValue(value);
    });

    if (const hid::Result result = manager_->open(); !result.isSuccess())
        log(QStringLiteral("HID manager open failed: ") + logformat::result(result));
    manager_->scheduleWithMainLoop();
    runLoopScheduled_ = true;
}

// ---------------------------------------------------------------- shared state

std::optional<QString> HIDDeviceInputSource::connectedTemplateId() const
{
    const std::lock_guard lock(connectionMutex_);
    return connectedTemplateId_;
}

std::optional<VendorProduct> HIDDeviceInputSource::connectedKey() const
{
    const std::lock_guard lock(connectionMutex_);
    return connectedKey_;
}

void HIDDeviceInputSource::setConnection(std::optional<QString> templateId, std::optional<VendorProduct> key)
{
    const std::lock_guard lock(connectionMutex_);
    connectedTemplateId_ = std::move(templateId);
    connectedKey_ = key;
}

// ---------------------------------------------------------------- suppression and lighting

bool HIDDeviceInputSource::hasSuppressionTap() const { return suppression_->isInstalled(); }

void HIDDeviceInputSource::setMappedButtons(QHash<QString, QSet<QString>> mapped)
{
    suppression_->setMappedButtons(std::move(mapped));
}

void HIDDeviceInputSource::setMappedButtonsOf(QList<ButtonMapping> mappings)
{
    suppression_->setMappedButtonsOf(std::move(mappings));
}

bool HIDDeviceInputSource::isButtonMapped(const QString& deviceId, const QString& buttonId) const
{
    return suppression_->isButtonMapped(deviceId, buttonId);
}

void HIDDeviceInputSource::armKeySuppression(std::uint32_t keyboardUsage)
{
    suppression_->armKeySuppression(keyboardUsage);
}

void HIDDeviceInputSource::armWheelSuppression(int direction) { suppression_->armWheelSuppression(direction); }

void HIDDeviceInputSource::armWheelClickSuppression() { suppression_->armWheelClickSuppression(); }

void HIDDeviceInputSource::armSpeechMikeMouseSuppression(bool rightButton)
{
    suppression_->armSpeechMikeMouseSuppression(rightButton);
}

void HIDDeviceInputSource::setLighting(std::optional<RazerRGB> colour)
{
    post(*deviceQueue_, [colour](HIDDeviceInputSource& self) { self.lighting_.setColour(colour); });
}

void HIDDeviceInputSource::applyLighting(const RazerRGB& colour, std::shared_ptr<hid::Device> device,
                                         std::optional<QString> name)
{
    post(*deviceQueue_, [colour, device = std::move(device), name = std::move(name)](HIDDeviceInputSource& self) {
        self.lighting_.applyLighting(colour, device, name);
    });
}

void HIDDeviceInputSource::log(const QString& line)
{
    postToMain([weak = weak_from_this(), line] {
        auto self = weak.lock();
        if (self && self->onLog)
            self->onLog(line);
    });
}

void HIDDeviceInputSource::deliver(DeviceButtonEvent event) { send(std::move(event)); }

void HIDDeviceInputSource::deliver(RawHIDSample sample) { send(std::move(sample)); }

void HIDDeviceInputSource::deliverLog(QString line) { send(std::move(line)); }

void HIDDeviceInputSource::send(ValueOutbox::Item item)
{
    // The first item of a batch posts its delivery; the rest ride along. The
    // post holds the source weakly: a source gone by then delivers nothing.
    if (outbox_.add(std::move(item)))
        postToMain([weak = weak_from_this()] {
            if (const auto self = weak.lock())
                self->deliverOutbox();
        });
}

void HIDDeviceInputSource::deliverOutbox()
{
    std::vector<ValueOutbox::Item> items = outbox_.take();
    for (const ValueOutbox::Item& item : items) {
        if (const auto* event = std::get_if<DeviceButtonEvent>(&item)) {
            if (onEvent)
                onEvent(*event);
        } else if (const auto* sample = std::get_if<RawHIDSample>(&item)) {
            if (onRawHIDEvent)
                onRawHIDEvent(*sample);
        } else if (onLog) {
            onLog(std::get<QString>(item));
        }
    }
    outbox_.recycle(std::move(items));
}

// ---------------------------------------------------------------- main thread

void HIDDeviceInputSource::deviceMatched(const std::shared_ptr<hid::Device>& device)
{
    const std::int64_t vendor = device->integerProperty(hid::property::vendorId).value_or(0);
    const std::int64_t product = device->integerProperty(hid::property::productId).value_or(0);
    const std::optional<QString> name = device->stringProperty(hid::property::product);

    if (vendor == 0 && product == 0) {
        log(QStringLiteral("Ignoring HID device with zero VID/PID (") + nameOrUnknown(name) + ')');
        return;
    }
    if (name && text::lowercased(*name).contains(QStringLiteral("virtualhid"))) {
        log(QStringLiteral("Ignoring virtual HID device: ") + *name);
        return;
    }
    post(*deviceQueue_, [vendor, product, device, name](HIDDeviceInputSource& self) {
        self.deviceConnected(vendor, product, device, name);
    });
}

void HIDDeviceInputSource::deviceLeft(const std::shared_ptr<hid::Device>& device)
{
    const std::int64_t vendor = device->integerProperty(hid::property::vendorId).value_or(0);
    const std::int64_t product = device->integerProperty(hid::property::productId).value_or(0);
    post(*deviceQueue_,
        [vendor, product, device](HIDDeviceInputSource& self) { self.deviceRemoved(vendor, product, device); });
}

void HIDDeviceInputSource::listConnectedDevice(const AttachedHIDDevice& attached, bool ignored)
{
    const auto& list = connectedDevices_.get();
    const bool listed = std::any_of(list.begin(), list.end(), [&](const ConnectedDeviceInfo& info) {
        return info.vendorId == attached.key.vendor && info.productId == attached.key.product;
    });
    if (!listed)
        connectedDevices_.mutate([&](QList<ConnectedDeviceInfo>& devices) {
            devices.append({attached.key.vendor, attached.key.product, attached.name, attached.templateId, ignored});
        });
}

void HIDDeviceInputSource::publishConnectedDevice(const AttachedHIDDevice& attached, const Device& device)
{
    listConnectedDevice(attached, false);
    setConnection(device.id, attached.key);
    activeDevice_.set(device);
}

void HIDDeviceInputSource::removeConnectedDevices(const VendorProduct& pair)
{
    connectedDevices_.mutate([&](QList<ConnectedDeviceInfo>& list) {
        list.removeIf([&](const auto& info) { return info.vendorId == pair.vendor && info.productId == pair.product; });
    });
}

void HIDDeviceInputSource::applyFallback(
    const VendorProduct& excluded, const std::optional<FallbackCandidate>& candidate)
{
    // Decided here rather than on the device queue: a device that left before
    // its own publishing ran has taken control by now and must hand it back.
    if (connectedKey() != excluded)
        return;
    const Device* device = candidate ? findTemplate(devices_, candidate->templateId) : nullptr;
    if (device)
        setConnection(device->id, candidate->key);
    else
        setConnection(std::nullopt, std::nullopt);
    activeDevice_.set(device ? *device : Device::tartarusTemplate());
}

// ---------------------------------------------------------------- device queue

void HIDDeviceInputSource::deviceConnected(std::int64_t vendor, std::int64_t product,
    const std::shared_ptr<hid::Device>& device, const std::optional<QString>& name)
{
    const VendorProduct pair{vendor, product};
    const std::optional<QString> templateId = templateIdFor(pair);
    const Device* deviceTemplate = templateId ? findTemplate(devices_, *templateId) : nullptr;
    if (!deviceTemplate) {
        log(QStringLiteral("Connected device vid ") + logformat::id(vendor) + QStringLiteral(" pid ")
            + logformat::id(product) + QStringLiteral(" not in template map; ignoring."));
        return;
    }

    const AttachedHIDDevice attached{device, pair, name, *templateId};
    attachedDevices_.insert_or_assign(device->handleId(), attached);

    if (!ignoreList_.contains(pair)) {
        seizeDevice(attached);
        postToMain([self = shared_from_this(), attached, deviceTemplate = *deviceTemplate] {
            self->publishConnectedDevice(attached, deviceTemplate);
        });
        log(QStringLiteral("Connected hardware ") + nameOrUnknown(name) + QStringLiteral(" vendor ")
            + logformat::id(vendor) + QStringLiteral(" product ") + logformat::id(product)
            + QStringLiteral(" → device ") + deviceTemplate->name);
    } else {
        postToMain([self = shared_from_this(), attached] { self->listConnectedDevice(attached, true); });
        log(QStringLiteral("Velmor control disabled for ") + nameOrUnknown(name) + QStringLiteral(" vid ")
            + logformat::id(vendor) + QStringLiteral(" pid ") + logformat::id(product)
            + QStringLiteral("; leaving it free for other apps."));
    }
}

bool HIDDeviceInputSource::noKeypadOrSpeechMikeRegistered() const
{
    return tartarusDeviceIds_.isEmpty() && speechMikeDeviceIds_.isEmpty();
}

void HIDDeviceInputSource::postSuppressionTapChange(bool install)
{
    postToMain([weak = weak_from_this(), install] {
        if (auto self = weak.lock())
            install ? self->suppression_->installSuppressionTap() : self->suppression_->removeSuppressionTap();
    });
}

void HIDDeviceInputSource::seizeDevice(const AttachedHIDDevice& attached)
{
    const hid::HandleId id = attached.device->handleId();
    const VendorProduct& pair = attached.key;

    if ((pair.vendor == HIDDeviceTable::razerVendorId || pair == HIDDeviceTable::speechMikePair)
        && !seizedDevices_.contains(id)) {
        const hid::Result result = attached.device->open(hid::OpenOptions::seize);
        if (result.isSuccess()) {
            seizedDevices_.insert(id);
            log(QStringLiteral("Seized HID device ") + nameOrUnknown(attached.name)
                + QStringLiteral(" to suppress factory defaults."));
        } else {
            log(QStringLiteral("Failed to seize HID device ") + nameOrUnknown(attached.name) + QStringLiteral(" (")
                + logformat::result(result) + QStringLiteral("). Factory defaults may still fire."));
        }
    }

    if (isTartarusPair(pair)) {
        const bool firstRegistration = noKeypadOrSpeechMikeRegistered();
        tartarusDeviceIds_.insert(id);
        lighting_.addTarget(attached.device, attached.name);
        keyboardReader_->registerTartarusKeyboardReader(attached.device, static_cast<int>(pair.product));
        suppression_->tartarusRegistered(static_cast<int>(pair.product));
        if (firstRegistration)
            postSuppressionTapChange(true);
    }

    registerSpeechMike(id, pair);
}

void HIDDeviceInputSource::registerSpeechMike(hid::HandleId id, const VendorProduct& pair)
{
    if (pair != speechMikePair)
        return;
    suppression_->speechMikeRegistered();
    if (!tartarusDeviceIds_.isEmpty()) {
        speechMikeDeviceIds_.insert(id);
        return;
    }
    const bool wasEmpty = speechMikeDeviceIds_.isEmpty();
    speechMikeDeviceIds_.insert(id);
    if (wasEmpty)
        postSuppressionTapChange(true);
}

void HIDDeviceInputSource::deviceRemoved(
    std::int64_t vendor, std::int64_t product, const std::shared_ptr<hid::Device>& device)
{
    const VendorProduct pair{vendor, product};
    const hid::HandleId id = device->handleId();

    if (const auto deviceId = templateIdFor(pair) ? templateIdFor(pair) : connectedTemplateId())
        releasePressedButtons(*deviceId);
    if (seizedDevices_.remove(id))
        device->close(hid::OpenOptions::seize);
    forgetTartarusDevice(id, pair);
    forgetSpeechMikeDevice(id, pair);

    if (attachedDevices_.erase(id) == 0)
        return;
    const bool pairStillAttached = std::any_of(
        attachedDevices_.begin(), attachedDevices_.end(), [&](const auto& entry) { return entry.second.key == pair; });
    if (pairStillAttached)
        return;

    postToMain([self = shared_from_this(), pair] { self->removeConnectedDevices(pair); });
    selectFallbackDevice(pair);
    log(QStringLiteral("Hardware disconnected vendor ") + logformat::id(vendor) + QStringLiteral(" product ")
        + logformat::id(product));
}

void HIDDeviceInputSource::forgetTartarusDevice(hid::HandleId id, const VendorProduct& pair)
{
    if (!isTartarusPair(pair))
        return;
    tartarusDeviceIds_.remove(id);
    lighting_.forgetTarget(id);
    keyboardReader_->unregisterTartarusKeyboardReader(id);
    suppression_->tartarusForgotten(!tartarusDeviceIds_.isEmpty());
    if (noKeypadOrSpeechMikeRegistered())
        postSuppressionTapChange(false);
}

void HIDDeviceInputSource::forgetSpeechMikeDevice(hid::HandleId id, const VendorProduct& pair)
{
    if (pair != speechMikePair)
        return;
    speechMikeDeviceIds_.remove(id);
    suppression_->speechMikeForgotten(!speechMikeDeviceIds_.isEmpty());
    if (noKeypadOrSpeechMikeRegistered())
        postSuppressionTapChange(false);
}

void HIDDeviceInputSource::releasePressedButtons(const QString& deviceId)
{
    const QStringList released = values_->releaseDevice(deviceId);
    if (released.isEmpty())
        return;
    postToMain([weak = weak_from_this(), deviceId, released] {
        auto self = weak.lock();
        if (!self || !self->onEvent)
            return;
        for (const QString& buttonId : released)
            self->onEvent(DeviceButtonEvent{
                .deviceId = deviceId, .buttonId = buttonId, .isPressed = false, .supportsHoldRepeat = true});
    });
}

void HIDDeviceInputSource::selectFallbackDevice(const VendorProduct& excluded)
{
    std::optional<FallbackCandidate> candidate;
    for (const auto& [id, attached] : attachedDevices_) {
        if (attached.key == excluded || ignoreList_.contains(attached.key))
            continue;
        candidate = FallbackCandidate{attached.key, attached.templateId};
        break;
    }
    postToMain([self = shared_from_this(), excluded, candidate] { self->applyFallback(excluded, candidate); });
}

// ---------------------------------------------------------------- ignore list

void HIDDeviceInputSource::disableControl(std::int64_t vendorId, std::int64_t productId)
{
    post(*deviceQueue_, [pair = VendorProduct{vendorId, productId}](HIDDeviceInputSource& self) {
        if (!self.ignoreList_.insert(pair))
            return;
        for (const auto& [id, attached] : self.attachedDevices_) {
            if (attached.key != pair)
                continue;
            self.releasePressedButtons(attached.templateId);
            if (self.seizedDevices_.remove(id))
                attached.device->close(hid::OpenOptions::seize);
            self.forgetTartarusDevice(id, pair);
            self.forgetSpeechMikeDevice(id, pair);
        }
        postToMain([source = self.shared_from_this(), pair] { source->setConnectedDevicesIgnored(true, pair); });
        // Hands control on when the released pair had it (decided on the main
        // queue, after the publishing of devices that arrived before this call).
        self.selectFallbackDevice(pair);
        self.log(QStringLiteral("Velmor control disabled for vid ") + logformat::id(pair.vendor)
                 + QStringLiteral(" pid ") + logformat::id(pair.product)
                 + QStringLiteral("; device released for other apps."));
    });
}

void HIDDeviceInputSource::enableControl(std::int64_t vendorId, std::int64_t productId)
{
    post(*deviceQueue_, [pair = VendorProduct{vendorId, productId}](HIDDeviceInputSource& self) {
        if (!self.ignoreList_.remove(pair))
            return;
        std::optional<QString> templateId;
        for (const auto& [id, attached] : self.attachedDevices_) {
            if (attached.key != pair)
                continue;
            self.seizeDevice(attached);
            if (!templateId)
                templateId = attached.templateId;
        }
        postToMain([source = self.shared_from_this(), pair, templateId] {
            source->takeBackControl(pair, templateId);
        });
        self.log(QStringLiteral("Velmor control enabled for vid ") + logformat::id(pair.vendor)
                 + QStringLiteral(" pid ") + logformat::id(pair.product) + QStringLiteral("."));
    });
}

void HIDDeviceInputSource::setConnectedDevicesIgnored(bool ignored, const VendorProduct& pair)
{
    QList<ConnectedDeviceInfo> list = connectedDevices_.get();
    for (ConnectedDeviceInfo& info : list)
        if (info.vendorId == pair.vendor && info.productId == pair.product)
            info.ignored = ignored;
    connectedDevices_.set(std::move(list));
}

void HIDDeviceInputSource::takeBackControl(const VendorProduct& pair, const std::optional<QString>& templateId)
{
    setConnectedDevicesIgnored(false, pair);
    const Device* device = templateId ? findTemplate(devices_, *templateId) : nullptr;
    if (!device)
        return;
    setConnection(device->id, pair);
    activeDevice_.set(*device);
}

} // namespace velmor
