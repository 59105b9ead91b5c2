#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPalette>

namespace velmor {

// The windows' one dark look: the shared palette, the system colours the windows
// name ("green", "secondary"), the text styles and a palette for standard controls.
struct Theme {
    // Dark gradients from the top-leading to the bottom-trailing corner of whatever
    // they fill (object bounding mode: any rect a painter fills with them).
    static QLinearGradient backgroundGradient();
    static QLinearGradient panelGradient();

    static QColor surface();
    static QColor border();
    static QColor accentPurple();
    static QColor accentCyan();
    static QColor accentGreen();
    static QColor accentAmber();
    static QColor accentRed();
    static QColor textPrimary(); // white at 0.88

    // System colours of the dark appearance.
    static QColor green();
    static QColor yellow();
    static QColor orange();
    static QColor red();
    static QColor blue();
    static QColor gray();
    static QColor secondaryText(); // the "secondary" foreground style

    // Text styles at their sizes in logical pixels.
    enum class TextStyle { title, title2, title3, headline, body, callout, subheadline, footnote, caption, caption2 };
    static QFont font(TextStyle style);
    static QFont boldFont(TextStyle style);
    // The monospaced face at a text style's size.
    static QFont monospacedFont(TextStyle style);

    // The palette for standard controls (fields, pickers, dialogs) on the dark windows.
    static QPalette palette();

    // The same colour at another opacity.
    static QColor withOpacity(QColor colour, qreal opacity);
};

} // namespace velmor
