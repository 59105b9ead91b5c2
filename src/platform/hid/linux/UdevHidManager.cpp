#include "platform/hid/linux/UdevHidManager.h"

#include "platform/MainQueue.h"
#include "platform/hid/linux/HidrawDevice.h"
#include "platform/hid/linux/HidrawReader.h"

#include <QSocketNotifier>

#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace velmor::hid {

namespace {

struct UdevDeleter {
    void operator()(udev* handle) const { udev_unref(handle); }
    void operator()(udev_monitor* handle) const { udev_monitor_unref(handle); }
    void operator()(udev_enumerate* handle) const { udev_enumerate_unref(handle); }
    void operator()(udev_device* handle) const { udev_device_unref(handle); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

QString text(const char* value) { return value ? QString::fromUtf8(value) : QString(); }

// udevd announces a device once its rules ran (node permissions set); where it
// does not run, the kernel's own event is all there is.
bool udevDaemonRunning() { return ::access("/run/udev/control", F_OK) == 0; }

} // namespace

struct UdevHidManager::State : std::enable_shared_from_this<State> {
    struct Entry {
        std::shared_ptr<HidrawDevice> device;
        std::unique_ptr<HidrawReader> reader;
    };

    // Guarded: may be set from any thread.
    std::mutex mutex;
    QList<Match> matches;
    DeviceCallback matched;
    DeviceCallback removed;
    // Shared, so that each value takes it out from under the lock without a copy.
    std::shared_ptr<const ValueCallback> values;
    bool open = false;
    bool scheduled = false;

    // Main thread only.
    UdevPtr<udev> context;
    UdevPtr<udev_monitor> monitor;
    std::unique_ptr<QSocketNotifier> monitorNotifier;
    std::map<QString, Entry> entries; // by the hidraw node's syspath

    void start();
    void stop();
    void enumerate();
    void receiveMonitorEvents();
    void nodeAdded(const QString& syspath, const QString& devnode);
    void nodeRemoved(const QString& syspath, const std::shared_ptr<HidrawDevice>& expected = {});
    bool matchesAny(const HidrawNode& node);
    void routeValue(const Value& value);
    void post(const std::shared_ptr<HidrawDevice>& device, DeviceCallback State::*which);
};

void UdevHidManager::State::start()
{
    context.reset(udev_new());
    if (!context)
        return;
    monitor.reset(udev_monitor_new_from_netlink(context.get(), udevDaemonRunning() ? "udev" : "kernel"));
    if (monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) >= 0
        && udev_monitor_enable_receiving(monitor.get()) >= 0) {
        monitorNotifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor.get()), QSocketNotifier::Read);
        QObject::connect(monitorNotifier.get(), &QSocketNotifier::activated,
                         [weak = weak_from_this()] {
                             if (auto self = weak.lock())
                                 self->receiveMonitorEvents();
                         });
    } else {
        monitor.reset(); // no hot-plug, but the devices present still count
    }
    // After the monitor is listening, so that nothing arrives unseen.
    enumerate();
}

void UdevHidManager::State::stop()
{
    monitorNotifier.reset();
    monitor.reset();
    for (auto& [syspath, entry] : entries)
        entry.device->setValueRoute(nullptr);
    entries.clear();
    context.reset();
}

void UdevHidManager::State::enumerate()
{
    const UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "hidraw") < 0
        || udev_enumerate_scan_devices(enumeration.get()) < 0)
        return;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(enumeration.get()))
    {
        const UdevPtr<udev_device> device(udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(item)));
        if (device)
            nodeAdded(text(udev_device_get_syspath(device.get())), text(udev_device_get_devnode(device.get())));
    }
}

void UdevHidManager::State::receiveMonitorEvents()
{
    while (monitor) {
        const UdevPtr<udev_device> device(udev_monitor_receive_device(monitor.get()));
        if (!device)
            return;
        if (text(udev_device_get_subsystem(device.get())) != QLatin1String("hidraw"))
            continue;
        const QString action = text(udev_device_get_action(device.get()));
        const QString syspath = text(udev_device_get_syspath(device.get()));
        if (action == QLatin1String("add"))
            nodeAdded(syspath, text(udev_device_get_devnode(device.get())));
        else if (action == QLatin1String("remove"))
            nodeRemoved(syspath);
    }
}

bool UdevHidManager::State::matchesAny(const HidrawNode& node)
{
    const std::lock_guard lock(mutex);
    return matches.contains(Match{node.vendorId, node.productId});
}

