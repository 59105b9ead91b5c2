#include "ui/shared/ToolTipRoom.h"

#include "platform/Text.h"
#include "platform/TextEnds.h"
#include "ui/shared/NameFit.h"

#include <QGuiApplication>
#include <QHash>

#include <algorithm>

namespace velmor {

ToolTipRoom::ToolTipRoom() : ToolTipRoom(QGuiApplication::font()) {}

ToolTipRoom::ToolTipRoom(const QFont& font) : metrics_(font) {}

QString ToolTipRoom::line(const QList<Piece>& pieces) const
{
    QStringList shown;
    QList<qsizetype> names;
    qreal fixed = 0;
    for (const Piece& piece : pieces) {
        if (piece.isName) {
            names.append(shown.size());
            shown.append(text::shownEnds(piece.text));
        } else {
            shown.append(text::visibleControls(piece.text));
            fixed += metrics_.horizontalAdvance(shown.back());
        }
    }
    // The narrowest names first: each takes what it needs of an equal share of
    // what is left, and leaves the rest to the wider ones. A name is measured as
    // cut to its own room, so a long one costs no more than that.
    const qreal eachName = nameFit::toolTipNameWidth(metrics_);
    QHash<qsizetype, qreal> widths;
    for (const qsizetype name : names)
        widths.insert(name, metrics_.horizontalAdvance(nameFit::fitted(shown[name], metrics_, eachName)));
    std::stable_sort(names.begin(), names.end(), [&](qsizetype a, qsizetype b) { return widths[a] < widths[b]; });
    qreal left = nameFit::toolTipLineWidth(metrics_) - fixed;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QString& name = shown[names[i]];
        const qreal share = std::max<qreal>(0, left / qreal(names.size() - i));
        name = nameFit::fitted(name, metrics_, std::min(eachName, share));
        left -= metrics_.horizontalAdvance(name);
    }
    return shown.join(QString());
}

} // namespace velmor
