#include "ui/shared/SymbolIcons.h"

#include "ui/shared/SymbolTable.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QPainter>
#include <QRawFont>
#include <QRegularExpression>

#include <algorithm>

namespace velmor {

namespace {

const QString fontResource = QStringLiteral(":/symbols/MaterialIcons-Regular.ttf");
const QString namesResource = QStringLiteral(":/symbols/codepoints.scss");

QByteArray readResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The font's name list: lines of the form `"name": e8b6,`.
QHash<QString, char16_t> parseGlyphNames(const QByteArray& text)
{
    static const QRegularExpression line(QStringLiteral(R"re("([a-z0-9_]+)":\s*([0-9a-fA-F]{1,4})\b)re"));
    QHash<QString, char16_t> names;
    for (auto it = line.globalMatch(QString::fromUtf8(text)); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        names.insert(match.captured(1), static_cast<char16_t>(match.captured(2).toUShort(nullptr, 16)));
    }
    return names;
}

class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(QString symbol, QColor tint) : symbol_(std::move(symbol)), tint_(std::move(tint)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor tint = tint_;
        if (mode == QIcon::Disabled)
            tint.setAlphaF(tint.alphaF() * 0.4f);
        SymbolIcons::instance().paint(*painter, rect, symbol_, tint);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(symbol_, tint_); }

private:
    QString symbol_;
    QColor tint_;
};

} // namespace

const SymbolIcons& SymbolIcons::instance()
{
    static const SymbolIcons icons;
    return icons;
}

SymbolIcons::SymbolIcons()
{
    const QByteArray fontData = readResource(fontResource);
    const int fontId = QFontDatabase::addApplicationFontFromData(fontData);
    if (fontId >= 0 && !QFontDatabase::applicationFontFamilies(fontId).isEmpty())
        family_ = QFontDatabase::applicationFontFamilies(fontId).constFirst();
    else
        qWarning("SymbolIcons: the Material Icons font could not be loaded; symbols stay blank");

    // Only glyphs the font really holds count, so a misspelt glyph name in the
    // table leaves its symbol on the fallback instead of drawing nothing.
    const QRawFont raw(fontData, 24);
    for (auto [name, codePoint] : parseGlyphNames(readResource(namesResource)).asKeyValueRange()) {
        if (raw.isValid() && raw.supportsCharacter(QChar(codePoint)))
            fontGlyphs_.insert(name, codePoint);
    }
    fallback_ = fontGlyphs_.value(fallbackGlyph);
    for (const SymbolGlyph& entry : symbolGlyphTable()) {
        const QString glyph = QString::fromLatin1(entry.glyph);
        if (fontGlyphs_.contains(glyph))
            glyphNames_.insert(QString::fromLatin1(entry.symbol), glyph);
    }
    names_ = glyphNames_.keys();
    std::sort(names_.begin(), names_.end());
}

bool SymbolIcons::contains(const QString& symbol) const { return glyphNames_.contains(symbol); }

QString SymbolIcons::glyphName(const QString& symbol) const { return glyphNames_.value(symbol, fallbackGlyph); }

char16_t SymbolIcons::codePoint(const QString& symbol) const
{
    const auto glyph = glyphNames_.constFind(symbol);
    return glyph == glyphNames_.constEnd() ? fallback_ : fontGlyphs_.value(*glyph, fallback_);
}

QFont SymbolIcons::font(qreal pixelSize) const
{
    QFont font(family_);
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setStyleStrategy(QFont::NoFontMerging);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QString SymbolIcons::glyphText(const QString& symbol) const
{
    const char16_t code = codePoint(symbol);
    return code ? QString(QChar(code)) : QString();
}

void SymbolIcons::paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint) const
{
    const QString text = glyphText(symbol);
    const qreal size = std::min(rect.width(), rect.height());
    if (text.isEmpty() || size <= 0)
        return;
    const QFont glyphFont = font(size);
    const QFontMetricsF metrics(glyphFont);
    // Each glyph is drawn on a square box from the baseline up one em (the font's
    // whole line): centre that box in the rect.
    const QPointF baseline(rect.center().x() - metrics.horizontalAdvance(text) / 2,
                           rect.center().y() - metrics.height() / 2 + metrics.ascent());
    painter.save();
    painter.setFont(glyphFont);
    painter.setPen(tint);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawText(baseline, text);
    painter.restore();
}

QPixmap SymbolIcons::pixmap(const QString& symbol, int size, const QColor& tint, qreal devicePixelRatio) const
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint(painter, QRectF(0, 0, size, size), symbol, tint);
    return pixmap;
}

QIcon SymbolIcons::icon(const QString& symbol, const QColor& tint) const
{
    return QIcon(new SymbolIconEngine(symbol, tint));
}

} // namespace velmor
