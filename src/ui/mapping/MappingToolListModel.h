#pragma once

#include "model/ButtonMapping.h"
#include "model/RadiologyTool.h"
#include "ui/mapping/KeyedListModel.h"
#include "ui/mapping/MappingTypes.h"

#include <QHash>
#include <QString>
#include <QUuid>

#include <optional>
#include <utility>

namespace velmor {

// One row of the mappings panel's tool list: a group title or a tool.
struct ToolListRow {
    bool isHeader = false;
    QString title;                         // a header's group title
    RadiologyTool tool;                    // a tool row's tool
    bool selected = false;                 // the window's selected tool
    std::optional<ButtonMapping> mapping;  // the first mapping of the tool on the active device
    QString shortcut;                      // shortcut text, empty for none

    // A title's key is its text, a tool's its id.
    std::pair<QUuid, QString> key() const { return isHeader ? std::pair{QUuid(), title} : std::pair{tool.id, QString()}; }
    // The row's tooltip, made when asked: a list of many tools pays only for those hovered.
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

    // Rows made at once and per fetch. The rows a view has fetched stay fetched
    // across setTools(), however many, so that it keeps its place.
    static constexpr qsizetype rowsPerFetch = 200;

    // Shows toolListRows() of these (`toolMappings` the first mapping of each
    // tool, firstMappingOfTools()): the first rows at once and the rest as a view
    // scrolls to them (fetchMore), so that a list of any length costs what is shown.
    void setTools(QList<ToolGroup> groups, std::optional<QUuid> selectedToolId,
                  const QHash<QUuid, ButtonMapping>& toolMappings);
    // The rows of every tool, fetched or not.
    qsizetype allRows() const { return allRows_; }
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    QList<ToolGroup> groups_;
    std::optional<QUuid> selectedToolId_;
    QHash<QUuid, ButtonMapping> toolMappings_;
    qsizetype allRows_ = 0;
    bool updating_ = false;
};

} // namespace velmor
