#include "ui/mapping/MappingListModel.h"

#include "ui/mapping/MappingOrder.h"
#include "ui/mapping/MappingTexts.h"

namespace velmor {

QList<MappingListRow> mappingListRows(const QList<MappingEntry>& entries, const QString& filter)
{
    const QList<MappingEntry> visible = mappingOrder::visibleEntries(entries, filter);
    QList<MappingListRow> rows;
    rows.reserve(visible.size());
    for (const MappingEntry& entry : visible)
        rows.append({entry, mappingText::shortcutText(entry.tool)});
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

int MappingListModel::fetchRowOf(const QUuid& mappingId)
{
    return fetchTo([&](const MappingListRow& row) { return row.key() == mappingId; });
}

bool MappingListModel::isHighlighted(const MappingListRow& row) const
{
    const QString& button = row.entry.mapping.buttonId;
    return lastPressed_ == button || selected_ == button;
}

void MappingListModel::setHighlighted(const std::optional<QString>& lastPressedButtonId,
                                      const std::optional<QString>& selectedButtonId)
{
    if (lastPressedButtonId == lastPressed_ && selectedButtonId == selected_)
        return;
    // The rows of the buttons that were and are highlighted repaint.
    QList<QString> touched;
    for (const std::optional<QString>& button : {lastPressed_, selected_, lastPressedButtonId, selectedButtonId})
        if (button)
            touched.append(*button);
    lastPressed_ = lastPressedButtonId;
    selected_ = selectedButtonId;
    for (int i = 0; i < rowCount(); ++i)
        if (touched.contains(row(i).entry.mapping.buttonId))
            emit dataChanged(index(i), index(i));
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
