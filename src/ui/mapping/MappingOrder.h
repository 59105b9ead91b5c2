#pragma once

#include "ui/mapping/MappingTypes.h"

#include <QList>
#include <QString>

// The current-mappings list's filter and row order.
namespace velmor::mappingOrder {

// Natural order of button ids, as a file browser sorts names: digit runs by
// their value (K2 before K10), letter case only when nothing else differs.
// Negative, zero or positive like QString::compare.
int compareButtonIds(const QString& a, const QString& b);

// The entries stably sorted by button id in that order; equal ids keep their order.
QList<MappingEntry> sorted(QList<MappingEntry> entries);

// The entries whose tool name, or else button id, contains `filter` in any
// letter case (the text as typed, not trimmed); all entries for an empty filter.
QList<MappingEntry> filtered(const QList<MappingEntry>& entries, const QString& filter);

// What the list shows: filtered, then sorted.
QList<MappingEntry> visibleEntries(const QList<MappingEntry>& entries, const QString& filter);

} // namespace velmor::mappingOrder
