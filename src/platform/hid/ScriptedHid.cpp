#include "platform/hid/ScriptedHid.h"

#include "platform/MainQueue.h"

#include <QSet>

#include <mutex>

namespace velmor::hid {

namespace {

struct ManagerState {
    std::mutex mutex;
    QList<Match> matches;
    Manager::DeviceCallback matched;
    Manager::DeviceCallback removed;
    Manager::ValueCallback values;
    bool open = false;
    bool scheduled = false;
    QSet<HandleId> announced; // devices reported as matched and not yet as removed
};

bool matchesAny(const QList<Match>& matches, const Device& device)
{
    const auto vendor = device.integerProperty(property::vendorId);
    const auto product = device.integerProperty(property::productId);
    return vendor && product && matches.contains(Match{*vendor, *product});
}

// Posts one matched or removed report; it is dropped when the manager is gone
// or no longer scheduled by then.
void postDeviceReport(const std::shared_ptr<ManagerState>& state, std::shared_ptr<ScriptedDevice> device,
    Manager::DeviceCallback ManagerState::*which)
{
    postToMain([weak = std::weak_ptr<ManagerState>(state), device = std::move(device), which] {
        auto s = weak.lock();
        if (!s)
            return;
        Manager::DeviceCallback callback;
        {
            const std::lock_guard lock(s->mutex);
            if (!s->scheduled)
                return;
            callback = (*s).*which;
        }
        if (callback)
            callback(device);
    });
}

} // namespace

struct detail::ScriptedBus {
    mutable std::mutex mutex;
    QList<std::shared_ptr<ScriptedDevice>> devices;
    QList<std::weak_ptr<ManagerState>> managers;
    ScriptedFailures managerFailures;
    QStringList managerCalls;

    // Reports `device` to `state` as matched when it matches; bus mutex held.
    static void offer(const std::shared_ptr<ManagerState>& state, const std::shared_ptr<ScriptedDevice>& device)
    {
        const std::lock_guard lock(state->mutex);
        if (!state->scheduled || state->announced.contains(device->handleId()) || !matchesAny(state->matches, *device))
            return;
        state->announced.insert(device->handleId());
        postDeviceReport(state, device, &ManagerState::matched);
    }

    QList<std::shared_ptr<ManagerState>> liveManagers()
    {
        QList<std::shared_ptr<ManagerState>> live;
        managers.removeIf([](const auto& weak) { return weak.expired(); });
        for (const auto& weak : std::as_const(managers))
            if (auto state = weak.lock())
                live.append(state);
        return live;
    }

    void routeValue(const Value& value)
    {
        QList<Manager::ValueCallback> callbacks;
        {
            const std::lock_guard lock(mutex);
            for (const auto& state : liveManagers()) {
                const std::lock_guard stateLock(state->mutex);
                if (state->open && state->scheduled && state->values
                    && state->announced.contains(value.device->handleId()))
                    callbacks.append(state->values);
            }
        }
        for (const auto& callback : std::as_const(callbacks))
            callback(Result::success(), value);
    }
};

namespace {

class ScriptedManager final : public Manager {
public:
    explicit ScriptedManager(std::shared_ptr<detail::ScriptedBus> bus)
        : bus_(std::move(bus))
        , state_(std::make_shared<ManagerState>())
    {
        const std::lock_guard lock(bus_->mutex);
        bus_->managers.append(state_);
    }

    void setDeviceMatching(const QList<Match>& matches) override
    {
        const std::lock_guard lock(state_->mutex);
        state_->matches = matches;
    }
    void setDeviceMatchedCallback(DeviceCallback callback) override
    {
        const std::lock_guard lock(state_->mutex);
        state_->matched = std::move(callback);
    }
    void setDeviceRemovedCallback(DeviceCallback callback) override
    {
        const std::lock_guard lock(state_->mutex);
        state_->removed = std::move(callback);
    }
    void setInputValueCallback(ValueCallback callback) override
    {
        const std::lock_guard lock(state_->mutex);
        state_->values = std::move(callback);
    }

