#include "ui/shared/NameFit.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <QtMath>

namespace velmor::nameFit {

namespace {

constexpr QChar isolateStart(0x2068);
constexpr QChar isolateEnd(0x2069);
constexpr QChar ellipsis(0x2026);

// The text's characters as a reader sees them; "\u{202E}", "\n", "\t" and "\r",
// as text::visibleControls writes a control, each count as one.
QStringList characters(const QString& text)
{
    static const QRegularExpression escape(QStringLiteral(R"(\\(u\{[0-9A-F]+\}|[nrt]))"));
    QStringList pieces;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype from = 0, to = 0; from < text.size(); from = to) {
        const QRegularExpressionMatch match =
            escape.match(text, from, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (match.hasMatch()) {
            to = from + match.capturedLength();
        } else {
            boundaries.setPosition(from);
            to = boundaries.toNextBoundary();
        }
        pieces.append(text.mid(from, to - from));
    }
    return pieces;
}

} // namespace

qreal menuWidth(const QFontMetricsF& metrics)
{
    // Whole pixels per character, as the font's integer metrics give them.
    return 40 * qRound(metrics.averageCharWidth());
}

QString fitted(const QString& shown, const QFontMetricsF& metrics, qreal width)
{
    if (metrics.horizontalAdvance(shown) <= width)
        return shown;
    const bool isolated = shown.size() >= 2 && shown.front() == isolateStart && shown.back() == isolateEnd;
    const QString inner = isolated ? shown.mid(1, shown.size() - 2) : shown;
    const QString open = isolated ? QString(isolateStart) : QString();
    const QString close = isolated ? QString(isolateEnd) : QString();
    const QStringList pieces = characters(inner);
    const auto cutAfter = [&](qsizetype count) {
        QString start;
        for (qsizetype i = 0; i < count; ++i)
            start += pieces[i];
        // No space left hanging before the "…".
        while (!start.isEmpty() && start.back().isSpace())
            start.chop(1);
        return open + start + ellipsis + close;
    };
    // The most characters whose cut fits; widths grow with the count.
    qsizetype fits = 0;
    qsizetype tooMany = pieces.size();
    while (tooMany - fits > 1) {
        const qsizetype middle = fits + (tooMany - fits) / 2;
        if (metrics.horizontalAdvance(cutAfter(middle)) <= width)
            fits = middle;
        else
            tooMany = middle;
    }
    return cutAfter(fits);
}

} // namespace velmor::nameFit
