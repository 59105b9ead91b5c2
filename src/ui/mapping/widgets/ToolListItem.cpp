#include "ui/mapping/widgets/ToolListItem.h"

#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/ButtonBadge.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace velmor {

namespace {

using Style = Theme::TextStyle;

constexpr int gap = 8;        // between rows
constexpr int padding = 10;   // inside a tool row
constexpr int headerHeight = 22;
constexpr int iconSize = 32;
constexpr int trailing = 12;  // the list keeps clear of the scroll bar

int toolRowHeight(const ToolListRow& row)
{
    int text = QFontMetrics(Theme::font(Style::body)).height() + 2 + QFontMetrics(Theme::font(Style::caption2)).height();
    if (!row.shortcut.isEmpty())
        text += 2 + QFontMetrics(Theme::monospacedFont(Style::caption)).height();
    return padding * 2 + std::max(iconSize, text);
}

} // namespace

int MappingsToolGroupSection::titleHeight(bool firstGroup)
{
    // Groups after the first get the section spacing above their title.
    return headerHeight + (firstGroup ? 0 : 4);
}

void MappingsToolGroupSection::paintTitle(QPainter& painter, const QRect& rowRect, const QString& title)
{
    painter.setFont(Theme::boldFont(Style::subheadline));
    painter.setPen(Theme::gray());
    painter.drawText(rowRect.adjusted(0, 0, -trailing, 0), Qt::AlignLeft | Qt::AlignBottom, title);
}

ToolListItem::ToolListItem(const MappingToolListModel& model, std::function<void(const RadiologyTool&)> onSelect,
                           std::function<void(const RadiologyTool&)> onToggleFavorite, QObject* parent)
    : QStyledItemDelegate(parent), model_(model), onSelect_(std::move(onSelect)),
      onToggleFavorite_(std::move(onToggleFavorite))
{
}

QSize ToolListItem::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ToolListRow* row = model_.rowAt(index);
    if (!row)
        return {};
    const int width = option.rect.width() > 0 ? option.rect.width() : 280;
    if (row->isHeader)
        return {width, MappingsToolGroupSection::titleHeight(index.row() == 0)};
    return {width, toolRowHeight(*row) + gap};
}

QRect ToolListItem::starRect(const QRect& rowRect)
{
    const QRect card = rowRect.adjusted(0, 0, -trailing, -gap);
    return {card.left() + padding, card.center().y() - 10, 20, 20};
}

void ToolListItem::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const ToolListRow* row = model_.rowAt(index);
    if (!row)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (row->isHeader)
        MappingsToolGroupSection::paintTitle(*painter, option.rect, row->title);
    else
        paintTool(*painter, option.rect, *row);
    painter->restore();
}

ToolListItem::Layout ToolListItem::layout(const QRect& rowRect, const ToolListRow& row)
{
    const QRectF card = QRectF(rowRect.adjusted(0, 0, -trailing, -gap)).adjusted(0.5, 0.5, -0.5, -0.5);
    const QRect star = starRect(rowRect);
    Layout layout;
    layout.icon = QRectF(star.right() + 12, card.center().y() - iconSize / 2.0, iconSize, iconSize);
    qreal right = card.right() - padding;
    if (row.mapping) {
        layout.badge = ButtonBadge::placed(row.mapping->buttonId, right, card.center().y(), rowRect.width());
        right = layout.badge->rect.left() - 12;
    }
    const qreal left = layout.icon.right() + 12;
    layout.text = QRectF(left, card.top(), std::max<qreal>(0, right - left), card.height());
    return layout;
}

void ToolListItem::paintTool(QPainter& painter, const QRect& rect, const ToolListRow& row) const
{
    const QRectF card = QRectF(rect.adjusted(0, 0, -trailing, -gap)).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setBrush(row.selected ? Theme::withOpacity(Theme::accentPurple(), 0.15) : Theme::surface());
    painter.setPen(QPen(row.selected ? Theme::accentPurple() : Theme::border(), 1));
    painter.drawRoundedRect(card, 14, 14);

    const QRect star = starRect(rect);
    SymbolIcons::instance().paint(painter, QRectF(star).adjusted(2, 2, -2, -2),
                                  row.tool.isFavorite ? QStringLiteral("star.fill") : QStringLiteral("star"),
                                  Theme::yellow());
    const Layout where = layout(rect, row);
    ToolIconView::paint(painter, where.icon, resolveToolIcon(toolIconSelection(row.tool), row.tool.systemIcon), Qt::white);
    if (where.badge)
        where.badge->paint(painter, Theme::surface().lighter(140), Theme::textPrimary(), 10);

    const qreal left = where.text.left();
    const qreal width = where.text.width();
    const QFont nameFont = Theme::font(Style::body);
    const QFont categoryFont = Theme::font(Style::caption2);
    const QFont shortcutFont = Theme::monospacedFont(Style::caption);
    qreal textHeight = QFontMetricsF(nameFont).height() + 2 + QFontMetricsF(categoryFont).height();
    if (!row.shortcut.isEmpty())
        textHeight += 2 + QFontMetricsF(shortcutFont).height();
    qreal y = card.center().y() - textHeight / 2;
    auto line = [&](const QString& text, const QFont& font, const QColor& colour) {
        const QFontMetricsF metrics(font);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QRectF(left, y, width, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         names_(text, font, width));
        y += metrics.height() + 2;
    };
    line(row.tool.name, nameFont, Qt::white);
    if (!row.shortcut.isEmpty())
        line(row.shortcut, shortcutFont, Theme::gray());
    line(toText(row.tool.category), categoryFont, Theme::gray());
}

bool ToolListItem::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const ToolListRow* row = model_.rowAt(index);
    if (mouse->button() != Qt::LeftButton || !row || row->isHeader)
        return false;
    const QRect card = option.rect.adjusted(0, 0, -trailing, -gap);
    if (!card.contains(mouse->position().toPoint()))
        return false;
    const RadiologyTool tool = row->tool; // the call may replace the rows
    if (starRect(option.rect).contains(mouse->position().toPoint()))
        onToggleFavorite_(tool);
    else
        onSelect_(tool);
    return true;
}

bool ToolListItem::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    const ToolListRow* row = model_.rowAt(index);
    if (!row || row->isHeader || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(),
                       starRect(option.rect).contains(event->pos()) ? QStringLiteral("Mark as favorite")
                                                                    : plainText::toolTip(row->help()),
                       view);
    return true;
}

} // namespace velmor
