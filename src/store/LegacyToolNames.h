#pragma once

#include "model/RadiologyTool.h"

#include <QHash>
#include <QList>
#include <QString>

namespace velmor {

// Tool-list upgrades shared by the store's normalisation and the legacy migration.

// Current tool name by lower-cased old name.
const QHash<QString, QString>& legacyToolNameMap();

// Gives tools with an old name (any letter case) their current name; ids and
// everything else stay. True when any name changed.
bool renameLegacyTools(QList<RadiologyTool>& tools);

// Keeps the first tool of each id, in order. True when the list got shorter.
bool removeDuplicateTools(QList<RadiologyTool>& tools);

} // namespace velmor
