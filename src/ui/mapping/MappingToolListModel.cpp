#include "ui/mapping/MappingToolListModel.h"

#include "platform/Json.h"
#include "ui/mapping/MappingDerivedData.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/RowsThatStay.h"

#include <QHash>
#include <QMimeData>
#include <QScopedValueRollback>

#include <algorithm>

namespace velmor {

QString ToolListRow::help() const { return isHeader ? QString() : mappingText::toolHelp(tool, mapping); }

QString toolDragText(const QUuid& toolId)
{
    return QStringLiteral("tool:") + json::uuidText(toolId);
}

namespace {

qsizetype rowCountOf(const QList<ToolGroup>& groups)
{
    qsizetype count = 0;
    for (const ToolGroup& group : groups)
        count += 1 + group.size();
    return count;
}

// Rows `from` to `from` + `count` of the groups' rows, each group its title and then its tools.
QList<ToolListRow> rowsOf(const QList<ToolGroup>& groups, const std::optional<QUuid>& selectedToolId,
                          const QHash<QUuid, ButtonMapping>& firstMapping, qsizetype from, qsizetype count)
{
    QList<ToolListRow> rows;
    rows.reserve(count);
    qsizetype at = 0; // the first row of the group
    for (const ToolGroup& group : groups) {
        const qsizetype groupRows = 1 + group.size();
        if (at + groupRows <= from) {
            at += groupRows;
            continue;
        }
        for (qsizetype i = std::max(from - at, qsizetype(0)); i < groupRows && rows.size() < count; ++i) {
            ToolListRow row;
            if (i == 0) {
                row.isHeader = true;
                row.title = group.title;
            } else {
                const RadiologyTool& tool = group.at(i - 1);
                row.tool = tool;
                row.selected = selectedToolId == tool.id;
                if (const auto found = firstMapping.constFind(tool.id); found != firstMapping.constEnd())
                    row.mapping = *found;
                row.shortcut = mappingText::shortcutText(tool);
            }
            rows.append(std::move(row));
        }
        at += groupRows;
        if (rows.size() >= count)
            break;
    }
    return rows;
}

// The rows of `groups` that keep every one of `fetched` that is still there.
qsizetype fetchedEnd(const QList<ToolGroup>& groups, const QList<ToolListRow>& fetched)
{
    using Key = decltype(fetched.constFirst().key());
    FetchedEnd<Key> end(fetched, [](const ToolListRow& row) { return row.key(); });
    for (const ToolGroup& group : groups) {
        end.visit(Key{QUuid(), group.title});
        for (qsizetype i = 0; i < group.size(); ++i)
            end.visit(Key{group.at(i).id, QString()});
    }
    return end.end();
}

} // namespace

QList<ToolListRow> toolListRows(const QList<ToolGroup>& groups, const std::optional<QUuid>& selectedToolId,
                                const QList<ButtonMapping>& activeMappings)
{
    return rowsOf(groups, selectedToolId, mappingData::firstMappingOfTools(activeMappings), 0, rowCountOf(groups));
}

void MappingToolListModel::setTools(QList<ToolGroup> groups, std::optional<QUuid> selectedToolId,
                                    const QHash<QUuid, ButtonMapping>& toolMappings)
{
    // The same tools again (a save's outcome, another panel's change): nothing to do.
    if (groups == groups_ && selectedToolId == selectedToolId_ && toolMappings == toolMappings_)
        return;
    groups_ = std::move(groups);
    selectedToolId_ = selectedToolId;
    toolMappings_ = toolMappings;
    allRows_ = rowCountOf(groups_);
    // Never fewer rows than the view fetched, nor short of the last row it fetched: cutting
    // them back would throw it back to the last row kept.
    const qsizetype shown =
        std::min(allRows_, std::max({qsizetype(rowCount()), rowsPerFetch, fetchedEnd(groups_, rows())}));
    // Views and testers that look in while the rows change fetch nothing meanwhile.
    const QScopedValueRollback updating(updating_, true);
    setRows(rowsOf(groups_, selectedToolId_, toolMappings_, 0, shown));
}

bool MappingToolListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !updating_ && rowCount() < allRows_;
}

void MappingToolListModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const QScopedValueRollback updating(updating_, true);
    appendRows(rowsOf(groups_, selectedToolId_, toolMappings_, rowCount(), rowsPerFetch));
}

QVariant MappingToolListModel::data(const QModelIndex& index, int role) const
{
    const ToolListRow* row = rowAt(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return row->isHeader ? row->title : row->tool.name;
    case Qt::ToolTipRole:
        return row->isHeader ? QVariant() : QVariant(plainText::toolTip(row->help()));
    default:
        return {};
    }
}

Qt::ItemFlags MappingToolListModel::flags(const QModelIndex& index) const
{
    const ToolListRow* row = rowAt(index);
    if (!row)
        return Qt::NoItemFlags;
    return row->isHeader ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

QStringList MappingToolListModel::mimeTypes() const { return {QStringLiteral("text/plain")}; }

QMimeData* MappingToolListModel::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& index : indexes) {
        const ToolListRow* row = rowAt(index);
        if (row && !row->isHeader) {
            auto* data = new QMimeData;
            data->setText(toolDragText(row->tool.id));
            return data;
        }
    }
    return nullptr;
}

} // namespace velmor
