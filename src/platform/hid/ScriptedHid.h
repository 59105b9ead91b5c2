#pragma once

#include "platform/hid/Manager.h"
#include "platform/hid/ScriptedDevice.h"

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace velmor::hid {

namespace detail {
struct ScriptedBus;
} // namespace detail

// The scripted HID backend: a machine whose devices a test plugs and unplugs.
// While an instance lives, Manager::create() makes managers that see its
// devices; callbacks arrive on later turns of the main queue, as from hardware.
class ScriptedHid {
public:
    ScriptedHid();
    ~ScriptedHid();
    ScriptedHid(const ScriptedHid&) = delete;
    ScriptedHid& operator=(const ScriptedHid&) = delete;

    std::shared_ptr<ScriptedDevice> plug(QVariantMap properties, QList<Element> elements = {});
    // A device with the vendor, product and (when given) product name
    // properties, plus `more`.
    std::shared_ptr<ScriptedDevice> plug(std::int64_t vendorId, std::int64_t productId,
                                         const std::optional<QString>& product, QVariantMap more = {},
                                         QList<Element> elements = {});
    void unplug(const std::shared_ptr<ScriptedDevice>& device);

    // Failures of manager calls (managerOpen, managerClose), for managers made
    // before or after.
    ScriptedFailures& managerFailures();
    // "open", "close", "schedule", "unschedule" of every manager, in call order.
    QStringList managerCalls() const;

    // A manager over a machine with no devices: for running without hardware.
    static std::unique_ptr<Manager> createIdleManager();

private:
    std::shared_ptr<detail::ScriptedBus> bus_;
};

} // namespace velmor::hid
