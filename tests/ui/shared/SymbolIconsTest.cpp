#include "ui/shared/SymbolIcons.h"

#include "model/RadiologyTool.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>

using namespace velmor;

namespace {

// Every symbol name the windows name, the icon picker's built-in list included.
const QStringList windowSymbols{
    "arrow.2.squarepath", "arrow.backward", "arrow.clockwise", "arrow.counterclockwise", "arrow.down",
    "arrow.down.doc", "arrow.down.to.line.compact", "arrow.forward", "arrow.left", "arrow.left.arrow.right",
    "arrow.left.to.line", "arrow.right", "arrow.right.to.line", "arrow.triangle.2.circlepath", "arrow.up",
    "arrow.up.arrow.down", "arrow.up.left.and.arrow.down.right", "arrow.up.right", "arrow.up.to.line.compact",
    "arrow.uturn.backward", "arrowshape.turn.up.left", "arrowshape.turn.up.right", "backward.fill",
    "bolt.circle", "bolt.fill", "bolt.horizontal.fill", "bolt.slash", "brain.head.profile", "character.textbox",
    "checkmark", "checkmark.circle", "checkmark.circle.fill", "checkmark.seal", "checkmark.seal.fill",
    "chevron.backward", "chevron.backward.square", "chevron.down", "chevron.forward", "chevron.forward.square",
    "chevron.right", "circle", "circle.fill", "circle.grid.3x3", "circle.grid.cross", "circle.lefthalf.filled",
    "cube.transparent", "diamond", "diamond.fill", "doc.badge.ellipsis", "doc.badge.gearshape",
    "doc.badge.plus", "doc.on.doc", "doc.plaintext", "doc.text", "doc.text.viewfinder", "ellipsis",
    "ellipsis.circle", "exclamationmark.triangle.fill", "eye", "eye.fill", "eye.slash", "flag", "flag.fill",
    "folder", "forward.end", "forward.fill", "gamecontroller.fill", "gauge", "gear", "gearshape.fill",
    "hand.draw", "hand.point.up.left", "hand.point.up.left.fill", "hand.raised", "hand.tap", "hand.thumbsdown",
    "hand.thumbsup", "highlighter", "info.circle", "info.circle.fill", "lasso", "lasso.and.sparkles",
    "line.3.crossed.swirl.circle", "link", "list.bullet", "lock", "lock.open", "lock.slash", "magnifyingglass",
    "mic.fill", "mic.slash", "minus", "octagon", "octagon.fill", "paperclip", "pause.circle", "pencil",
    "pencil.and.outline", "pencil.circle", "pencil.tip", "person.2.fill", "person.crop.circle.badge.plus",
    "photo", "play.circle", "plus", "questionmark.circle", "questionmark.square", "rectangle.3.group",
    "rectangle.and.pencil.and.ellipsis", "rectangle.expand.vertical", "rectangle.grid.2x2",
    "rectangle.inset.filled.and.person.filled", "rectangle.on.rectangle", "rectangle.on.rectangle.slash",
    "rectangle.stack.badge.minus", "ruler", "scope", "scribble", "scribble.variable", "signature",
    "slash.circle", "slider.horizontal.3", "sparkles.rectangle.stack", "speaker.wave.2.fill", "square",
    "square.and.arrow.down", "square.and.pencil", "square.dashed", "square.fill", "square.grid.2x2",
    "square.grid.3x2", "square.grid.3x2.fill", "square.grid.3x3", "square.grid.4x3.fill", "square.on.square",
    "square.split.2x1", "square.split.2x2", "square.stack.3d.up", "star", "star.fill", "text.badge.checkmark",
    "text.badge.star", "text.quote", "trash", "trash.circle", "tray.and.arrow.up", "triangle", "triangle.fill",
    "triangle.lefthalf.fill", "wand.and.rays", "wand.and.stars", "waveform.path.ecg", "wrench.and.screwdriver",
    "wrench.and.screwdriver.fill", "xmark.circle.fill",
};

// The bounding box of the pixels painted, and whether all of them have `tint`'s colour.
struct Painted {
    QRect box;
    bool onlyTint = true;
    int maxAlpha = 0;
};

Painted painted(const QImage& image, const QColor& tint)
{
    Painted result;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 0)
                continue;
            result.box |= QRect(x, y, 1, 1);
            result.maxAlpha = std::max(result.maxAlpha, pixel.alpha());
            if (pixel.alpha() == 255 && pixel.rgb() != tint.rgb())
                result.onlyTint = false;
        }
    }
    return result;
}

