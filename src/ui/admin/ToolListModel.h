#pragma once

#include "model/RadiologyTool.h"

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

#include <optional>

namespace velmor {

// The tool list's rows: one per tool, kept in the given order. A new list is
// applied row by row by tool id (removed, moved, inserted, changed), so a view
// keeps its scrolling and the rows that did not change.
class ToolListModel : public QAbstractListModel {
public:
    enum Role { IdRole = Qt::UserRole + 1, SelectedRole, EnabledRole, KindRole, CategoryRole, ShortcutRole };

    using QAbstractListModel::QAbstractListModel;

    void setTools(const QList<RadiologyTool>& tools, const std::optional<QUuid>& selectedId);
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
    QList<RadiologyTool> tools_;
    std::optional<QUuid> selectedId_;
};

} // namespace velmor
