#include "ui/mapping/MappingToolListModel.h"

#include "platform/Json.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/shared/PlainText.h"

#include <QHash>
#include <QMimeData>

namespace velmor {

QString ToolListRow::key() const
{
    return isHeader ? QStringLiteral("group:") + title : toolDragText(tool.id);
}

QString ToolListRow::help() const { return isHeader ? QString() : mappingText::toolHelp(tool, mapping); }

QString toolDragText(const QUuid& toolId)
{
    return QStringLiteral("tool:") + json::uuidText(toolId);
}

QList<ToolListRow> toolListRows(const QList<ToolGroup>& groups, const std::optional<QUuid>& selectedToolId,
                                const QList<ButtonMapping>& activeMappings)
{
    QHash<QUuid, ButtonMapping> firstMapping;
    for (const ButtonMapping& mapping : activeMappings)
        if (!firstMapping.contains(mapping.toolId))
            firstMapping.insert(mapping.toolId, mapping);

    QList<ToolListRow> rows;
    for (const ToolGroup& group : groups) {
        ToolListRow header;
        header.isHeader = true;
        header.title = group.title;
        rows.append(std::move(header));
        for (const RadiologyTool& tool : group.tools) {
            ToolListRow row;
            row.tool = tool;
            row.selected = selectedToolId == tool.id;
            if (const auto found = firstMapping.constFind(tool.id); found != firstMapping.constEnd())
                row.mapping = *found;
            row.shortcut = mappingText::shortcutText(tool);
            rows.append(std::move(row));
        }
    }
    return rows;
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
