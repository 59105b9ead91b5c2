#include "ui/shared/widgets/MenuRoom.h"

#include "ui/shared/NameFit.h"
#include "ui/shared/PlainText.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QStyle>

#include <algorithm>

namespace velmor {

namespace {

// What the style draws around an entry's text, measured on a menu in the
// font, style and style sheet of `shownIn` that holds one checkable entry with an icon.
qreal aroundText(const QWidget& shownIn, const QFontMetricsF& metrics)
{
    QMenu probe;
    probe.setFont(shownIn.font());
    probe.setStyleSheet(shownIn.styleSheet());
    QPixmap icon(shownIn.style()->pixelMetric(QStyle::PM_SmallIconSize), 1);
    icon.fill(Qt::transparent);
    const QString sample(10, u'x');
    QAction* entry = probe.addAction(QIcon(icon), sample);
    entry->setCheckable(true);
    return probe.sizeHint().width() - metrics.horizontalAdvance(sample);
}

} // namespace

MenuRoom::MenuRoom(const QWidget& menuOrPicker) : metrics_(menuOrPicker.font())
{
    const qreal widest = nameFit::menuWidth(metrics_);
    // A style with wide margins still leaves a name some room.
    width_ = std::max(widest - aroundText(menuOrPicker, metrics_), widest / 2);
}

QString MenuRoom::fitted(const QString& shown, const QString& besides) const
{
    return nameFit::fitted(shown, metrics_, width_ - metrics_.horizontalAdvance(besides));
}

QString MenuRoom::entryText(const QString& shown) const { return plainText::actionText(fitted(shown)); }

} // namespace velmor
