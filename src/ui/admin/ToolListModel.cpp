#include "ui/admin/ToolListModel.h"

#include <QScopedValueRollback>
#include <QSet>

#include <algorithm>

namespace velmor {

int ToolListModel::rowOf(const QUuid& id) const
{
    for (int row = 0; row < tools_.size(); ++row)
        if (tools_[row].id == id)
            return row;
    return -1;
}

void ToolListModel::setTools(const QList<RadiologyTool>& all, const std::optional<QUuid>& selectedId)
{
    const std::optional<QUuid> previousSelection = std::exchange(selectedId_, selectedId);
    all_ = all;
    // Never fewer rows than the view fetched: cutting them back would throw it back to the last row kept.
    qsizetype shown = std::min(all.size(), std::max(tools_.size(), rowsPerFetch));
    if (selectedId) {
        const auto selected = std::find_if(all.cbegin(), all.cend(),
                                           [&](const RadiologyTool& tool) { return tool.id == *selectedId; });
        if (selected != all.cend())
            shown = std::max(shown, qsizetype(selected - all.cbegin()) + 1);
    }
    const QList<RadiologyTool> tools = shown == all.size() ? all : all.first(shown);
    // Views and testers that look in while the rows change fetch nothing meanwhile.
    const QScopedValueRollback updating(updating_, true);
    if (!updateInPlace(tools))
        applyRows(tools);
    if (previousSelection != selectedId_) {
        for (const auto& id : {previousSelection, selectedId_}) {
            if (const int row = id ? rowOf(*id) : -1; row >= 0)
                emit dataChanged(index(row), index(row), {SelectedRole});
        }
    }
}

bool ToolListModel::updateInPlace(const QList<RadiologyTool>& tools)
{
    if (tools.size() != tools_.size())
        return false;
    for (qsizetype row = 0; row < tools.size(); ++row)
        if (tools[row].id != tools_[row].id)
            return false;
    for (int row = 0; row < tools.size(); ++row) {
        if (!(tools_[row] == tools[row])) {
            tools_[row] = tools[row];
            emit dataChanged(index(row), index(row));
        }
    }
    return true;
}

void ToolListModel::applyRows(const QList<RadiologyTool>& tools)
{
    // Rows whose tool is gone, from the bottom up.
    QSet<QUuid> wanted;
    for (const RadiologyTool& tool : tools)
        wanted.insert(tool.id);
    // Runs at once: a long list shrinking to the rows kept is one change, not one per row.
    for (int row = int(tools_.size()) - 1; row >= 0;) {
        if (wanted.contains(tools_[row].id)) {
            --row;
            continue;
        }
        const int last = row;
        while (row >= 0 && !wanted.contains(tools_[row].id))
            --row;
        beginRemoveRows({}, row + 1, last);
        tools_.remove(row + 1, last - row);
        endRemoveRows();
    }
    // Then each position in turn: keep, move up from below, or insert (a run of new
    // tools at once).
    QSet<QUuid> present;
    for (const RadiologyTool& tool : std::as_const(tools_))
        present.insert(tool.id);
    for (int row = 0; row < tools.size(); ++row) {
        const RadiologyTool& tool = tools[row];
        if (!present.contains(tool.id)) {
            int end = row;
            while (end < tools.size() && !present.contains(tools[end].id))
                ++end;
            beginInsertRows({}, row, end - 1);
            tools_.insert(row, end - row, RadiologyTool{});
            std::copy(tools.cbegin() + row, tools.cbegin() + end, tools_.begin() + row);
            endInsertRows();
            row = end - 1;
            continue;
        }
        if (row < tools_.size() && tools_[row].id == tool.id) {
            if (!(tools_[row] == tool)) {
                tools_[row] = tool;
                emit dataChanged(index(row), index(row));
            }
            continue;
        }
        int from = row + 1;
        while (from < tools_.size() && tools_[from].id != tool.id)
            ++from;
        if (from == tools_.size()) { // an id given twice: the second is a row of its own
            beginInsertRows({}, row, row);
            tools_.insert(row, tool);
            endInsertRows();
            continue;
        }
        beginMoveRows({}, from, from, {}, row);
        tools_.move(from, row);
        endMoveRows();
        if (!(tools_[row] == tool)) {
            tools_[row] = tool;
            emit dataChanged(index(row), index(row));
        }
    }
}

bool ToolListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !updating_ && tools_.size() < all_.size();
}

void ToolListModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const qsizetype from = tools_.size();
    const qsizetype count = std::min(rowsPerFetch, all_.size() - from);
    const QScopedValueRollback updating(updating_, true);
    beginInsertRows({}, int(from), int(from + count - 1));
    tools_ += all_.sliced(from, count);
    endInsertRows();
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
