#pragma once

#include "model/ButtonMapping.h"
#include "ui/mapping/widgets/ButtonBadge.h"
#include "ui/shared/PaintedNames.h"

#include <QStyledItemDelegate>

#include <functional>

namespace velmor {

class MappingListModel;

// Draws a current-mappings row: the tool's icon, name and shortcut, the button
// id badge and the trash button, which calls onRemove with the row's mapping.
class MappingRow : public QStyledItemDelegate {
public:
    MappingRow(const MappingListModel& model, std::function<void(const ButtonMapping&)> onRemove,
               QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The trash button of a row drawn in `rowRect`.
    static QRect trashRect(const QRect& rowRect);

    // Where a row drawn in `rowRect` draws the badge of `buttonId` and its
    // texts (the tool's name and shortcut, each cut to that width).
    struct Layout {
        ButtonBadge badge;
        QRectF text;
    };
    static Layout layout(const QRect& rowRect, const QString& buttonId);

private:
    const MappingListModel& model_;
    std::function<void(const ButtonMapping&)> onRemove_;
    mutable PaintedNames names_;
};

// Draws an event log row: the message over its time on a rounded plate.
class EventLogDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace velmor
