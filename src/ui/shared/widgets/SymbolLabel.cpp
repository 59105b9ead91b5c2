#include "ui/shared/widgets/SymbolLabel.h"

#include "ui/shared/SymbolIcons.h"

#include <QPainter>

namespace velmor {

namespace {
constexpr int spacing = 5;
}

SymbolLabel::SymbolLabel(QString symbol, QString text, QColor colour, QWidget* parent) : QWidget(parent)
{
    set(std::move(symbol), std::move(text), std::move(colour));
}

void SymbolLabel::set(QString symbol, QString text, QColor colour)
{
    const bool resized = text != text_;
    symbol_ = std::move(symbol);
    text_ = std::move(text);
    colour_ = std::move(colour);
    if (resized)
        updateGeometry();
    update();
}

int SymbolLabel::symbolSize() const { return qRound(fontMetrics().height() * 1.15); }

QSize SymbolLabel::sizeHint() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text_);
    return {symbolSize() + (text_.isEmpty() ? 0 : spacing + textWidth), std::max(symbolSize(), fontMetrics().height())};
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int size = symbolSize();
    const QRect symbolRect(0, (height() - size) / 2, size, size);
    SymbolIcons::instance().paint(painter, symbolRect, symbol_, colour_);
    painter.setPen(colour_);
    painter.drawText(QRect(size + spacing, 0, width() - size - spacing, height()), Qt::AlignLeft | Qt::AlignVCenter,
                     text_);
}

} // namespace velmor
