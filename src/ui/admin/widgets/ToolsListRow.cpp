#include "ui/admin/widgets/ToolsListRow.h"

#include "ui/admin/ToolListModel.h"
#include "ui/admin/widgets/AdminStyle.h"
#include "ui/shared/Theme.h"
#include "ui/shared/ToolIcon.h"
#include "ui/shared/widgets/Switch.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace velmor {


namespace {

QRect rowArea(const QRect& rect) { return rect.adjusted(0, 0, -8, -ToolsListRow::gap); }

void roundedFill(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, fill);
}

} // namespace

QSize AdminCategoryChip::sizeHint() const
{
    const QFontMetrics metrics(Theme::boldFont(Theme::TextStyle::caption2));
    return {metrics.horizontalAdvance(text) + 12, metrics.height() + 4};
}

QRect AdminCategoryChip::paint(QPainter& painter, const QPoint& topLeft) const
{
    const QRect chip(topLeft, sizeHint());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    roundedFill(painter, chip, chip.height() / 2.0, Theme::withOpacity(Theme::accentCyan(), 0.18));
    painter.setFont(Theme::boldFont(Theme::TextStyle::caption2));
    painter.setPen(Theme::accentCyan());
    painter.drawText(chip, Qt::AlignCenter, text);
    painter.restore();
    return chip;
}

QRect ToolsListRow::switchRect(const QRect& rowRect)
{
    const QRect row = rowArea(rowRect);
    const QSize pill = Switch::pillSize;
    return QRect(QPoint(row.right() - 10 - pill.width(), row.center().y() - pill.height() / 2), pill);
}

QSize ToolsListRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width() > 0 ? option.rect.width() : 300, rowHeight + gap};
}

void ToolsListRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = dynamic_cast<const ToolListModel*>(index.model());
    if (!model)
        return;
    const RadiologyTool& tool = model->tool(index.row());
    const bool selected = index.data(ToolListModel::SelectedRole).toBool();
    const QRect row = rowArea(option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(row).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    painter->fillPath(shape, selected ? Theme::withOpacity(Theme::accentPurple(), 0.18) : Theme::surface());
    painter->strokePath(shape, selected ? QPen(Theme::accentPurple(), 1.5) : QPen(Theme::border(), 1));

    const QRect content = row.adjusted(10, 10, -10, -10);
    // Icon
    painter->save();
    painter->setOpacity(tool.enabled ? 1.0 : 0.45);
    const QRectF iconFrame(content.left(), content.center().y() - 16, 32, 32);
    ToolIconView::paint(*painter, iconFrame.adjusted(2, 2, -2, -2),
                        resolveToolIcon(toolIconSelection(tool), tool.systemIcon), Qt::white);
    painter->restore();

    // Switch, then the badge left of it.
    const QRect toggle = switchRect(option.rect);
    Switch::paintPill(*painter, toggle, tool.enabled);

    int textRight = toggle.left() - 12;
    if (const QString badge = ToolListModel::shortcutText(tool); !badge.isEmpty()) {
        const QFont font = Theme::boldFont(Theme::TextStyle::caption);
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(badge) + 16;
        const QRect badgeRect(textRight - width, content.center().y() - (metrics.height() + 8) / 2, width,
                              metrics.height() + 8);
        roundedFill(*painter, badgeRect, 8, Theme::surface());
        painter->setFont(font);
        painter->setPen(Qt::white);
        painter->drawText(badgeRect, Qt::AlignCenter, badge);
        textRight = badgeRect.left() - 12;
    }

    // Name, then kind and category chip.
    const int textLeft = int(iconFrame.right()) + 12;
    const QFont nameFont = Theme::boldFont(Theme::TextStyle::subheadline);
    const QFontMetrics nameMetrics(nameFont);
    const QFont smallFont = Theme::font(Theme::TextStyle::caption2);
    const QFont chipFont = Theme::boldFont(Theme::TextStyle::caption2);
    const QFontMetrics smallMetrics(chipFont);
    const int blockHeight = nameMetrics.height() + 4 + smallMetrics.height() + 4;
    int y = content.center().y() - blockHeight / 2;
    painter->setFont(nameFont);
    painter->setPen(Qt::white);
    painter->drawText(QRect(textLeft, y, std::max(0, textRight - textLeft), nameMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      names_(tool.name, nameFont, std::max(0, textRight - textLeft)));
    y += nameMetrics.height() + 4;
    const QString kind = ToolListModel::kindText(tool);
    painter->setFont(smallFont);
    painter->setPen(Theme::gray());
    const int kindWidth = QFontMetrics(smallFont).horizontalAdvance(kind);
    painter->drawText(QRect(textLeft, y, kindWidth, smallMetrics.height() + 4), Qt::AlignLeft | Qt::AlignVCenter, kind);
    AdminCategoryChip{toText(tool.category)}.paint(*painter, QPoint(textLeft + kindWidth + 6, y));
    painter->restore();
}

bool ToolsListRow::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !rowArea(option.rect).contains(mouse->position().toPoint()))
        return false;
    const QUuid id = index.data(ToolListModel::IdRole).toUuid();
    if (switchRect(option.rect).contains(mouse->position().toPoint())) {
        if (onSetEnabled)
            onSetEnabled(id, !index.data(ToolListModel::EnabledRole).toBool());
    } else if (onSelect) {
        onSelect(id);
    }
    return true;
}

} // namespace velmor
