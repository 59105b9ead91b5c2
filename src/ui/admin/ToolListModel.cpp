#include "ui/admin/ToolListModel.h"

#include <QSet>

namespace velmor {

int ToolListModel::rowOf(const QUuid& id) const
{
    for (int row = 0; row < tools_.size(); ++row)
        if (tools_[row].id == id)
            return row;
    return -1;
}

void ToolListModel::setTools(const QList<RadiologyTool>& tools, const std::optional<QUuid>& selectedId)
{
    const std::optional<QUuid> previousSelection = std::exchange(selectedId_, selectedId);

    // Rows whose tool is gone, from the bottom up.
    QSet<QUuid> wanted;
    for (const RadiologyTool& tool : tools)
        wanted.insert(tool.id);
    for (int row = int(tools_.size()) - 1; row >= 0; --row) {
        if (wanted.contains(tools_[row].id))
            continue;
        beginRemoveRows({}, row, row);
        tools_.removeAt(row);
        endRemoveRows();
    }
    // Then each position in turn: keep, move up from below, or insert.
    for (int row = 0; row < tools.size(); ++row) {
        const RadiologyTool& tool = tools[row];
        if (row < tools_.size() && tools_[row].id == tool.id) {
            if (!(tools_[row] == tool)) {
                tools_[row] = tool;
                emit dataChanged(index(row), index(row));
            }
            continue;
        }
        int from = -1;
        for (int later = row + 1; later < tools_.size(); ++later)
            if (tools_[later].id == tool.id)
                from = later;
        if (from >= 0) {
            beginMoveRows({}, from, from, {}, row);
            tools_.move(from, row);
            endMoveRows();
            if (!(tools_[row] == tool)) {
                tools_[row] = tool;
                emit dataChanged(index(row), index(row));
            }
        } else {
            beginInsertRows({}, row, row);
            tools_.insert(row, tool);
            endInsertRows();
        }
    }
    if (previousSelection != selectedId_) {
        for (const auto& id : {previousSelection, selectedId_}) {
            if (const int row = id ? rowOf(*id) : -1; row >= 0)
                emit dataChanged(index(row), index(row), {SelectedRole});
        }
    }
}

int ToolListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(tools_.size()); }

QVariant ToolListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RadiologyTool& tool = tools_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return tool.name;
    case IdRole:
        return tool.id;
    case SelectedRole:
        return selectedId_ == tool.id;
    case EnabledRole:
        return tool.enabled;
    case KindRole:
        return kindText(tool);
    case CategoryRole:
        return toText(tool.category);
    case ShortcutRole:
        return shortcutText(tool);
    default:
        return {};
    }
}

QHash<int, QByteArray> ToolListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "toolId");
    names.insert(SelectedRole, "selected");
    names.insert(EnabledRole, "enabled");
    names.insert(KindRole, "kind");
    names.insert(CategoryRole, "category");
    names.insert(ShortcutRole, "shortcut");
    return names;
}

QString ToolListModel::kindText(const RadiologyTool& tool)
{
    return tool.toggleShortcuts ? QStringLiteral("Toggle") : QStringLiteral("Tool");
}

QString ToolListModel::shortcutText(const RadiologyTool& tool)
{
    return tool.shortcut ? tool.shortcut->displayText() : QString();
}

} // namespace velmor
