#pragma once

#include <QFontMetricsF>
#include <QList>
#include <QString>

namespace velmor {

// The room a tooltip gives the names it shows, as a menu does: each name
// escaped, isolated and cut to about 60 characters of the tooltip's font, and
// its line kept within about 100, so no tooltip runs off a screen.
class ToolTipRoom {
public:
    // A tooltip is drawn in the application's font.
    ToolTipRoom();
    explicit ToolTipRoom(const QFont& font);

    // One piece of a line: Velmor's own text, or a name from data.
    struct Piece {
        QString text;
        bool isName = false;
    };
    static Piece name(const QString& text) { return {text, true}; }

    // The pieces joined into one line; when the names would make it too wide,
    // the widest of them give up their room first.
    QString line(const QList<Piece>& pieces) const;

private:
    QFontMetricsF metrics_;
};

} // namespace velmor
