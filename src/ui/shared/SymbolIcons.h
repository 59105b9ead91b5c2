#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QStringList>

class QPainter;

namespace velmor {

// Draws the symbols the windows name ("checkmark.circle.fill", a tool's
// systemIcon) with glyphs of the Material Icons font compiled into the program,
// in one colour at any size. A name without a glyph of its own draws the neutral
// fallback glyph. Main thread only; needs the Gui application.
class SymbolIcons {
public:
    // The glyph drawn for names that have none of their own.
    static inline const QString fallbackGlyph = QStringLiteral("crop_free");

    // The process-wide set, loaded on first use.
    static const SymbolIcons& instance();

    // Whether `symbol` has a glyph of its own.
    bool contains(const QString& symbol) const;
    // Every symbol name with a glyph of its own, sorted.
    const QStringList& names() const { return names_; }
    // The name of the font glyph drawn for `symbol`.
    QString glyphName(const QString& symbol) const;

    // The icon font at a pixel size; the symbol's text in it is glyphText().
    QFont font(qreal pixelSize) const;
    QString glyphText(const QString& symbol) const;

    // Draws the symbol centred in `rect`, as large as the rect's shorter side.
    void paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint) const;
    QPixmap pixmap(const QString& symbol, int size, const QColor& tint, qreal devicePixelRatio = 1.0) const;
    // An icon of any size; the disabled mode draws the tint faded.
    QIcon icon(const QString& symbol, const QColor& tint) const;

    // The glyph names of the font and their code points.
    const QHash<QString, char16_t>& fontGlyphs() const { return fontGlyphs_; }

private:
    SymbolIcons();
    char16_t codePoint(const QString& symbol) const;

    QString family_;
    QHash<QString, char16_t> fontGlyphs_;
    QHash<QString, QString> glyphNames_; // symbol → glyph, only glyphs the font has
    QStringList names_;
    char16_t fallback_ = 0;
};

} // namespace velmor
