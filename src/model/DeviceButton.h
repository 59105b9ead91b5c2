#pragma once

#include "model/DeviceButtonKind.h"
#include "model/NormalizedRect.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor {

// One control of a device. Mappings and button events name it by `id` together
// with the device's id.
struct DeviceButton {
    QString id;
    QString displayLabel;
    DeviceButtonKind kind = DeviceButtonKind::button;
    // Place on the layout canvas; without one the views put the button on their default grid.
    std::optional<NormalizedRect> overlayFrame;
    // Other names of the button, in order.
    QStringList aliases;

    // Every field, texts exactly, aliases in order.
    bool operator==(const DeviceButton&) const = default;

    // Throws std::invalid_argument when the frame has a non-finite component.
    QJsonObject toJson() const;
    static DeviceButton fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const DeviceButton& button, size_t seed = 0) noexcept;

} // namespace velmor
