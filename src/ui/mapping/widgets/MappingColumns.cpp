#include "ui/mapping/widgets/MappingColumns.h"

#include <QWidget>

#include <algorithm>

namespace velmor {

namespace {

constexpr int gaps = 3 * MappingColumnsLayout::spacing + 2 * MappingColumnsLayout::margin;

// Hands up to `room` to two columns, each up to its own target, in proportion to
// what each still lacks; returns what is left.
int grow(int room, int& first, int firstTarget, int& second, int secondTarget)
{
    const int wantFirst = std::max(0, firstTarget - first);
    const int wantSecond = std::max(0, secondTarget - second);
    const int want = wantFirst + wantSecond;
    if (want == 0 || room <= 0)
        return std::max(room, 0);
    if (room >= want) {
        first += wantFirst;
        second += wantSecond;
        return room - want;
    }
    const int toFirst = static_cast<int>(static_cast<qint64>(room) * wantFirst / want);
    first += toFirst;
    second += room - toFirst;
    return 0;
}

} // namespace

MappingColumnWidths MappingColumnWidths::forWidth(int width, int centreMinimum)
{
    MappingColumnWidths widths{railWidth, panelMinimum, std::max(centreMinimum, 0), rightMinimum};
    int room = width - (widths.rail + widths.panel + widths.centre + widths.right);
    room = grow(room, widths.panel, panelIdeal, widths.right, rightIdeal);
    room = grow(room, widths.panel, panelMaximum, widths.right, rightMaximum);
    widths.centre += room;
    return widths;
}

MappingColumnsLayout::MappingColumnsLayout(QWidget* rail, QWidget* panel, QWidget* centre, QWidget* right,
                                           QWidget* parent)
    : QLayout(parent)
{
    setContentsMargins(margin, margin, margin, margin);
    for (QWidget* widget : {rail, panel, centre, right}) {
        addChildWidget(widget);
        items_.append(new QWidgetItem(widget));
    }
}

MappingColumnsLayout::~MappingColumnsLayout() { qDeleteAll(items_); }

void MappingColumnsLayout::addItem(QLayoutItem* item)
{
    // The four columns are fixed; anything else is not laid out.
    delete item;
}

QLayoutItem* MappingColumnsLayout::takeAt(int index)
{
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int MappingColumnsLayout::centreMinimum() const
{
    return items_.size() == 4 ? items_[2]->minimumSize().width() : 0;
}

QSize MappingColumnsLayout::minimumSize() const
{
    int height = 0;
    for (const QLayoutItem* item : items_)
        height = std::max(height, item->minimumSize().height());
    const int width = MappingColumnWidths::railWidth + MappingColumnWidths::panelMinimum + centreMinimum() +
                      MappingColumnWidths::rightMinimum;
    return {width + gaps, height + 2 * margin};
}

QSize MappingColumnsLayout::sizeHint() const
{
    int height = 0;
    for (const QLayoutItem* item : items_)
        height = std::max(height, item->sizeHint().height());
    const QSize minimum = minimumSize();
    return {std::max(minimum.width(), MappingColumnWidths::railWidth + MappingColumnWidths::panelIdeal +
                                          centreMinimum() + MappingColumnWidths::rightIdeal + gaps),
            std::max(minimum.height(), height + 2 * margin)};
}

void MappingColumnsLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    if (items_.size() != 4)
        return;
    const QRect area = rect.adjusted(margin, margin, -margin, -margin);
    const MappingColumnWidths widths =
        MappingColumnWidths::forWidth(area.width() - 3 * spacing, centreMinimum());
    int x = area.left();
    const int columns[] = {widths.rail, widths.panel, widths.centre, widths.right};
    for (int i = 0; i < 4; ++i) {
        items_[i]->setGeometry(QRect(x, area.top(), columns[i], area.height()));
        x += columns[i] + spacing;
    }
}

} // namespace velmor
