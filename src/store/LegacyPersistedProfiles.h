#pragma once

#include "model/ButtonMapping.h"
#include "model/RadiologyTool.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// A profile of the older format: its own tools, and mappings into them.
struct LegacyProfile {
    QUuid id;
    QString name;
    QList<RadiologyTool> tools;
    QList<ButtonMapping> mappings;
    std::optional<QString> selectedDeviceId;

    bool operator==(const LegacyProfile&) const = default;

    QJsonObject toJson() const;
    static LegacyProfile fromJson(const QJsonValue& value, const QString& path = {});
};

// The older root of profiles.json. Only read, then migrated; the encoder exists
// for symmetry and fixtures.
struct LegacyPersistedProfiles {
    // Carried, never interpreted.
    qint64 version = 0;
    std::optional<QUuid> activeProfileId;
    QList<LegacyProfile> profiles;

    bool operator==(const LegacyPersistedProfiles&) const = default;

    QJsonObject toJson() const;
    static LegacyPersistedProfiles fromJson(const QJsonValue& value, const QString& path = {});
};

} // namespace velmor
