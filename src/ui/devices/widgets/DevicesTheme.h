#pragma once

#include <QColor>
#include <QFont>
#include <QGuiApplication>

namespace velmor {

// The colours and text styles the device windows draw with, until the shared
// Theme is on the main line.
struct DevicesTheme {
    static QColor surface() { return QColor::fromRgbF(0.11f, 0.11f, 0.15f); }
    static QColor border() { return QColor::fromRgbF(0.2f, 0.2f, 0.26f); }
    static QColor accentPurple() { return QColor::fromRgbF(0.6f, 0.36f, 1.0f); }
    static QColor accentCyan() { return QColor::fromRgbF(0.2f, 0.72f, 0.93f); }
    static QColor panel() { return QColor::fromRgbF(0.13f, 0.13f, 0.18f); }
    static QColor background() { return QColor::fromRgbF(0.08f, 0.08f, 0.12f); }
    static QColor red() { return QColor(255, 69, 58); }
    static QColor secondaryText() { return withOpacity(Qt::white, 0.55); }
    static QColor withOpacity(QColor colour, qreal opacity)
    {
        colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
        return colour;
    }
    static QFont font(int pixels, bool bold = false)
    {
        QFont font = QGuiApplication::font();
        font.setPixelSize(pixels);
        font.setBold(bold);
        return font;
    }
};

} // namespace velmor
