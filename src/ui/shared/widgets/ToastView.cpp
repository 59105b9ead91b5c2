#include "ui/shared/widgets/ToastView.h"

#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

namespace velmor {

namespace {

constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 8;
constexpr int spacing = 8;
constexpr int symbolSize = 15;
constexpr qreal cornerRadius = 12;

QFont messageFont() { return Theme::boldFont(Theme::TextStyle::caption); }

} // namespace

ToastView::ToastView(const QString& message, QWidget* parent) : QWidget(parent), message_(message)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Theme::withOpacity(Qt::black, 0.33));
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 0);
    setGraphicsEffect(shadow);
}

void ToastView::setMessage(const QString& message)
{
    message_ = message;
    updateGeometry();
    adjustSize();
    update();
}

QSize ToastView::sizeHint() const
{
    const QFontMetrics metrics(messageFont());
    const int textWidth = metrics.horizontalAdvance(message_);
    const int rowHeight = std::max(symbolSize, metrics.height());
    return {horizontalPadding * 2 + symbolSize + spacing + textWidth, verticalPadding * 2 + rowHeight};
}

void ToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, Theme::withOpacity(Theme::surface(), 0.95));
    painter.strokePath(shape, QPen(Theme::border(), 1));

    const QRect row = rect().adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    SymbolIcons::instance().paint(painter, QRectF(row.left(), row.center().y() + 0.5 - symbolSize / 2.0, symbolSize, symbolSize),
                                  QStringLiteral("checkmark.circle.fill"), Theme::green());
    painter.setFont(messageFont());
    painter.setPen(Qt::white);
    painter.drawText(row.adjusted(symbolSize + spacing, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, message_);
}

} // namespace velmor