void UdevHidManager::State::nodeAdded(const QString& syspath, const QString& devnode)
{
    if (syspath.isEmpty() || devnode.isEmpty() || entries.contains(syspath))
        return;
    const std::optional<HidrawNode> node = HidrawNode::fromSysfs(syspath, devnode);
    if (!node || !matchesAny(*node))
        return;

    const std::shared_ptr<HidrawDevice> device = HidrawDevice::create(*node);
    const std::weak_ptr<State> weakSelf = weak_from_this();
    const std::weak_ptr<HidrawDevice> weakDevice = device;
    auto reader = std::make_unique<HidrawReader>(
        devnode,
        [weakDevice](const QByteArray& report) {
            if (auto target = weakDevice.lock())
                target->deliverReport(report);
        },
        [weakSelf, weakDevice, syspath] {
            // Not from inside the reader: removal destroys it.
            postToMain([weakSelf, weakDevice, syspath] {
                auto self = weakSelf.lock();
                auto gone = weakDevice.lock();
                if (self && gone)
                    self->nodeRemoved(syspath, gone);
            });
        });
    if (!reader->isOpen() && (reader->openError() == ENOENT || reader->openError() == ENODEV))
        return; // gone again already
    // A node we may not read is still matched: it can be listed and seized.
    device->setValueRoute([weakSelf](const Value& value) {
        if (auto self = weakSelf.lock())
            self->routeValue(value);
    });
    entries.emplace(syspath, Entry{device, std::move(reader)});
    post(device, &State::matched);
}

void UdevHidManager::State::nodeRemoved(const QString& syspath, const std::shared_ptr<HidrawDevice>& expected)
{
    const auto found = entries.find(syspath);
    if (found == entries.end() || (expected && found->second.device != expected))
        return;
    const std::shared_ptr<HidrawDevice> device = found->second.device;
    entries.erase(found);
    device->detach();
    post(device, &State::removed);
}

void UdevHidManager::State::routeValue(const Value& value)
{
    std::shared_ptr<const ValueCallback> callback;
    {
        const std::lock_guard lock(mutex);
        if (open && scheduled)
            callback = values;
    }
    if (callback)
        (*callback)(Result::success(), value);
}

// Matched and removed callbacks run on a later turn, and only while the
// manager is still there and scheduled then.
void UdevHidManager::State::post(const std::shared_ptr<HidrawDevice>& device, DeviceCallback State::*which)
{
    postToMain([weak = weak_from_this(), device, which] {
        auto self = weak.lock();
        if (!self)
            return;
        DeviceCallback callback;
        {
            const std::lock_guard lock(self->mutex);
            if (!self->scheduled)
                return;
            callback = (*self).*which;
        }
        if (callback)
            callback(device);
    });
}

UdevHidManager::UdevHidManager()
    : state_(std::make_shared<State>())
{
}

UdevHidManager::~UdevHidManager()
{
    state_->stop();
}

void UdevHidManager::setDeviceMatching(const QList<Match>& matches)
{
    const std::lock_guard lock(state_->mutex);
    state_->matches = matches;
}

void UdevHidManager::setDeviceMatchedCallback(DeviceCallback callback)
{
    const std::lock_guard lock(state_->mutex);
    state_->matched = std::move(callback);
}

void UdevHidManager::setDeviceRemovedCallback(DeviceCallback callback)
{
    const std::lock_guard lock(state_->mutex);
    state_->removed = std::move(callback);
}

void UdevHidManager::setInputValueCallback(ValueCallback callback)
{
    const std::lock_guard lock(state_->mutex);
    state_->values = callback ? std::make_shared<const ValueCallback>(std::move(callback)) : nullptr;
}

Result UdevHidManager::open()
{
    const std::lock_guard lock(state_->mutex);
    state_->open = true;
    return Result::success();
}

Result UdevHidManager::close()
{
    const std::lock_guard lock(state_->mutex);
    state_->open = false;
    return Result::success();
}

void UdevHidManager::scheduleWithMainLoop()
{
    {
        const std::lock_guard lock(state_->mutex);
        if (state_->scheduled)
            return;
        state_->scheduled = true;
    }
    state_->start();
}

void UdevHidManager::unscheduleFromMainLoop()
{
    {
        const std::lock_guard lock(state_->mutex);
        if (!state_->scheduled)
            return;
        state_->scheduled = false;
    }
    state_->stop();
}

void UdevHidManager::installAsDefault()
{
    Manager::setFactory([] { return std::make_unique<UdevHidManager>(); });
}

} // namespace velmor::hid
