#pragma once

#include "ui/shared/PaintedNames.h"

#include <QRect>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>

class QPainter;

namespace velmor {

// The small capsule that shows a tool's category in its row: cyan text on a
// faint cyan capsule.
struct AdminCategoryChip {
    QString text;

    QSize sizeHint() const;
    // Draws the chip with its top-left corner at `topLeft`; returns where it lies.
    QRect paint(QPainter& painter, const QPoint& topLeft) const;
};

// Draws a row of the tool list (a ToolListModel): the tool's icon, name, kind,
// category chip, shortcut badge and enabled switch, highlighted when selected.
// A click on the switch flips the tool's enabled flag; anywhere else selects it.
class ToolsListRow : public QStyledItemDelegate {
public:
    static constexpr int rowHeight = 56;
    static constexpr int gap = 8;

    explicit ToolsListRow(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    std::function<void(const QUuid&)> onSelect;
    std::function<void(const QUuid&, bool enabled)> onSetEnabled;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // Where the enabled switch of a row lies.
    static QRect switchRect(const QRect& rowRect);

private:
    mutable PaintedNames names_;
};

} // namespace velmor
