#include "store/LoadResult.h"

#include "platform/Json.h"
#include "store/LegacyMigration.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"
#include "store/UniqueIds.h"

namespace velmor {

namespace {
// Ids held twice are made unique, and the document is then written again.
LoadResult loadResult(const PersistedProfiles& root, bool didMigrate)
{
    LoadResult result{root.pacsProfiles, root.userProfiles, root.activePacsProfileId, root.activeUserProfileId,
                      didMigrate};
    if (makeIdsUnique(result))
        result.didMigrate = true;
    return result;
}
} // namespace

std::optional<LoadResult> decodePayload(const QByteArray& bytes)
{
    std::optional<DecodedPayload> decoded = decodeDocument(bytes);
    return decoded ? std::optional<LoadResult>(std::move(decoded->result)) : std::nullopt;
}

std::optional<DecodedPayload> decodeDocument(const QByteArray& bytes)
{
    if (const std::optional<PersistedProfiles> current = PersistedProfiles::decodeInParts(bytes))
        return DecodedPayload{loadResult(*current, current->version != PersistedProfiles::currentVersion), false};
    QJsonValue document;
    try {
        document = json::parse(bytes);
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
    try {
        const PersistedProfiles current = PersistedProfiles::fromJson(document);
        return DecodedPayload{loadResult(current, current.version != PersistedProfiles::currentVersion), false};
    } catch (const json::DecodeError&) {
        // Not the current format; try the older one.
    }
    try {
        return DecodedPayload{loadResult(migrateLegacy(LegacyPersistedProfiles::fromJson(document)), true), true};
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

} // namespace velmor
