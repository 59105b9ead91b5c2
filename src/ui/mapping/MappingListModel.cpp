#include "ui/mapping/MappingListModel.h"

#include "ui/mapping/MappingOrder.h"
#include "ui/mapping/MappingTexts.h"

namespace velmor {

QList<MappingListRow> mappingListRows(const QList<MappingEntry>& entries, const QString& filter,
                                      const std::optional<QString>& lastPressedButtonId,
                                      const std::optional<QString>& selectedButtonId)
{
    QList<MappingListRow> rows;
    for (const MappingEntry& entry : mappingOrder::visibleEntries(entries, filter)) {
        const QString& button = entry.mapping.buttonId;
        rows.append({entry, mappingText::shortcutText(entry.tool),
                     lastPressedButtonId == button || selectedButtonId == button});
    }
    return rows;
}

QVariant MappingListModel::data(const QModelIndex& index, int role) const
{
    const MappingListRow* row = rowAt(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return row->entry.tool.name;
    default:
        return {};
    }
}

int MappingListModel::rowOf(const QUuid& mappingId) const
{
    for (int i = 0; i < rowCount(); ++i)
        if (row(i).key() == mappingId)
            return i;
    return -1;
}

QList<EventLogRow> eventLogRows(const QList<LogEntry>& logs)
{
    QList<EventLogRow> rows;
    rows.reserve(logs.size());
    for (auto entry = logs.crbegin(); entry != logs.crend(); ++entry)
        rows.append({*entry});
    return rows;
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const
{
    const EventLogRow* row = rowAt(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return row->entry.message;
    case Qt::ToolTipRole:
        return mappingText::mediumTime(row->entry.timestamp);
    default:
        return {};
    }
}

} // namespace velmor
