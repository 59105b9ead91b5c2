#pragma once

#include "model/BuiltInRemovals.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"

#include <QByteArray>
#include <QList>
#include <QUuid>

#include <optional>

namespace velmor {

// What reading a profiles document gave, in memory only.
struct LoadResult {
    QList<PacsProfile> pacsProfiles;
    QList<UserProfile> userProfiles;
    std::optional<QUuid> activePacsProfileId;
    std::optional<QUuid> activeUserProfileId;
    // The data came from any other format than the current version, so the
    // store writes it again.
    bool didMigrate = false;
    BuiltInRemovals removedBuiltIns = {};

    bool operator==(const LoadResult&) const = default;
};

// The one decode rule of profiles.json, the bundle's seed and sync payloads:
// the current root first (any version), else the legacy root, migrated; none
// when neither decodes. Errors are dropped: the caller decides what none means.
// Ids held twice come out unique (makeIdsUnique), and count as a migration.
std::optional<LoadResult> decodePayload(const QByteArray& bytes);

// decodePayload(), also telling whether the bytes were in the legacy format.
struct DecodedPayload {
    LoadResult result;
    bool isLegacy = false;
    // Ids held twice were made unique: the document is not what its profiles write.
    bool repairedIds = false;
};
std::optional<DecodedPayload> decodeDocument(const QByteArray& bytes);

} // namespace velmor
