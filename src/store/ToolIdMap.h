#pragma once

#include "model/ButtonMapping.h"
#include "model/RadiologyTool.h"

#include <QList>

namespace velmor {

// Re-points button mappings from one tool list to another by tool name: each
// mapping's tool id is looked up in `from` (first tool of that id), its name
// lower-cased and looked up in `to` (first tool of that lower-cased name).
// Mappings without both matches are dropped; ids are never matched directly.
// Mapping ids, devices, buttons and order stay.
QList<ButtonMapping> toolIdMap(const QList<ButtonMapping>& mappings, const QList<RadiologyTool>& from,
                               const QList<RadiologyTool>& to);

} // namespace velmor
