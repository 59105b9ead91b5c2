#include "ui/shared/widgets/ElidingComboBox.h"

#include "ui/shared/NameFit.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFontMetricsF>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QtMath>

#include <algorithm>

namespace velmor {

ElidingComboBox::ElidingComboBox(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    view()->setTextElideMode(Qt::ElideRight);
}

namespace {
// An entry's whole text; the list shows it cut to the list's room.
constexpr int wholeTextRole = Qt::UserRole + 1;
} // namespace

void ElidingComboBox::showEntries(const QList<Entry>& entries, const QVariant& current)
{
    const QSignalBlocker blocker(this);
    bool same = count() == entries.size();
    for (int i = 0; same && i < count(); ++i)
        same = itemData(i) == entries[i].value && wholeText(i) == entries[i].text;
    if (!same) {
        clear();
        entryTexts_.beginFill(*this);
        for (const Entry& entry : entries) {
            addItem(entryTexts_.fitted(entry.text), entry.value);
            setItemData(count() - 1, entry.text, wholeTextRole);
        }
    }
    setCurrentIndex(findData(current));
}

QString ElidingComboBox::wholeText(int index) const
{
    const QVariant whole = itemData(index, wholeTextRole);
    return whole.isValid() ? whole.toString() : itemText(index);
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
    return currentIndex() < 0 ? QString()
                              : nameFit::fitted(wholeText(currentIndex()), QFontMetricsF(font()), textWidth());
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

void ElidingComboBox::showPopup()
{
    // The list is narrowed as it is shown, before the window system sees it wide.
    view()->window()->installEventFilter(this);
    QComboBox::showPopup();
}

bool ElidingComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched == view()->window())
        fitList(*view()->window());
    return QComboBox::eventFilter(watched, event);
}

void ElidingComboBox::fitList(QWidget& list) const
{
    const int widest = std::max(width(), qCeil(nameFit::menuWidth(QFontMetricsF(view()->font()))));
    if (list.width() <= widest)
        return;
    QRect area = list.geometry();
    area.setWidth(widest);
    area.moveLeft(mapToGlobal(QPoint(0, 0)).x());
    if (const QScreen* shown = screen()) {
        const QRect room = shown->availableGeometry();
        if (area.right() > room.right())
            area.moveRight(room.right());
        if (area.left() < room.left())
            area.moveLeft(room.left());
    }
    list.setGeometry(area);
}

} // namespace velmor
