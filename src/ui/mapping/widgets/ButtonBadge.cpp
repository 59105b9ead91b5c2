#include "ui/mapping/widgets/ButtonBadge.h"

#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace velmor {

namespace {
constexpr qreal sidePadding = 8;
constexpr qreal topPadding = 4;
} // namespace

QFont ButtonBadge::font() { return Theme::boldFont(Theme::TextStyle::caption); }

ButtonBadge ButtonBadge::placed(const QString& buttonId, qreal right, qreal centreY, qreal rowWidth)
{
    const QFontMetricsF metrics(font());
    const QString text = plainText::paintedName(buttonId, metrics, rowWidth / 3 - 2 * sidePadding);
    const QSizeF size(metrics.horizontalAdvance(text) + 2 * sidePadding, metrics.height() + 2 * topPadding);
    return {QRectF(right - size.width(), centreY - size.height() / 2, size.width(), size.height()), text};
}

void ButtonBadge::paint(QPainter& painter, const QColor& fill, const QColor& textColour, qreal radius) const
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, radius, radius);
    painter.setFont(font());
    painter.setPen(textColour);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
}

} // namespace velmor
