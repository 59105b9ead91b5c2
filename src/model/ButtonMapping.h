#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>

namespace velmor {

// Binds one button of one device to one tool of the user profile's PACS profile.
// Nothing here checks that the device, button or tool exists.
struct ButtonMapping {
    QUuid id;
    QString deviceId;
    QString buttonId;
    QUuid toolId;

    bool operator==(const ButtonMapping& other) const;

    QJsonObject toJson() const;
    static ButtonMapping fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const ButtonMapping& mapping, size_t seed = 0) noexcept;

} // namespace velmor
