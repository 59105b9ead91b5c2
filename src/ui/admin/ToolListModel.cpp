#include "ui/admin/ToolListModel.h"

#include "ui/shared/RowsThatStay.h"

#include <QScopedValueRollback>
#include <QHash>

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
    // Never fewer rows than the view fetched, nor short of the last row it fetched: cutting
    // them back would throw it back to the last row kept.
    FetchedEnd<QUuid> fetchedEnd(tools_, [](const RadiologyTool& tool) { return tool.id; });
    for (const RadiologyTool& tool : all)
        fetchedEnd.visit(tool.id);
    qsizetype shown = std::min(all.size(), std::max({tools_.size(), rowsPerFetch, fetchedEnd.end()}));
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
    // Each tool's new row (an id given twice: its first).
    QHash<QUuid, qsizetype> newRows;
    newRows.reserve(tools.size());
    for (qsizetype row = 0; row < tools.size(); ++row)
        if (!newRows.contains(tools[row].id))
            newRows.insert(tools[row].id, row);
    // The longest run of rows already in their new order stays put, so that a view
    // anchored on one keeps its place; every other row leaves and comes back where it goes.
    QList<qsizetype> places;
    places.reserve(tools_.size());
    for (const RadiologyTool& tool : std::as_const(tools_))
        places.append(newRows.value(tool.id, -1));
    const QList<qsizetype> staying = rowsThatStay(places);
    QList<bool> stays(tools_.size(), false);
    for (const qsizetype row : staying)
        stays[row] = true;
    // The others from the bottom up, by runs: a long list shrinking to the rows kept is one change.
    for (int row = int(tools_.size()) - 1; row >= 0;) {
        if (stays[row]) {
            --row;
            continue;
        }
        const int last = row;
        while (row >= 0 && !stays[row])
            --row;
        beginRemoveRows({}, row + 1, last);
        tools_.remove(row + 1, last - row);
        endRemoveRows();
    }
    // Then what goes between the rows that stayed, a run at a time.
    qsizetype row = 0;
    for (qsizetype next = 0; next <= staying.size(); ++next) {
        const qsizetype until = next < staying.size() ? places[staying[next]] : tools.size();
        if (until > row) {
            beginInsertRows({}, int(row), int(until - 1));
            tools_.insert(row, until - row, RadiologyTool{});
            std::copy(tools.cbegin() + row, tools.cbegin() + until, tools_.begin() + row);
            endInsertRows();
        }
        if (next < staying.size() && !(tools_[until] == tools[until])) {
            tools_[until] = tools[until];
            emit dataChanged(index(int(until)), index(int(until)));
        }
        row = until + 1;
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
