#include "ui/mapping/MappingDerivedData.h"

#include "platform/Text.h"

#include <algorithm>

namespace velmor::mappingData {

QList<RadiologyTool> activeTools(const PacsProfile& pacs)
{
    QList<RadiologyTool> tools;
    std::copy_if(pacs.tools.cbegin(), pacs.tools.cend(), std::back_inserter(tools),
                 [](const RadiologyTool& tool) { return tool.enabled; });
    return tools;
}

std::optional<QUuid> firstEnabledToolId(const PacsProfile& pacs)
{
    const auto it = std::find_if(pacs.tools.cbegin(), pacs.tools.cend(), [](const RadiologyTool& t) { return t.enabled; });
    if (it == pacs.tools.cend())
        return std::nullopt;
    return it->id;
}

QList<RadiologyTool> filteredTools(const QList<RadiologyTool>& tools, ToolFilter filter, const QString& searchText)
{
    const QString needle = text::lowercased(searchText);
    QList<RadiologyTool> kept;
    for (const RadiologyTool& tool : tools) {
        if (!keeps(filter, tool.category))
            continue;
        if (!needle.isEmpty() && !text::lowercased(tool.name).contains(needle))
            continue;
        kept.append(tool);
    }
    return kept;
}

QList<ButtonMapping> activeMappings(const UserProfile& user, const QString& deviceId)
{
    QList<ButtonMapping> mappings;
    std::copy_if(user.mappings.cbegin(), user.mappings.cend(), std::back_inserter(mappings),
                 [&](const ButtonMapping& mapping) { return mapping.deviceId == deviceId; });
    return mappings;
}

std::optional<RadiologyTool> toolById(const PacsProfile& pacs, const QUuid& toolId)
{
    const auto it = std::find_if(pacs.tools.cbegin(), pacs.tools.cend(), [&](const RadiologyTool& t) { return t.id == toolId; });
    if (it == pacs.tools.cend())
        return std::nullopt;
    return *it;
}

QList<MappingEntry> mappingEntries(const QList<ButtonMapping>& mappings, const PacsProfile& pacs)
{
    QList<MappingEntry> entries;
    for (const ButtonMapping& mapping : mappings)
        if (const std::optional<RadiologyTool> tool = toolById(pacs, mapping.toolId))
            entries.append({mapping, *tool});
    return entries;
}

QList<ToolGroup> groupedTools(const QList<RadiologyTool>& tools)
{
    QList<ToolGroup> groups;
    const auto addGroup = [&](const QString& title, const auto& belongs) {
        ToolGroup group{title, {}};
        std::copy_if(tools.cbegin(), tools.cend(), std::back_inserter(group.tools), belongs);
        if (!group.tools.isEmpty())
            groups.append(std::move(group));
    };
    addGroup(QStringLiteral("⭐ Favorites"), [](const RadiologyTool& tool) { return tool.isFavorite; });
    for (const ToolCategory category : allToolCategories)
        addGroup(toText(category),
                 [category](const RadiologyTool& tool) { return !tool.isFavorite && tool.category == category; });
    return groups;
}

std::optional<ButtonMapping> mappingForButton(const QList<ButtonMapping>& mappings,
                                              const std::optional<QString>& buttonId)
{
    if (!buttonId || buttonId->isEmpty())
        return std::nullopt;
    const auto it = std::find_if(mappings.cbegin(), mappings.cend(),
                                 [&](const ButtonMapping& mapping) { return mapping.buttonId == *buttonId; });
    if (it == mappings.cend())
        return std::nullopt;
    return *it;
}

} // namespace velmor::mappingData
