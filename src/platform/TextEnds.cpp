#include "platform/TextEnds.h"

#include "platform/Text.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <optional>
#include <utility>

namespace velmor::text {

namespace {

// "\u{" + at most six digits + "}".
constexpr qsizetype longestEscape = 10;

bool isUpperHex(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

// The length of the escape visibleControls writes that starts at `at`, else 0.
qsizetype escapeAt(QStringView text, qsizetype at)
{
    if (at + 1 >= text.size() || text[at] != u'\\')
        return 0;
    const QChar kind = text[at + 1];
    if (kind == u'n' || kind == u'r' || kind == u't')
        return 2;
    if (kind != u'u' || at + 2 >= text.size() || text[at + 2] != u'{')
        return 0;
    qsizetype end = at + 3;
    while (end < text.size() && end - at < longestEscape - 1 && isUpperHex(text[end]))
        ++end;
    return end > at + 3 && end < text.size() && text[end] == u'}' ? end + 1 - at : 0;
}

// The escape that holds `position` strictly inside it: its start and end.
std::optional<std::pair<qsizetype, qsizetype>> escapeAround(QStringView text, qsizetype position)
{
    for (qsizetype at = std::max<qsizetype>(0, position - longestEscape + 1); at < position; ++at)
        if (const qsizetype length = escapeAt(text, at); length > 0 && at + length > position)
            return std::pair(at, at + length);
    return std::nullopt;
}

// The characters of `part`, whose ends are treated as the text's own.
QStringList characters(QStringView part)
{
    QStringList pieces;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, part.data(), part.size());
    for (qsizetype from = 0, to = 0; from < part.size(); from = to) {
        if (const qsizetype escape = escapeAt(part, from)) {
            to = from + escape;
        } else {
            boundaries.setPosition(from);
            to = boundaries.toNextBoundary();
            if (to <= from)
                to = part.size();
        }
        pieces.append(part.mid(from, to - from).toString());
    }
    return pieces;
}

bool isRegionalIndicator(const QString& piece)
{
    return piece.size() >= 2 && piece[0] == QChar(0xD83C) && piece[1] >= QChar(0xDDE6) && piece[1] <= QChar(0xDDFF);
}

} // namespace

QString shownEnds(const QString& name)
{
    if (name.size() <= 2 * mostReadUnits)
        return shownName(name);
    // Escaping only lengthens: what is read from each end lies within its part.
    return QChar(0x2068) + visibleControls(name.first(mostReadUnits)) + visibleControls(name.last(mostReadUnits))
        + QChar(0x2069);
}

TextEnds textEnds(QStringView text, qsizetype count)
{
    count = std::clamp<qsizetype>(count, 0, mostShownCharacters + 2);
    const qsizetype reach = count * unitsPerCharacter + longestEscape;
    TextEnds ends;
    qsizetype frontEnd = std::min(text.size(), reach);
    if (frontEnd < text.size())
        if (const auto escape = escapeAround(text, frontEnd))
            frontEnd = escape->first;
    ends.front = characters(text.first(frontEnd));
    if (frontEnd < text.size() && !ends.front.isEmpty())
        ends.front.removeLast(); // it may go on past what was read
    if (frontEnd == text.size() && ends.front.size() <= count) {
        ends.whole = true;
        return ends;
    }
    if (frontEnd == text.size()) {
        ends.back = ends.front.mid(ends.front.size() - count);
    } else {
        qsizetype backStart = text.size() - reach;
        if (const auto escape = escapeAround(text, backStart))
            backStart = escape->second;
        QStringList pieces = characters(text.sliced(backStart));
        // The first piece may have begun before what was read; a piece after one that
        // ends in a joiner, or a flag's half, may belong to it.
        qsizetype trusted = 1;
        while (trusted < pieces.size()
               && (pieces[trusted - 1].endsWith(QChar(0x200D)) || isRegionalIndicator(pieces[trusted])))
            ++trusted;
        ends.back = pieces.mid(std::max(trusted, pieces.size() - count));
    }
    ends.front = ends.front.mid(0, count);
    return ends;
}

} // namespace velmor::text
