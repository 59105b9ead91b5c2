#include "ui/shared/NameFit.h"

#include "platform/TextEnds.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QStringList>
#include <QtMath>

#include <algorithm>

namespace velmor::nameFit {

namespace {

constexpr QChar isolateStart(0x2068);
constexpr QChar isolateEnd(0x2069);
constexpr QChar ellipsis(0x2026);

// The most characters a room of `width` pixels shows: one a pixel, so that what
// is read of a name follows its room, however long the name.
qsizetype roomCharacters(qreal width)
{
    return width > 0 ? qsizetype(std::min<qreal>(width, text::mostShownCharacters)) + 2 : 2;
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
    const bool isolated = shown.size() >= 2 && shown.front() == isolateStart && shown.back() == isolateEnd;
    const QStringView inner = isolated ? QStringView(shown).sliced(1, shown.size() - 2) : QStringView(shown);
    const qsizetype room = roomCharacters(width);
    const text::TextEnds ends = text::textEnds(inner, room);
    if (ends.whole && metrics.horizontalAdvance(shown) <= width)
        return shown;
    const QStringList& front = ends.front;
    const QStringList& back = ends.whole ? ends.front : ends.back;
    // Without a last character to trust, a middle cut keeps the start only.
    if (!ends.whole && back.isEmpty())
        cut = Cut::end;
    const QString open = isolated ? QString(isolateStart) : QString();
    const QString close = isolated ? QString(isolateEnd) : QString();
    const auto backCount = [&](qsizetype count) { return cut == Cut::middle ? count / 2 : 0; };
    const auto keeping = [&](qsizetype count) {
        // A middle cut keeps the odd character at the front.
        const qsizetype fromBack = backCount(count);
        QString start;
        for (qsizetype i = 0; i < count - fromBack; ++i)
            start += front[i];
        // No space left hanging beside the "…".
        while (!start.isEmpty() && start.back().isSpace())
            start.chop(1);
        QString end;
        for (qsizetype i = back.size() - fromBack; i < back.size(); ++i)
            end += back[i];
        while (!end.isEmpty() && end.front().isSpace())
            end.remove(0, 1);
        return open + start + ellipsis + end + close;
    };
    // The most characters whose cut fits; widths grow with the count. A whole text
    // does not fit, so its cut keeps fewer than all; a longer one keeps what was read.
    const qsizetype mostRead = cut == Cut::middle ? std::min(2 * front.size(), 2 * back.size() + 1) : front.size();
    qsizetype fits = 0;
    qsizetype tooMany = ends.whole ? front.size() : std::min(room, mostRead) + 1;
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