QImage render(const QString& symbol, QSize size, const QColor& tint)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    SymbolIcons::instance().paint(painter, QRectF(QPointF(), size), symbol, tint);
    return image;
}

} // namespace

TEST(SymbolIcons, EverySymbolOfTheWindowsAndTheCatalogueHasAGlyphOfTheFont)
{
    const SymbolIcons& icons = SymbolIcons::instance();
    QStringList symbols = windowSymbols;
    for (const RadiologyTool& tool : RadiologyTool::defaultTools())
        symbols << tool.systemIcon;
    for (const QString& symbol : symbols) {
        EXPECT_TRUE(icons.contains(symbol)) << symbol.toStdString();
        // The glyph is one the font really has, not the fallback.
        EXPECT_NE(icons.glyphName(symbol), SymbolIcons::fallbackGlyph) << symbol.toStdString();
        EXPECT_TRUE(icons.fontGlyphs().contains(icons.glyphName(symbol))) << symbol.toStdString();
    }

    // The list the icon picker offers: sorted, every name drawable, nothing unknown.
    EXPECT_TRUE(std::is_sorted(icons.names().begin(), icons.names().end()));
    EXPECT_TRUE(std::all_of(icons.names().begin(), icons.names().end(),
                            [&](const QString& name) { return icons.contains(name); }));
    EXPECT_GE(icons.names().size(), windowSymbols.size());
}

TEST(SymbolIcons, UnknownNamesDrawTheFallbackGlyph)
{
    const SymbolIcons& icons = SymbolIcons::instance();
    ASSERT_TRUE(icons.fontGlyphs().contains(SymbolIcons::fallbackGlyph));
    for (const QString& unknown : {QStringLiteral("no.such.symbol"), QString(), QStringLiteral("Plus")}) {
        EXPECT_FALSE(icons.contains(unknown));
        EXPECT_EQ(icons.glyphName(unknown), SymbolIcons::fallbackGlyph);
        EXPECT_EQ(icons.glyphText(unknown), QString(QChar(icons.fontGlyphs().value(SymbolIcons::fallbackGlyph))));
    }
    EXPECT_EQ(render(QStringLiteral("no.such.symbol"), {24, 24}, Qt::white),
              render(QStringLiteral("another.unknown"), {24, 24}, Qt::white));
    EXPECT_NE(render(QStringLiteral("no.such.symbol"), {24, 24}, Qt::white),
              render(QStringLiteral("plus"), {24, 24}, Qt::white));
}

TEST(SymbolIcons, DrawsTintedAndCentredAtTheRequestedSize)
{
    const QColor green(48, 209, 88);
    // A filled circle in a wide rect: as tall as the rect's shorter side, centred both ways.
    const Painted circle = painted(render(QStringLiteral("circle.fill"), {60, 30}, green), green);
    ASSERT_FALSE(circle.box.isEmpty());
    EXPECT_TRUE(circle.onlyTint);
    EXPECT_NEAR(circle.box.center().x(), 30, 1);
    EXPECT_NEAR(circle.box.center().y(), 15, 1);
    EXPECT_NEAR(circle.box.height(), 25, 2); // the glyph leaves 1/12 of its box free on each side
    EXPECT_NEAR(circle.box.width(), circle.box.height(), 1);

    // Pixmaps honour the device pixel ratio; the disabled icon is faded.
    const QPixmap sharp = SymbolIcons::instance().pixmap(QStringLiteral("plus"), 16, green, 2.0);
    EXPECT_EQ(sharp.size(), QSize(32, 32));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(16, 16));
    const QIcon icon = SymbolIcons::instance().icon(QStringLiteral("trash"), green);
    const Painted normal = painted(icon.pixmap(24, QIcon::Normal).toImage(), green);
    const Painted disabled = painted(icon.pixmap(24, QIcon::Disabled).toImage(), green);
    EXPECT_EQ(normal.maxAlpha, 255);
    EXPECT_LT(disabled.maxAlpha, 128);
    EXPECT_EQ(disabled.box, normal.box);
}
