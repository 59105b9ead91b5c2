#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// The root of profiles.json, and the cloud payload in the same encoding.
struct PersistedProfiles {
    static constexpr qint64 currentVersion = 6;

    // Carried as read; only the current version counts as unmigrated.
    qint64 version = currentVersion;
    std::optional<QUuid> activePacsProfileId;
    std::optional<QUuid> activeUserProfileId;
    QList<PacsProfile> pacsProfiles;
    QList<UserProfile> userProfiles;

    bool operator==(const PersistedProfiles&) const = default;

    QJsonObject toJson() const;
    static PersistedProfiles fromJson(const QJsonValue& value, const QString& path = {});
};

} // namespace velmor
