#include "ui/mapping/widgets/ViewParts.h"

#include "ui/shared/SymbolIcons.h"
#include "ui/shared/widgets/NameLabel.h"

#include <QBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace velmor::mappingViews {

namespace {

QLabel* styled(QLabel* label, Style style, const QColor& colour, bool bold)
{
    label->setFont(bold ? Theme::boldFont(style) : Theme::font(style));
    label->setTextFormat(Qt::PlainText);
    setTextColour(label, colour);
    return label;
}

} // namespace

QLabel* textLabel(const QString& text, Style style, const QColor& colour, bool bold, QWidget* parent)
{
    return styled(new QLabel(text, parent), style, colour, bold);
}

QLabel* nameLabel(const QString& shown, Style style, const QColor& colour, bool bold, QWidget* parent)
{
    return styled(new NameLabel(shown, parent), style, colour, bold);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QLabel* sectionTitle(const QString& text) { return textLabel(text, Style::caption, Theme::gray(), true); }

QWidget* divider()
{
    auto* line = new RoundedBox(0);
    line->setLook(Theme::withOpacity(Theme::border(), 0.9), Qt::transparent, 0);
    line->setFixedHeight(1);
    return line;
}

QVBoxLayout* column(QWidget* owner, int spacing)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* row(QWidget* owner, int spacing)
{
    auto* layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QVBoxLayout* column(int spacing) { return column(nullptr, spacing); }
QHBoxLayout* row(int spacing) { return row(nullptr, spacing); }

Dot::Dot(int diameter, QColor colour, QWidget* parent) : QWidget(parent), colour_(std::move(colour))
{
    setFixedSize(diameter, diameter);
}

void Dot::setColour(const QColor& colour)
{
    if (colour_ == colour)
        return;
    colour_ = colour;
    update();
}

void Dot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour_);
    painter.drawEllipse(rect());
}

RoundedBox::RoundedBox(qreal radius, QWidget* parent) : QWidget(parent), radius_(radius) {}

void RoundedBox::setLook(const QColor& fill, const QColor& border, qreal borderWidth)
{
    if (fill_ == fill && border_ == border && borderWidth_ == borderWidth)
        return;
    fill_ = fill;
    border_ = border;
    borderWidth_ = borderWidth;
    update();
}

void RoundedBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = borderWidth_ / 2;
    const QRectF shape = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    painter.setPen(borderWidth_ > 0 ? QPen(border_, borderWidth_) : QPen(Qt::NoPen));
    if (panelGradient_)
        painter.setBrush(Theme::panelGradient());
    else
        painter.setBrush(fill_);
    painter.drawRoundedRect(shape, radius_, radius_);
}

Badge::Badge(qreal radius, QWidget* parent) : QLabel(parent), radius_(radius)
{
    setContentsMargins(8, 4, 8, 4);
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

void Badge::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::surface());
        painter.drawRoundedRect(QRectF(rect()), radius_, radius_);
    }
    QLabel::paintEvent(event);
}

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? Theme::blue() : Theme::withOpacity(Qt::white, 0.18));
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 3;
    const qreal x = isChecked() ? track.right() - knob - 1.5 : track.left() + 1.5;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 1.5, knob, knob));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Theme::withOpacity(Theme::blue(), 0.6), 2));
        painter.drawRoundedRect(track, radius, radius);
    }
}

SymbolButton::SymbolButton(QString symbol, QColor tint, int size, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), tint_(std::move(tint)), size_(size)
{
    setCursor(Qt::PointingHandCursor);
    setFixedSize(size, size);
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(isDown() ? 0.6 : 1.0);
    SymbolIcons::instance().paint(painter, rect(), symbol_, tint_);
}

QFont fittedFont(const QFont& font, const QString& text, qreal width, qreal minimumScale)
{
    QFont fitted = font;
    const qreal size = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
    for (qreal scale = 1.0; scale >= minimumScale - 1e-9; scale -= 0.05) {
        if (font.pixelSize() > 0)
            fitted.setPixelSize(std::max(1, qRound(size * scale)));
        else
            fitted.setPointSizeF(size * scale);
        if (QFontMetricsF(fitted).horizontalAdvance(text) <= width)
            return fitted;
    }
    return fitted;
}

} // namespace velmor::mappingViews
