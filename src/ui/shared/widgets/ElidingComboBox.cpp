#include "ui/shared/widgets/ElidingComboBox.h"

#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace velmor {

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void ElidingComboBox::showEntries(const QList<Entry>& entries, const QVariant& current)
{
    const QSignalBlocker blocker(this);
    bool same = count() == entries.size();
    for (int i = 0; same && i < count(); ++i)
        same = itemData(i) == entries[i].value && itemText(i) == entries[i].text;
    if (!same) {
        clear();
        for (const Entry& entry : entries)
            addItem(entry.text, entry.value);
    }
    setCurrentIndex(findData(current));
}

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
