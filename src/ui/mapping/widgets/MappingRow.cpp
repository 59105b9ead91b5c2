#include "ui/mapping/widgets/MappingRow.h"

#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/shared/NameFit.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

namespace velmor {

namespace {

using Style = Theme::TextStyle;

constexpr int gap = 12;     // between rows
constexpr int padding = 8;
constexpr int trailing = 8; // clear of the scroll bar

QRectF cardOf(const QRect& rowRect)
{
    return QRectF(rowRect.adjusted(0, 0, -trailing, -gap)).adjusted(0.5, 0.5, -0.5, -0.5);
}

QRectF iconRect(const QRectF& card) { return {card.left() + padding + 1, card.center().y() - 13, 26, 26}; }

} // namespace

MappingRow::MappingRow(const MappingListModel& model, std::function<void(const ButtonMapping&)> onRemove,
                       QObject* parent)
    : QStyledItemDelegate(parent), model_(model), onRemove_(std::move(onRemove))
{
}

QSize MappingRow::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int text = QFontMetrics(Theme::font(Style::body)).height() + 2 + QFontMetrics(Theme::monospacedFont(Style::caption)).height();
    return {option.rect.width() > 0 ? option.rect.width() : 260, padding * 2 + std::max(30, text) + gap};
}

QRect MappingRow::trashRect(const QRect& rowRect)
{
    const QRectF card = cardOf(rowRect);
    return QRect(qRound(card.right() - padding - 28), qRound(card.center().y() - 14), 28, 28);
}

MappingRow::Layout MappingRow::layout(const QRect& rowRect, const QString& buttonId)
{
    const QRectF card = cardOf(rowRect);
    const ButtonBadge badge =
        ButtonBadge::placed(buttonId, trashRect(rowRect).left() - 12, card.center().y(), rowRect.width());
    const qreal left = iconRect(card).right() + 1 + 12;
    return {badge, QRectF(left, card.top(), std::max<qreal>(0, badge.rect.left() - 12 - left), card.height())};
}

void MappingRow::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const MappingListRow* row = model_.rowAt(index);
    if (!row)
        return;
    QPainter& p = *painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardOf(option.rect);
    p.setBrush(model_.isHighlighted(*row) ? Theme::withOpacity(Theme::accentCyan(), 0.18) : Theme::surface());
    p.setPen(QPen(model_.isHighlighted(*row) ? Theme::accentCyan() : Theme::border(), 1));
    p.drawRoundedRect(card, 12, 12);

    const QRectF icon = iconRect(card);
    const RadiologyTool& tool = row->entry.tool;
    ToolIconView::paint(p, icon, resolveToolIcon(toolIconSelection(tool), tool.systemIcon), Qt::white);

    const QRect trash = trashRect(option.rect);
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::withOpacity(Theme::accentRed(), 0.8));
    p.drawRoundedRect(QRectF(trash), 8, 8);
    SymbolIcons::instance().paint(p, QRectF(trash).adjusted(6, 6, -6, -6), QStringLiteral("trash"), Qt::white);

    const Layout where = layout(option.rect, row->entry.mapping.buttonId);
    where.badge.paint(p, Theme::surface().lighter(140), Qt::white, 8);

    const qreal left = where.text.left();
    const qreal width = where.text.width();
    const QFont nameFont = Theme::font(Style::body);
    const QFont shortcutFont = Theme::monospacedFont(Style::caption);
    const qreal textHeight = QFontMetricsF(nameFont).height() +
                             (row->shortcut.isEmpty() ? 0 : 2 + QFontMetricsF(shortcutFont).height());
    qreal y = card.center().y() - textHeight / 2;
    p.setFont(nameFont);
    p.setPen(Qt::white);
    p.drawText(QRectF(left, y, width, QFontMetricsF(nameFont).height()), Qt::AlignLeft | Qt::AlignVCenter,
               names_(tool.name, nameFont, width));
    if (!row->shortcut.isEmpty()) {
        y += QFontMetricsF(nameFont).height() + 2;
        p.setFont(shortcutFont);
        p.setPen(Theme::gray());
        p.drawText(QRectF(left, y, width, QFontMetricsF(shortcutFont).height()), Qt::AlignLeft | Qt::AlignVCenter,
                   row->shortcut);
    }
    p.restore();
}

bool MappingRow::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const MappingListRow* row = model_.rowAt(index);
    if (mouse->button() != Qt::LeftButton || !row || !trashRect(option.rect).contains(mouse->position().toPoint()))
        return false;
    const ButtonMapping mapping = row->entry.mapping; // the call may replace the rows
    onRemove_(mapping);
    return true;
}

bool MappingRow::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                   const QModelIndex&)
{
    if (event->type() == QEvent::ToolTip && trashRect(option.rect).contains(event->pos())) {
        QToolTip::showText(event->globalPos(), QStringLiteral("Remove mapping"), view);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

namespace {
constexpr int logPadding = 6;
constexpr int logGap = 6;

// A line wraps between words; a word wider than the row (a path, a file name)
// is cut in its middle instead of running out of it.
QString shownMessage(const QString& message, int width)
{
    return nameFit::fittedWords(message, QFontMetricsF(Theme::font(Style::caption)), std::max(1, width - 1));
}

int messageHeight(const QString& message, int width)
{
    const QFontMetrics metrics(Theme::font(Style::caption));
    return metrics.boundingRect(QRect(0, 0, std::max(1, width), 10000), Qt::TextWordWrap, message).height();
}
} // namespace

QSize EventLogDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Rows wrap to the list's width, which the option does not always carry.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int rowWidth = view ? view->viewport()->width() : option.rect.width() > 0 ? option.rect.width() : 260;
    const int width = rowWidth - trailing - 2 * logPadding;
    const int height = messageHeight(shownMessage(index.data(Qt::DisplayRole).toString(), width), width) + 2 +
                       QFontMetrics(Theme::font(Style::caption2)).height();
    return {rowWidth, height + 2 * logPadding + logGap};
}

void EventLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = static_cast<const EventLogModel*>(index.model());
    const EventLogRow* row = model->rowAt(index);
    if (!row)
        return;
    QPainter& p = *painter;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(option.rect.adjusted(0, 0, -trailing, -logGap));
    p.setPen(Qt::NoPen);
    p.setBrush(Theme::surface());
    p.drawRoundedRect(plate, 8, 8);
    const QRect inner = plate.toRect().adjusted(logPadding, logPadding, -logPadding, -logPadding);
    const QString message = shownMessage(row->entry.message, inner.width());
    const int height = messageHeight(message, inner.width());
    p.setFont(Theme::font(Style::caption));
    p.setPen(Theme::textPrimary());
    p.drawText(QRect(inner.left(), inner.top(), inner.width(), height), Qt::TextWordWrap, message);
    p.setFont(Theme::font(Style::caption2));
    p.setPen(Theme::gray());
    p.drawText(QRect(inner.left(), inner.top() + height + 2, inner.width(), inner.height() - height - 2),
               Qt::AlignLeft | Qt::AlignTop, mappingText::logRowTime(row->entry.timestamp));
    p.restore();
}

} // namespace velmor
