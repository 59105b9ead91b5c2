#include "store/LoadResult.h"

#include "platform/Json.h"
#include "store/LegacyMigration.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"
#include "store/UniqueIds.h"

namespace velmor {

namespace {
LoadResult loadResult(const PersistedProfiles& root, bool didMigrate)
{
    return LoadResult{root.pacsProfiles, root.userProfiles, root.activePacsProfileId,
                      root.activeUserProfileId, didMigrate, root.removedBuiltIns};
}

// Ids held twice are made unique, and the document is then written again.
std::optional<DecodedPayload> withUniqueIds(DecodedPayload decoded)
{
    decoded.repairedIds = makeIdsUnique(decoded.result);
    decoded.result.didMigrate = decoded.result.didMigrate || decoded.repairedIds;
    return decoded;
}

std::optional<DecodedPayload> decodeAnyFormat(const QByteArray& bytes)
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
} // namespace

std::optional<LoadResult> decodePayload(const QByteArray& bytes)
{
    std::optional<DecodedPayload> decoded = decodeDocument(bytes);
    return decoded ? std::optional<LoadResult>(std::move(decoded->result)) : std::nullopt;
}

std::optional<DecodedPayload> decodeDocument(const QByteArray& bytes)
{
    std::optional<DecodedPayload> decoded = decodeAnyFormat(bytes);
    return decoded ? withUniqueIds(std::move(*decoded)) : std::nullopt;
}

} // namespace velmor
