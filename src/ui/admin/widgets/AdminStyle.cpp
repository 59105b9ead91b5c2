#include "ui/admin/widgets/AdminStyle.h"

#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/FocusRing.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace velmor::admin {

QLabel* label(const QString& text, Theme::TextStyle style, const QColor& colour, bool bold, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(bold ? Theme::boldFont(style) : Theme::font(style));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* segment(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setCheckable(true);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: rgba(255,255,255,18); border: 1px solid rgba(255,255,255,30); color: white;"
        " padding: 4px 8px; }"
        "QPushButton:checked { background: rgba(153,92,255,120); border-color: rgba(153,92,255,200); }"));
    return button;
}

CompactToolbarButton::CompactToolbarButton(const QString& symbol, const QString& text,
                                           CompactToolbarButtonStyle style, QWidget* parent)
    : QPushButton(text, parent), symbol_(symbol), style_(std::move(style))
{
    setFont(Theme::font(Theme::TextStyle::caption));
    setCursor(Qt::PointingHandCursor);
    setProperty(FocusRing::cornerRadiusProperty, 10);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CompactToolbarButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int symbol = symbol_.isEmpty() ? 0 : metrics.height() + 6;
    return {metrics.horizontalAdvance(text()) + symbol + 2 * 10, metrics.height() + 2 * 6};
}

void CompactToolbarButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (pressed) {
        const QPointF centre = area.center();
        area.setSize(area.size() * 0.98);
        area.moveCenter(centre);
    }
    QPainterPath shape;
    shape.addRoundedRect(area, 10, 10);
    painter.fillPath(shape, Theme::withOpacity(Theme::surface(), 0.4));
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, Theme::withOpacity(style_.tint, pressed ? 0.9 : 1.0));
    gradient.setColorAt(1, Theme::withOpacity(style_.tint, pressed ? 0.7 : 0.85));
    painter.fillPath(shape, gradient);
    painter.strokePath(shape, QPen(Theme::withOpacity(Qt::white, 0.12), 1));

    const QFontMetrics metrics(font());
    const int symbolSize = symbol_.isEmpty() ? 0 : metrics.height();
    const int contentWidth = metrics.horizontalAdvance(text()) + (symbolSize ? symbolSize + 6 : 0);
    qreal x = area.center().x() - contentWidth / 2.0;
    if (symbolSize) {
        SymbolIcons::instance().paint(painter, QRectF(x, area.center().y() - symbolSize / 2.0, symbolSize, symbolSize),
                                      symbol_, style_.textColor);
        x += symbolSize + 6;
    }
    painter.setPen(style_.textColor);
    painter.setFont(font());
    painter.drawText(QRectF(x, area.top(), area.right() - x, area.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

} // namespace velmor::admin
