#include "ui/shared/widgets/ElidingComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace velmor {

int ElidingComboBox::textWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    int width = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
    if (!option.currentIcon.isNull())
        width -= option.iconSize.width() + 4;
    return std::max(0, width - 2);
}

QString ElidingComboBox::shownText() const
{
    return fontMetrics().elidedText(currentText(), Qt::ElideRight, textWidth());
}

void ElidingComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace velmor
