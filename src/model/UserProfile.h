#pragma once

#include "model/ButtonMapping.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// One user's button mappings, made against the tools of one PACS profile.
struct UserProfile {
    QUuid id;
    QString name;
    QUuid pacsProfileId;
    QList<ButtonMapping> mappings;
    // The device the user last worked on.
    std::optional<QString> selectedDeviceId;
    // The profile's own lighting; when absent the PACS profile's default applies.
    // Kept as stored: the colour parser checks it where it is used.
    std::optional<QString> lightingHex;

    bool operator==(const UserProfile& other) const;

    QJsonObject toJson() const;
    static UserProfile fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const UserProfile& profile, size_t seed = 0) noexcept;

} // namespace velmor
