#include "ui/shared/widgets/NameLabel.h"

#include "ui/shared/NameFit.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace velmor {

NameLabel::NameLabel(const QString& shown, QWidget* parent) : QLabel(shown, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString NameLabel::shownText() const
{
    return nameFit::fitted(text(), QFontMetricsF(font()), contentsRect().width());
}

QSize NameLabel::minimumSizeHint() const
{
    const QSize whole = QLabel::minimumSizeHint();
    return {std::min(whole.width(), fontMetrics().averageCharWidth() * 8), whole.height()};
}

void NameLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}

} // namespace velmor
