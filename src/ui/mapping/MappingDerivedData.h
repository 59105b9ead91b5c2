#pragma once

#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "ui/mapping/MappingTypes.h"

#include <QList>
#include <QString>
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

// The user's mappings of the device, in stored order.
QList<ButtonMapping> activeMappings(const UserProfile& user, const QString& deviceId);

// The first tool of the profile (enabled or not) with that id.
std::optional<RadiologyTool> toolById(const PacsProfile& pacs, const QUuid& toolId);

// Each mapping with its tool; mappings whose tool the profile lacks are left out.
QList<MappingEntry> mappingEntries(const QList<ButtonMapping>& mappings, const PacsProfile& pacs);

// "⭐ Favorites" first (a favourite shows only there), then the categories in
// their order; empty groups are left out.
QList<ToolGroup> groupedTools(const QList<RadiologyTool>& tools);

// The first of the mappings on that button; none for no or an empty button id.
std::optional<ButtonMapping> mappingForButton(const QList<ButtonMapping>& mappings,
                                              const std::optional<QString>& buttonId);

} // namespace velmor::mappingData
