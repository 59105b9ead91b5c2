#include "ui/shared/Theme.h"

#include <QGuiApplication>

namespace velmor {

namespace {

QColor rgb(float red, float green, float blue) { return QColor::fromRgbF(red, green, blue); }

QLinearGradient diagonal(const QColor& from, const QColor& to)
{
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectMode);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

} // namespace

QLinearGradient Theme::backgroundGradient() { return diagonal(rgb(0.08f, 0.08f, 0.12f), rgb(0.04f, 0.04f, 0.06f)); }
QLinearGradient Theme::panelGradient() { return diagonal(rgb(0.13f, 0.13f, 0.18f), rgb(0.09f, 0.09f, 0.13f)); }

QColor Theme::surface() { return rgb(0.11f, 0.11f, 0.15f); }
QColor Theme::border() { return rgb(0.2f, 0.2f, 0.26f); }
QColor Theme::accentPurple() { return rgb(0.6f, 0.36f, 1.0f); }
QColor Theme::accentCyan() { return rgb(0.2f, 0.72f, 0.93f); }
QColor Theme::accentGreen() { return rgb(0.2f, 0.74f, 0.46f); }
QColor Theme::accentAmber() { return rgb(0.98f, 0.66f, 0.22f); }
QColor Theme::accentRed() { return rgb(0.93f, 0.30f, 0.36f); }
QColor Theme::textPrimary() { return withOpacity(Qt::white, 0.88); }

QColor Theme::green() { return QColor(48, 209, 88); }
QColor Theme::yellow() { return QColor(255, 214, 10); }
QColor Theme::orange() { return QColor(255, 159, 10); }
QColor Theme::red() { return QColor(255, 69, 58); }
QColor Theme::blue() { return QColor(10, 132, 255); }
QColor Theme::gray() { return QColor(152, 152, 157); }
QColor Theme::secondaryText() { return withOpacity(Qt::white, 0.55); }

QFont Theme::font(TextStyle style)
{
    int pixels = 13;
    switch (style) {
    case TextStyle::title: pixels = 22; break;
    case TextStyle::title2: pixels = 17; break;
    case TextStyle::title3: pixels = 15; break;
    case TextStyle::headline:
    case TextStyle::body: pixels = 13; break;
    case TextStyle::callout: pixels = 12; break;
    case TextStyle::subheadline: pixels = 11; break;
    case TextStyle::footnote:
    case TextStyle::caption:
    case TextStyle::caption2: pixels = 10; break;
    }
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setBold(style == TextStyle::headline);
    return font;
}

QFont Theme::boldFont(TextStyle style)
{
    QFont bold = font(style);
    bold.setBold(true);
    return bold;
}

QFont Theme::monospacedFont(TextStyle style)
{
    QFont mono = font(style);
    mono.setFamily(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    return mono;
}

QPalette Theme::palette()
{
    const QColor text = textPrimary();
    const QColor disabledText = withOpacity(Qt::white, 0.3);
    QPalette palette;
    palette.setColor(QPalette::Window, surface());
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, rgb(0.08f, 0.08f, 0.11f));
    palette.setColor(QPalette::AlternateBase, rgb(0.13f, 0.13f, 0.18f));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::PlaceholderText, withOpacity(Qt::white, 0.35));
    palette.setColor(QPalette::Button, rgb(0.2f, 0.2f, 0.26f));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, blue());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, surface());
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Link, accentCyan());
    palette.setColor(QPalette::Light, rgb(0.3f, 0.3f, 0.36f));
    palette.setColor(QPalette::Midlight, rgb(0.25f, 0.25f, 0.31f));
    palette.setColor(QPalette::Mid, border());
    palette.setColor(QPalette::Dark, rgb(0.05f, 0.05f, 0.07f));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    return palette;
}

QColor Theme::withOpacity(QColor colour, qreal opacity)
{
    colour.setAlphaF(static_cast<float>(opacity));
    return colour;
}

} // namespace velmor
