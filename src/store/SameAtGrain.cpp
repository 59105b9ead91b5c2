#include "store/SameAtGrain.h"

#include <algorithm>
#include <tuple>

namespace velmor {

namespace {

using Button = std::tuple<QString, QString, QUuid>;

QList<Button> buttonsOf(const QList<ButtonMapping>& mappings)
{
    QList<Button> buttons;
    buttons.reserve(mappings.size());
    for (const ButtonMapping& mapping : mappings)
        buttons.append({mapping.deviceId, mapping.buttonId, mapping.toolId});
    std::sort(buttons.begin(), buttons.end());
    return buttons;
}

QList<RadiologyTool> byId(QList<RadiologyTool> tools)
{
    std::stable_sort(tools.begin(), tools.end(),
                     [](const RadiologyTool& a, const RadiologyTool& b) { return a.id < b.id; });
    return tools;
}

} // namespace

bool sameAtGrain(const UserProfile& one, const UserProfile& other)
{
    if (one == other)
        return true;
    return one.id == other.id && one.name == other.name && one.pacsProfileId == other.pacsProfileId &&
           one.selectedDeviceId == other.selectedDeviceId && one.lightingHex == other.lightingHex &&
           one.mappings.size() == other.mappings.size() && buttonsOf(one.mappings) == buttonsOf(other.mappings);
}

bool sameAtGrain(const PacsProfile& one, const PacsProfile& other)
{
    if (one == other)
        return true;
    return one.id == other.id && one.name == other.name && one.defaultLightingHex == other.defaultLightingHex &&
           one.tools.size() == other.tools.size() && byId(one.tools) == byId(other.tools);
}

} // namespace velmor
