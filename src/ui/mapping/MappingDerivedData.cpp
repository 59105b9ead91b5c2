#include "ui/mapping/MappingDerivedData.h"

#include "platform/Text.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace velmor::mappingData {

// The lists below share their input when they keep all of it: a profile of many
// tools is then not copied for each list the window derives from it.

QList<RadiologyTool> activeTools(const PacsProfile& pacs)
{
    if (std::all_of(pacs.tools.cbegin(), pacs.tools.cend(), [](const RadiologyTool& tool) { return tool.enabled; }))
        return pacs.tools;
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
    if (filter == ToolFilter::all && searchText.isEmpty())
        return tools;
    return filteredTools(tools, searchText.isEmpty() ? QStringList() : foldedNames(tools), filter, searchText);
}

QList<RadiologyTool> filteredTools(const QList<RadiologyTool>& tools, const QStringList& foldedNames, ToolFilter filter,
                                   const QString& searchText)
{
    if (filter == ToolFilter::all && searchText.isEmpty())
        return tools;
    const QString needle = text::lowercased(searchText);
    QList<RadiologyTool> kept;
    for (qsizetype i = 0; i < tools.size(); ++i) {
        const RadiologyTool& tool = tools.at(i);
        if (!keeps(filter, tool.category))
            continue;
        if (!needle.isEmpty() && !foldedNames.at(i).contains(needle))
            continue;
        kept.append(tool);
    }
    return kept;
}

QStringList foldedNames(const QList<RadiologyTool>& tools)
{
    QStringList names;
    names.reserve(tools.size());
    for (const RadiologyTool& tool : tools)
        names.append(text::lowercased(tool.name));
    return names;
}

QList<ButtonMapping> activeMappings(const UserProfile& user, const QString& deviceId)
{
    if (std::all_of(user.mappings.cbegin(), user.mappings.cend(),
                    [&](const ButtonMapping& mapping) { return mapping.deviceId == deviceId; }))
        return user.mappings;
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
    // The tools the mappings name, found in one pass: many mappings of many tools
    // cost their sum, not their product.
    QHash<QUuid, const RadiologyTool*> named;
    for (const ButtonMapping& mapping : mappings)
        named.insert(mapping.toolId, nullptr);
    for (const RadiologyTool& tool : pacs.tools)
        if (const auto found = named.find(tool.id); found != named.end() && !*found)
            *found = &tool; // the first of an id, as toolById finds it
    QList<MappingEntry> entries;
    for (const ButtonMapping& mapping : mappings)
        if (const RadiologyTool* tool = named.value(mapping.toolId))
            entries.append({mapping, *tool});
    return entries;
}

QList<ToolGroup> groupedTools(const QList<RadiologyTool>& tools)
{
    QList<ToolGroup> groups;
    const auto addGroup = [&](const QString& title, const auto& belongs) {
        QList<qsizetype> places;
        for (qsizetype i = 0; i < tools.size(); ++i)
            if (belongs(tools.at(i)))
                places.append(i);
        if (!places.isEmpty())
            groups.append(ToolGroup{title, tools, std::move(places)});
    };
    addGroup(QStringLiteral("⭐ Favorites"), [](const RadiologyTool& tool) { return tool.isFavorite; });
    for (const ToolCategory category : allToolCategories)
        addGroup(toText(category),
                 [category](const RadiologyTool& tool) { return !tool.isFavorite && tool.category == category; });
    return groups;
}

const ToolLists::Lists& ToolLists::of(const PacsProfile& pacs, ToolFilter filter, const QString& searchText,
                                      const QList<ButtonMapping>& activeMappings, const QList<DeviceButton>& buttons)
{
    Sources sources{pacs, filter, searchText, activeMappings, buttons};
    if (sources_ == sources)
        return lists_;
    const bool toolsChanged = !sources_ || !(sources_->pacs == pacs);
    const bool toolViewChanged = toolsChanged || sources_->filter != filter || sources_->searchText != searchText;
    const bool mappingsChanged =
        !sources_ || !(sources_->activeMappings == activeMappings) || !(sources_->buttons == buttons);
    sources_ = std::move(sources);
    if (toolsChanged) {
        lists_.activeTools = activeTools(pacs);
        foldedNames_.reset();
    }
    if (toolViewChanged) {
        lists_.filteredTools = searchText.isEmpty()
                                   ? filteredTools(lists_.activeTools, filter, searchText)
                                   : filteredTools(lists_.activeTools, activeFoldedNames(), filter, searchText);
        lists_.groupedTools = groupedTools(lists_.filteredTools);
    }
    if (mappingsChanged) {
        lists_.toolMappings = firstMappingOfTools(activeMappings);
        lists_.buttonMappings = firstMappingOfButtons(activeMappings, buttons);
    }
    return lists_;
}

const QStringList& ToolLists::activeFoldedNames()
{
    if (!foldedNames_)
        foldedNames_ = foldedNames(lists_.activeTools);
    return *foldedNames_;
}

QHash<QUuid, ButtonMapping> firstMappingOfTools(const QList<ButtonMapping>& mappings)
{
    QHash<QUuid, ButtonMapping> first;
    for (const ButtonMapping& mapping : mappings)
        if (!first.contains(mapping.toolId))
            first.insert(mapping.toolId, mapping);
    return first;
}

QHash<QString, ButtonMapping> firstMappingOfButtons(const QList<ButtonMapping>& mappings,
                                                    const QList<DeviceButton>& buttons)
{
    QSet<QString> wanted;
    for (const DeviceButton& button : buttons)
        if (!button.id.isEmpty())
            wanted.insert(button.id);
    QHash<QString, ButtonMapping> first;
    for (const ButtonMapping& mapping : mappings) {
        if (first.size() == wanted.size())
            break;
        if (wanted.contains(mapping.buttonId) && !first.contains(mapping.buttonId))
            first.insert(mapping.buttonId, mapping);
    }
    return first;
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
