#pragma once

#include "model/RadiologyTool.h"

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

#include <optional>

namespace velmor {

// The tool list's rows: one per tool, kept in the given order. A new list is
// applied row by row by tool id: the longest run of rows that keep their order
// stays, the others leave and come back where they go, changed rows are marked,
// so a view keeps its scrolling and the rows that did not change. Only the first rows are
// made at once, the rest as a view scrolls to them (fetchMore), so that a list of
// any length costs what is shown.
class ToolListModel : public QAbstractListModel {
public:
    enum Role { IdRole = Qt::UserRole + 1, SelectedRole, EnabledRole, KindRole, CategoryRole, ShortcutRole };

    // Rows made at once and per fetch. The rows a view has fetched stay fetched
    // across setTools(), however many (so that it keeps its place), and always
    // down to the selected tool.
    static constexpr qsizetype rowsPerFetch = 200;

    using QAbstractListModel::QAbstractListModel;

    void setTools(const QList<RadiologyTool>& tools, const std::optional<QUuid>& selectedId);
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    const RadiologyTool& tool(int row) const { return tools_.at(row); }
    int rowOf(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // "Toggle" for a tool with toggle steps (even none), else "Tool".
    static QString kindText(const RadiologyTool& tool);
    // The badge text, e.g. "⌃⇧A"; empty without a shortcut.
    static QString shortcutText(const RadiologyTool& tool);

private:
    // True when `tools` has the rows' ids in their order: only values changed.
    bool updateInPlace(const QList<RadiologyTool>& tools);
    // Any other change: removals and insertions by id around the rows that stay.
    void applyRows(const QList<RadiologyTool>& tools);

    // Every tool; tools_ holds the first of them, the rows shown.
    QList<RadiologyTool> all_;
    QList<RadiologyTool> tools_;
    std::optional<QUuid> selectedId_;
    bool updating_ = false;
};

} // namespace velmor
