#pragma once

#include "model/RadiologyTool.h"

#include <QStyledItemDelegate>

#include <functional>

namespace velmor {

class MappingToolListModel;
struct ToolListRow;

// Draws the tool list's rows: a group title, or a tool row with its favourite
// star, icon, name, shortcut, category and mapped-button badge. A click on the
// star toggles the favourite; a click elsewhere on a tool row picks the tool.
class ToolListDelegate : public QStyledItemDelegate {
public:
    ToolListDelegate(const MappingToolListModel& model, std::function<void(const RadiologyTool&)> onSelect,
                     std::function<void(const RadiologyTool&)> onToggleFavorite, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Where a tool row draws its star, for a row drawn in `rowRect`.
    static QRect starRect(const QRect& rowRect);

private:
    void paintTool(QPainter& painter, const QRect& rect, const ToolListRow& row) const;

    const MappingToolListModel& model_;
    std::function<void(const RadiologyTool&)> onSelect_;
    std::function<void(const RadiologyTool&)> onToggleFavorite_;
};

} // namespace velmor
