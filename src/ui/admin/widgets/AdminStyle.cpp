#include "ui/admin/widgets/AdminStyle.h"

#include "ui/shared/SymbolIcons.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace velmor::admin {

namespace {

QColor rgb(float red, float green, float blue) { return QColor::fromRgbF(red, green, blue); }

QLinearGradient diagonal(const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

} // namespace

QLinearGradient Look::backgroundGradient() { return diagonal(rgb(0.08f, 0.08f, 0.12f), rgb(0.04f, 0.04f, 0.06f)); }
QLinearGradient Look::panelGradient() { return diagonal(rgb(0.13f, 0.13f, 0.18f), rgb(0.09f, 0.09f, 0.13f)); }
QColor Look::surface() { return rgb(0.11f, 0.11f, 0.15f); }
QColor Look::border() { return rgb(0.2f, 0.2f, 0.26f); }
QColor Look::accentPurple() { return rgb(0.6f, 0.36f, 1.0f); }
QColor Look::accentCyan() { return rgb(0.2f, 0.72f, 0.93f); }
QColor Look::accentRed() { return rgb(0.93f, 0.30f, 0.36f); }
QColor Look::green() { return QColor(48, 209, 88); }
QColor Look::orange() { return QColor(255, 159, 10); }
QColor Look::red() { return QColor(255, 69, 58); }
QColor Look::blue() { return QColor(10, 132, 255); }
QColor Look::gray() { return QColor(152, 152, 157); }
QColor Look::secondaryText() { return withOpacity(Qt::white, 0.55); }

QColor Look::withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(float(colour.alphaF() * opacity));
    return colour;
}

QFont Look::font(TextStyle style, bool bold)
{
    QFont font;
    int size = 13;
    switch (style) {
    case TextStyle::title2: size = 17; break;
    case TextStyle::headline: size = 13; bold = true; break;
    case TextStyle::subheadline: size = 11; break;
    case TextStyle::body: size = 13; break;
    case TextStyle::caption: size = 10; break;
    case TextStyle::caption2: size = 9; break;
    }
    font.setPixelSize(size + 2);
    font.setBold(bold);
    return font;
}

QFont Look::monospaced(TextStyle style)
{
    QFont mono = font(style);
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    return mono;
}

QWidget* label(const QString& text, Look::TextStyle style, const QColor& colour, bool bold, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Look::font(style, bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void Backdrop::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Look::backgroundGradient());
}

Card::Card(int padding, QWidget* parent) : QWidget(parent), layout_(new QVBoxLayout(this))
{
    layout_->setContentsMargins(padding, padding, padding, padding);
    layout_->setSpacing(0);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Look::withOpacity(Qt::black, 0.4));
    shadow->setBlurRadius(12);
    shadow->setOffset(0, 6);
    setGraphicsEffect(shadow);
}

void Card::setContent(QWidget* content) { layout_->addWidget(content); }

void Card::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
    painter.fillPath(card, Look::panelGradient());
    painter.strokePath(card, QPen(Look::withOpacity(Look::border(), 0.7), 1));
}

TintedButton::TintedButton(const QString& symbol, const QString& text, QColor tint, Size size, QWidget* parent)
    : QPushButton(text, parent), symbol_(symbol), tint_(std::move(tint)), size_(size)
{
    setFont(Look::font(size_ == Size::compact ? Look::TextStyle::caption : Look::TextStyle::body));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TintedButton::sizeHint() const
{
    const int vertical = size_ == Size::compact ? 6 : 9;
    const int horizontal = size_ == Size::compact ? 10 : 14;
    const QFontMetrics metrics(font());
    const int symbol = symbol_.isEmpty() ? 0 : metrics.height() + 6;
    return {metrics.horizontalAdvance(text()) + symbol + 2 * horizontal, metrics.height() + 2 * vertical};
}

void TintedButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool pressed = isDown();
    const qreal radius = size_ == Size::compact ? 10 : 12;
    QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (pressed) {
        const QPointF centre = area.center();
        area.setSize(area.size() * 0.98);
        area.moveCenter(centre);
    }
    if (!isEnabled())
        painter.setOpacity(0.5);
    QPainterPath shape;
    shape.addRoundedRect(area, radius, radius);
    painter.fillPath(shape, Look::withOpacity(Look::surface(), 0.4));
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, Look::withOpacity(tint_, pressed ? 0.9 : 1.0));
    gradient.setColorAt(1, Look::withOpacity(tint_, pressed ? 0.7 : 0.85));
    painter.fillPath(shape, gradient);
    painter.strokePath(shape, QPen(Look::withOpacity(Qt::white, 0.12), 1));

    const QFontMetrics metrics(font());
    const int symbolSize = symbol_.isEmpty() ? 0 : metrics.height();
    const int contentWidth = metrics.horizontalAdvance(text()) + (symbolSize ? symbolSize + 6 : 0);
    qreal x = area.center().x() - contentWidth / 2.0;
    if (symbolSize) {
        SymbolIcons::instance().paint(painter, QRectF(x, area.center().y() - symbolSize / 2.0, symbolSize, symbolSize),
                                      symbol_, Qt::white);
        x += symbolSize + 6;
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(QRectF(x, area.top(), area.right() - x, area.height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

Switch::Switch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Switch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? Look::green() : Look::withOpacity(Qt::white, 0.18));
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal x = isChecked() ? track.right() - knob - 2 : track.left() + 2;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

} // namespace velmor::admin
