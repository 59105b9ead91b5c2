#include "sync/IconSyncDecision.h"

namespace velmor {

IconStep decideIconStep(const IconSides& sides)
{
    const bool localPresent = sides.localHash.has_value();
    if (!sides.remotePresent || !sides.remoteUsable || !sides.remoteHash)
        return localPresent && sides.uploads ? IconStep::upload : IconStep::nothing;
    if (!localPresent)
        return IconStep::download;
    if (*sides.localHash == *sides.remoteHash)
        return sides.remoteHasPreview || !sides.uploads ? IconStep::settle : IconStep::upload;
    if (sides.recordWins)
        return IconStep::downloadKeepingLocal;
    if (sides.baseHash) {
        const bool localChanged = *sides.localHash != *sides.baseHash;
        const bool remoteChanged = *sides.remoteHash != *sides.baseHash;
        if (localChanged && !remoteChanged)
            return IconStep::upload;
        if (remoteChanged && !localChanged)
            return IconStep::download;
    }
    // Ties go to the record: it is what the other machines have.
    return sides.localDate > sides.remoteDate ? IconStep::uploadKeepingRemote : IconStep::downloadKeepingLocal;
}

} // namespace velmor
