#pragma once

#include "model/RadiologyTool.h"
#include "ui/mapping/widgets/ButtonBadge.h"
#include "ui/shared/PaintedNames.h"

#include <QStyledItemDelegate>

#include <functional>
#include <optional>

namespace velmor {

class MappingToolListModel;
struct ToolListRow;

// A group of the tool list: its title row (bold subheadline, gray) above the
// group's tools, each drawn by ToolListItem.
struct MappingsToolGroupSection {
    static int titleHeight(bool firstGroup);
    static void paintTitle(QPainter& painter, const QRect& rowRect, const QString& title);
};

// Draws the tool list's rows: a tool row with its favourite star, icon, name,
// shortcut, category and mapped-button badge (a group's title row is the
// section's). A click on the star toggles the favourite; a click elsewhere on
// a tool row picks the tool.
class ToolListItem : public QStyledItemDelegate {
public:
    ToolListItem(const MappingToolListModel& model, std::function<void(const RadiologyTool&)> onSelect,
                 std::function<void(const RadiologyTool&)> onToggleFavorite, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Where a tool row draws its star, for a row drawn in `rowRect`.
    static QRect starRect(const QRect& rowRect);

    // Where a tool row drawn in `rowRect` draws its icon, its mapped button's
    // badge and its texts (name, shortcut, category: each cut to that width).
    struct Layout {
        QRectF icon;
        std::optional<ButtonBadge> badge;
        QRectF text;
    };
    static Layout layout(const QRect& rowRect, const ToolListRow& row);

private:
    void paintTool(QPainter& painter, const QRect& rect, const ToolListRow& row) const;

    const MappingToolListModel& model_;
    std::function<void(const RadiologyTool&)> onSelect_;
    std::function<void(const RadiologyTool&)> onToggleFavorite_;
    mutable PaintedNames names_;
};

} // namespace velmor
