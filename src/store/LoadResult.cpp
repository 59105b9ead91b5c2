#include "store/LoadResult.h"

#include "platform/Json.h"
#include "store/LegacyMigration.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"

namespace velmor {

namespace {
LoadResult loadResult(const PersistedProfiles& root, bool didMigrate)
{
    return LoadResult{root.pacsProfiles, root.userProfiles, root.activePacsProfileId, root.activeUserProfileId,
                      didMigrate};
}
} // namespace

std::optional<LoadResult> decodePayload(const QByteArray& bytes)
{
    QJsonValue document;
    try {
        document = json::parse(bytes);
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
    try {
        const PersistedProfiles current = PersistedProfiles::fromJson(document);
        return loadResult(current, current.version != PersistedProfiles::currentVersion);
    } catch (const json::DecodeError&) {
        // Not the current format; try the older one.
    }
    try {
        return loadResult(migrateLegacy(LegacyPersistedProfiles::fromJson(document)), true);
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

} // namespace velmor
