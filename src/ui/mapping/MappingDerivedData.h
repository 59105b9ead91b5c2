#pragma once

#include "model/ButtonMapping.h"
#include "model/DeviceButton.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "ui/mapping/MappingTypes.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

// The mapping window's derived values, as plain functions of their sources, so
// the window's state and its commands compute them the same way, afresh.
namespace velmor::mappingData {

// The enabled tools of the profile, in stored order.
QList<RadiologyTool> activeTools(const PacsProfile& pacs);

// The id of the first enabled tool, or none.
std::optional<QUuid> firstEnabledToolId(const PacsProfile& pacs);

// The tools the category filter keeps whose lower-cased name contains the
// lower-cased search text; an empty text keeps all (blanks are not trimmed).
QList<RadiologyTool> filteredTools(const QList<RadiologyTool>& tools, ToolFilter filter, const QString& searchText);
// The same with the tools' lower-cased names given, one for each tool in order
// (foldedNames), so that a search pays for no name's folding.
QList<RadiologyTool> filteredTools(const QList<RadiologyTool>& tools, const QStringList& foldedNames, ToolFilter filter,
                                   const QString& searchText);
// The lower-cased name of each tool, in order.
QStringList foldedNames(const QList<RadiologyTool>& tools);

// The user's mappings of the device, in stored order.
QList<ButtonMapping> activeMappings(const UserProfile& user, const QString& deviceId);

// The first tool of the profile (enabled or not) with that id.
std::optional<RadiologyTool> toolById(const PacsProfile& pacs, const QUuid& toolId);

// Each mapping with its tool; mappings whose tool the profile lacks are left out.
QList<MappingEntry> mappingEntries(const QList<ButtonMapping>& mappings, const PacsProfile& pacs);

// "⭐ Favorites" first (a favourite shows only there), then the categories in
// their order; empty groups are left out.
QList<ToolGroup> groupedTools(const QList<RadiologyTool>& tools);

// The lists of the window's state (activeTools, filteredTools, groupedTools, and
// the first mappings of the tools and of the device's buttons), made again only
// when what they come from changed, so that a refresh for anything else (a save's
// outcome, a log line) costs a profile of many tools or mappings nothing.
class ToolLists {
public:
    struct Lists {
        QList<RadiologyTool> activeTools;
        QList<RadiologyTool> filteredTools;
        QList<ToolGroup> groupedTools;
        // The first mapping of each tool and of each of the device's buttons, in stored order.
        QHash<QUuid, ButtonMapping> toolMappings;
        QHash<QString, ButtonMapping> buttonMappings;
    };

    const Lists& of(const PacsProfile& pacs, ToolFilter filter, const QString& searchText,
                    const QList<ButtonMapping>& activeMappings, const QList<DeviceButton>& buttons);

private:
    // The folded names of lists_.activeTools, made at the first search of them.
    const QStringList& activeFoldedNames();

    struct Sources {
        PacsProfile pacs;
        ToolFilter filter;
        QString searchText;
        QList<ButtonMapping> activeMappings;
        QList<DeviceButton> buttons;
        bool operator==(const Sources&) const = default;
    };
    std::optional<Sources> sources_;
    Lists lists_;
    std::optional<QStringList> foldedNames_;
};

// The first mapping of each tool and of each button, in stored order.
QHash<QUuid, ButtonMapping> firstMappingOfTools(const QList<ButtonMapping>& mappings);
// Of the buttons given only; the look ends once each has one.
QHash<QString, ButtonMapping> firstMappingOfButtons(const QList<ButtonMapping>& mappings,
                                                    const QList<DeviceButton>& buttons);

// The first of the mappings on that button; none for no or an empty button id.
std::optional<ButtonMapping> mappingForButton(const QList<ButtonMapping>& mappings,
                                              const std::optional<QString>& buttonId);

} // namespace velmor::mappingData
