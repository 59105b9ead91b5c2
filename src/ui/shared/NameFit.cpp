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

qreal toolTipNameWidth(const QFontMetricsF& metrics) { return 60 * qRound(metrics.averageCharWidth()); }

qreal toolTipLineWidth(const QFontMetricsF& metrics) { return 100 * qRound(metrics.averageCharWidth()); }

QString fitted(const QString& shown, const QFontMetricsF& metrics, qreal width, Cut cut)
{
    if (metrics.horizontalAdvance(shown) <= width)
        return shown;
    const bool isolated = shown.size() >= 2 && shown.front() == isolateStart && shown.back() == isolateEnd;
    const QString inner = isolated ? shown.mid(1, shown.size() - 2) : shown;
    const QString open = isolated ? QString(isolateStart) : QString();
    const QString close = isolated ? QString(isolateEnd) : QString();
    const QStringList pieces = characters(inner);
    const auto joined = [&](qsizetype from, qsizetype to) {
        QString text;
        for (qsizetype i = from; i < to; ++i)
            text += pieces[i];
        return text;
    };
    const auto keeping = [&](qsizetype count) {
        // A middle cut keeps the odd character at the front.
        const qsizetype back = cut == Cut::middle ? count / 2 : 0;
        QString start = joined(0, count - back);
        // No space left hanging beside the "…".
        while (!start.isEmpty() && start.back().isSpace())
            start.chop(1);
        QString end = joined(pieces.size() - back, pieces.size());
        while (!end.isEmpty() && end.front().isSpace())
            end.remove(0, 1);
        return open + start + ellipsis + end + close;
    };
    // The most characters whose cut fits; widths grow with the count.
    qsizetype fits = 0;
    qsizetype tooMany = pieces.size();
    while (tooMany - fits > 1) {
        const qsizetype middle = fits + (tooMany - fits) / 2;
        if (metrics.horizontalAdvance(keeping(middle)) <= width)
            fits = middle;
        else
            tooMany = middle;
    }
    return keeping(fits);
}

QString fittedWords(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    static const QRegularExpression word(QStringLiteral(R"([^ \n]+)"));
    QString result;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : word.globalMatch(text)) {
        result += QStringView(text).mid(from, match.capturedStart() - from);
        result += fitted(match.captured(), metrics, width, Cut::middle);
        from = match.capturedEnd();
    }
    return result + text.mid(from);
}

} // namespace velmor::nameFit