    Result open() override { return openOrClose(true); }
    Result close() override { return openOrClose(false); }

    void scheduleWithMainLoop() override
    {
        {
            const std::lock_guard lock(state_->mutex);
            state_->scheduled = true;
        }
        const std::lock_guard lock(bus_->mutex);
        bus_->managerCalls.append(QStringLiteral("schedule"));
        for (const auto& device : std::as_const(bus_->devices))
            detail::ScriptedBus::offer(state_, device);
    }

    void unscheduleFromMainLoop() override
    {
        {
            const std::lock_guard lock(bus_->mutex);
            bus_->managerCalls.append(QStringLiteral("unschedule"));
        }
        const std::lock_guard lock(state_->mutex);
        state_->scheduled = false;
        state_->announced.clear();
    }

private:
    Result openOrClose(bool open)
    {
        Result result;
        {
            const std::lock_guard lock(bus_->mutex);
            bus_->managerCalls.append(open ? QStringLiteral("open") : QStringLiteral("close"));
            result = bus_->managerFailures.take(open ? ScriptedCall::managerOpen : ScriptedCall::managerClose)
                         .value_or(Result::success());
        }
        if (result.isSuccess()) {
            const std::lock_guard lock(state_->mutex);
            state_->open = open;
        }
        return result;
    }

    std::shared_ptr<detail::ScriptedBus> bus_;
    std::shared_ptr<ManagerState> state_;
};

} // namespace

ScriptedHid::ScriptedHid()
    : bus_(std::make_shared<detail::ScriptedBus>())
{
    Manager::setFactory([bus = bus_] { return std::make_unique<ScriptedManager>(bus); });
}

ScriptedHid::~ScriptedHid()
{
    Manager::setFactory({});
    const std::lock_guard lock(bus_->mutex);
    for (const auto& device : std::as_const(bus_->devices))
        device->detach();
}

std::shared_ptr<ScriptedDevice> ScriptedHid::plug(QVariantMap properties, QList<Element> elements)
{
    auto device = std::make_shared<ScriptedDevice>(std::move(properties), std::move(elements));
    device->attach([weak = std::weak_ptr<detail::ScriptedBus>(bus_)](const Value& value) {
        if (auto bus = weak.lock())
            bus->routeValue(value);
    });
    const std::lock_guard lock(bus_->mutex);
    bus_->devices.append(device);
    for (const auto& state : bus_->liveManagers())
        detail::ScriptedBus::offer(state, device);
    return device;
}

std::shared_ptr<ScriptedDevice> ScriptedHid::plug(std::int64_t vendorId, std::int64_t productId,
    const std::optional<QString>& product, QVariantMap more, QList<Element> elements)
{
    more.insert(property::vendorId, QVariant::fromValue<qint64>(vendorId));
    more.insert(property::productId, QVariant::fromValue<qint64>(productId));
    if (product)
        more.insert(property::product, *product);
    return plug(std::move(more), std::move(elements));
}

void ScriptedHid::unplug(const std::shared_ptr<ScriptedDevice>& device)
{
    const std::lock_guard lock(bus_->mutex);
    if (!bus_->devices.removeOne(device))
        return;
    device->detach();
    for (const auto& state : bus_->liveManagers()) {
        const std::lock_guard stateLock(state->mutex);
        if (state->announced.remove(device->handleId()))
            postDeviceReport(state, device, &ManagerState::removed);
    }
}

ScriptedFailures& ScriptedHid::managerFailures() { return bus_->managerFailures; }

QStringList ScriptedHid::managerCalls() const
{
    const std::lock_guard lock(bus_->mutex);
    return bus_->managerCalls;
}

std::unique_ptr<Manager> ScriptedHid::createIdleManager()
{
    static const auto idle = std::make_shared<detail::ScriptedBus>();
    return std::make_unique<ScriptedManager>(idle);
}

} // namespace velmor::hid
