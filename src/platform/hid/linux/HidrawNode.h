#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace velmor::hid {

// One hidraw node and the HID device (one interface of the hardware) it
// belongs to, as sysfs describes them.
struct HidrawNode {
    QString syspath;    // the hidraw device: <HID device>/hidraw/hidrawN
    QString devnode;    // /dev/hidrawN
    QString hidSyspath; // the HID device: .../BBBB:VVVV:PPPP.NNNN
    std::int64_t vendorId = 0;
    std::int64_t productId = 0;
    // The USB product string; the kernel's device name where there is none.
    std::optional<QString> product;

    // Reads the node's HID device from sysfs; none when `syspath` is no hidraw
    // device of a HID device with ids.
    static std::optional<HidrawNode> fromSysfs(const QString& syspath, const QString& devnode);

    // The evdev nodes the kernel made for the same HID device (its keys, buttons
    // and wheel), below `devRoot`.
    QStringList evdevNodes(const QString& devRoot = QStringLiteral("/dev")) const;

    // The report descriptor as sysfs shows it; empty when it cannot be read.
    QByteArray sysfsReportDescriptor() const;

    bool operator==(const HidrawNode&) const = default;
};

} // namespace velmor::hid
