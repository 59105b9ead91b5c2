#pragma once

#include "model/ButtonMapping.h"
#include "model/RadiologyTool.h"
#include "ui/mapping/KeyedListModel.h"
#include "ui/mapping/MappingTypes.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// One row of the mappings panel's tool list: a group title or a tool.
struct ToolListRow {
    bool isHeader = false;
    QString title;                         // a header's group title
    RadiologyTool tool;                    // a tool row's tool
    bool selected = false;                 // the window's selected tool
    std::optional<ButtonMapping> mapping;  // the first mapping of the tool on the active device
    QString shortcut;                      // shortcut text, empty for none

    QString key() const;
    // A tool row's tooltip, made when it is shown: fitting its names measures
    // text, which a list rebuilt on every edit cannot afford for every row.
    QString help() const;
    bool operator==(const ToolListRow&) const = default;
};

// The rows of the grouped tools: each group's title, then its tools. A tool's
// mapping is the first of `activeMappings` that names it.
QList<ToolListRow> toolListRows(const QList<ToolGroup>& groups, const std::optional<QUuid>& selectedToolId,
                                const QList<ButtonMapping>& activeMappings);

// The drag payload of a tool row: "tool:" and the tool's id in upper case.
QString toolDragText(const QUuid& toolId);

// The tool list as an item model. Tool rows can be dragged as plain text.
class MappingToolListModel : public KeyedListModel<ToolListRow> {
public:
    using KeyedListModel::KeyedListModel;

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
};

} // namespace velmor
