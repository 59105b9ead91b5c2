#pragma once

#include "core/ActivityFeeds.h"
#include "ui/mapping/KeyedListModel.h"
#include "ui/mapping/MappingTypes.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// One row of the current-mappings list.
struct MappingListRow {
    MappingEntry entry;
    QString shortcut;      // the tool's shortcut text, empty for none

    QUuid key() const { return entry.mapping.id; }
    bool operator==(const MappingListRow& other) const
    {
        return entry.mapping == other.entry.mapping && entry.tool == other.entry.tool && shortcut == other.shortcut;
    }
};

// The visible rows: entries kept by the filter, in mapping order.
QList<MappingListRow> mappingListRows(const QList<MappingEntry>& entries, const QString& filter);

// The current-mappings list as an item model, made visible as it is scrolled to.
// The rows of the last pressed and of the selected button are highlighted.
class MappingListModel : public FetchedListModel<MappingListRow> {
public:
    using FetchedListModel::FetchedListModel;

    QVariant data(const QModelIndex& index, int role) const override;
    // The row showing that mapping, or -1.
    int rowOf(const QUuid& mappingId) const;
    // The same, fetching down to it when it is not yet shown.
    int fetchRowOf(const QUuid& mappingId);

    void setHighlighted(const std::optional<QString>& lastPressedButtonId, const std::optional<QString>& selectedButtonId);
    bool isHighlighted(const MappingListRow& row) const;

private:
    std::optional<QString> lastPressed_;
    std::optional<QString> selected_;
};

// One row of the event log, newest first.
struct EventLogRow {
    LogEntry entry;

    QUuid key() const { return entry.id; }
    bool operator==(const EventLogRow& other) const
    {
        return entry.id == other.entry.id && entry.timestamp == other.entry.timestamp &&
               entry.message == other.entry.message;
    }
};

// The log's entries newest first.
QList<EventLogRow> eventLogRows(const QList<LogEntry>& logs);

// The event log as an item model.
class EventLogModel : public KeyedListModel<EventLogRow> {
public:
    using KeyedListModel::KeyedListModel;

    QVariant data(const QModelIndex& index, int role) const override;
};

} // namespace velmor
