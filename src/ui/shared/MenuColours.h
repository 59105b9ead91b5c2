#pragma once

#include <QColor>
#include <QPalette>

namespace velmor {

// Colours that read on a pop-up menu of the windows' style, each on the colour
// the menu is actually filled with: the header's (at least 7:1), the captions'
// (6:1) and the dividers' (3:1).
struct MenuColours {
    QColor headline;
    // Captions are small, thin text whose strokes are mostly blended edges: 6:1
    // as a colour keeps them at 4.5:1 as drawn.
    QColor secondary;
    QColor divider;

    // What the style fills a menu with: Fusion takes the base colour, 8 % lighter,
    // not the window colour.
    static QColor background(const QPalette& palette);
    static MenuColours of(const QPalette& palette);
};

} // namespace velmor
