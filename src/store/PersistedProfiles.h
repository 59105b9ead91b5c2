#pragma once

#include "model/BuiltInRemovals.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"

#include <QByteArray>
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
    // Written as "removedBuiltIns" only when it holds any.
    BuiltInRemovals removedBuiltIns = {};

    bool operator==(const PersistedProfiles&) const = default;

    QJsonObject toJson() const;
    // The same bytes as json::encode(toJson()), written without building the
    // JSON objects first. `expectedSize` reserves room (e.g. the last size).
    QByteArray encode(qsizetype expectedSize = 0) const;
    static PersistedProfiles fromJson(const QJsonValue& value, const QString& path = {});
    // fromJson(json::parse(text)), parsing one profile at a time so that the whole
    // document is never held as JSON values. None when that way does not work;
    // fromJson() of the whole document then has the last word.
    static std::optional<PersistedProfiles> decodeInParts(const QByteArray& text);
};

} // namespace velmor
