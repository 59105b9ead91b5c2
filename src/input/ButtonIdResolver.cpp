#include "input/ButtonIdResolver.h"

#include "input/SpeechMikeTables.h"
#include "input/TartarusTables.h"

namespace velmor {

bool isUnnamedButtonId(const QString& buttonId)
{
    return buttonId == unmappedButtonId || buttonId.startsWith(u"USAGE_");
}

bool acceptsUnnamedButtonIds(const QString& templateId) { return templateId.startsWith(u"hid_"); }

ResolvedButtonId resolveButtonId(const QHash<std::uint32_t, QString>* customUsages, std::uint32_t usageKey,
                                 std::int64_t value, bool isSpeechMike)
{
    if (customUsages) {
        if (const auto it = customUsages->constFind(usageKey); it != customUsages->constEnd())
            return {*it};
    }
    if (isSpeechMike) {
        const auto& usages = speechMikeUsageMap();
        if (const auto it = usages.constFind(usageKey); it != usages.constEnd())
            return {*it};
        if (isSpeechMikeStatusUsage(usageKey)) {
            const auto& words = speechMikeValueMap();
            const auto it = words.constFind(value);
            return {it != words.constEnd() ? *it : unmappedButtonId};
        }
    }
    const auto& keypad = tartarusUsageMap();
    if (const auto it = keypad.constFind(usageKey); it != keypad.constEnd())
        return {*it};
    return {QStringLiteral("USAGE_") + QString::asprintf("%04X", usageKey), true};
}

} // namespace velmor
