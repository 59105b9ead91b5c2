#include "ui/shared/widgets/NiceButton.h"

#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/FocusRing.h"

#include <QPainter>
#include <QPainterPath>

namespace velmor {

namespace {
constexpr int labelSpacing = 6;
}

NiceButton::NiceButton(const QString& text, NiceButtonStyle style, QWidget* parent)
    : NiceButton(QString(), text, std::move(style), parent)
{
}

NiceButton::NiceButton(const QString& symbol, const QString& text, NiceButtonStyle style, QWidget* parent)
    : QPushButton(text, parent), style_(std::move(style)), symbol_(symbol)
{
    setAutoDefault(false);
    setCursor(Qt::PointingHandCursor);
    setProperty(FocusRing::cornerRadiusProperty, cornerRadius);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void NiceButton::setNiceStyle(NiceButtonStyle style)
{
    style_ = std::move(style);
    update();
}

void NiceButton::setSymbol(const QString& symbol)
{
    symbol_ = symbol;
    updateGeometry();
    update();
}

int NiceButton::symbolSize() const { return symbol_.isEmpty() ? 0 : qRound(fontMetrics().height() * 1.15); }

QSize NiceButton::sizeHint() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int gap = !symbol_.isEmpty() && !text().isEmpty() ? labelSpacing : 0;
    const int labelHeight = std::max(fontMetrics().height(), symbolSize());
    return {symbolSize() + gap + textWidth + 2 * horizontalPadding, labelHeight + 2 * verticalPadding};
}

void NiceButton::paintEvent(QPaintEvent*)
{
    const bool pressed = isDown();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);

    // Pressed: scaled to 0.98 about the centre; the widget itself keeps its size.
    const QRectF bounds = rect();
    if (pressed) {
        painter.translate(bounds.center());
        painter.scale(0.98, 0.98);
        painter.translate(-bounds.center());
    }
    QPainterPath shape;
    shape.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.setClipPath(shape);

    // Surface and its shadow lie under the gradient, clipped to the shape: the
    // shadow only shows as a darkening that fades in below the top edge.
    QLinearGradient shadow(bounds.topLeft(), bounds.topLeft() + QPointF(0, pressed ? 4 : 8));
    const qreal shadowOpacity = pressed ? 0.2 : 0.35;
    shadow.setColorAt(0, Theme::withOpacity(Qt::black, shadowOpacity * 0.3));
    shadow.setColorAt(1, Theme::withOpacity(Qt::black, shadowOpacity));
    painter.fillPath(shape, shadow);
    painter.fillPath(shape, Theme::withOpacity(Theme::surface(), 0.4));
    QLinearGradient tint(0, 0, 1, 1);
    tint.setCoordinateMode(QGradient::ObjectMode);
    tint.setColorAt(0, Theme::withOpacity(style_.tint, style_.tint.alphaF() * (pressed ? 0.9 : 1.0)));
    tint.setColorAt(1, Theme::withOpacity(style_.tint, style_.tint.alphaF() * (pressed ? 0.7 : 0.85)));
    painter.fillRect(bounds, tint);
    painter.strokePath(shape, QPen(Theme::withOpacity(Qt::white, 0.12), 1));

    // The label, centred: symbol, then text.
    const QRectF label = bounds.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const int size = symbolSize();
    const qreal textWidth = fontMetrics().horizontalAdvance(text());
    const qreal gap = size > 0 && !text().isEmpty() ? labelSpacing : 0;
    qreal x = label.center().x() - (size + gap + textWidth) / 2;
    if (size > 0) {
        SymbolIcons::instance().paint(painter, QRectF(x, label.center().y() - size / 2.0, size, size), symbol_,
                                      style_.textColor);
        x += size + gap;
    }
    painter.setPen(style_.textColor);
    painter.drawText(QRectF(x, label.top(), textWidth + 1, label.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace velmor
