#include "platform/Text.h"

#include "platform/TextEnds.h"

#include <QCollator>
#include <QLocale>
#include <QTextBoundaryFinder>

#include <numeric>

namespace velmor::text {

namespace {

bool needsEscape(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
        || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The text's characters as a reader sees them, each written as visibleControls writes it.
QStringList shownCharacters(const QString& s)
{
    QStringList pieces;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, s);
    qsizetype from = 0;
    for (qsizetype to = characters.toNextBoundary(); to > 0; to = characters.toNextBoundary()) {
        pieces.append(visibleControls(s.mid(from, to - from)));
        from = to;
    }
    return pieces;
}

qsizetype lengthOf(const QStringList& pieces)
{
    return std::accumulate(pieces.cbegin(), pieces.cend(), qsizetype{0},
                           [](qsizetype sum, const QString& piece) { return sum + piece.size(); });
}

// Whole pieces from both ends, with "…" between, in at most `longest` characters.
QStringList cutInMiddle(const QStringList& pieces, qsizetype longest)
{
    if (lengthOf(pieces) <= longest)
        return pieces;
    const qsizetype half = (longest - 1) / 2;
    qsizetype front = 0;
    for (qsizetype used = 0; front < pieces.size() && used + pieces[front].size() <= half; ++front)
        used += pieces[front].size();
    qsizetype back = pieces.size();
    for (qsizetype used = 0; back > front && used + pieces[back - 1].size() <= half; --back)
        used += pieces[back - 1].size();
    return pieces.mid(0, front) + QStringList{QString(QChar(0x2026))} + pieces.mid(back);
}

} // namespace

QString visibleControls(const QString& s)
{
    // Most lines hold none: the text is handed back without a copy.
    if (std::none_of(s.cbegin(), s.cend(), [](QChar c) { return needsEscape(c.unicode()); }))
        return s;
    QString result;
    result.reserve(s.size() + 8);
    for (const QChar c : s) {
        const char16_t code = c.unicode();
        if (!needsEscape(code))
            result.append(c);
        else if (code == u'\n')
            result.append(QLatin1String("\\n"));
        else if (code == u'\r')
            result.append(QLatin1String("\\r"));
        else if (code == u'\t')
            result.append(QLatin1String("\\t"));
        else
            result.append(QLatin1String("\\u{") + QString::number(code, 16).toUpper() + QLatin1Char('}'));
    }
    return result;
}

QString shownName(const QString& name) { return QChar(0x2068) + visibleControls(name) + QChar(0x2069); }

QString displayName(const QString& name)
{
    // Each unit of the name shows as one or more: what lies past this cannot be shown.
    constexpr qsizetype reach = longestShownName + 1;
    const bool longer = name.size() > reach;
    const QString shown = visibleControls(longer ? name.left(reach) : name);
    if (!longer && shown.size() <= longestShownName)
        return QChar(0x2068) + shown + QChar(0x2069);
    QStringList pieces = textEnds(shown, reach).front;
    if (longer && !pieces.isEmpty())
        pieces.removeLast(); // it may go on past what was read
    QString cut;
    for (const QString& piece : pieces) {
        if (cut.size() + piece.size() >= longestShownName)
            break;
        cut += piece;
    }
    return QChar(0x2068) + cut + QChar(0x2026) + QChar(0x2069);
}

QString shortenedName(const QString& name)
{
    if (name.size() <= longestShownName)
        return name;
    QString cut;
    for (const QString& piece : textEnds(name, longestShownName).front) {
        if (cut.size() + piece.size() >= longestShownName)
            break;
        cut += piece;
    }
    return cut + QChar(0x2026);
}

QString displayMessage(const QString& message)
{
    QStringList shown;
    QStringList run;
    for (const QString& character : shownCharacters(message)) {
        if (character.size() == 1 && character.front().isSpace()) {
            shown += cutInMiddle(run, longestShownName);
            run.clear();
            shown.append(character);
        } else {
            run.append(character);
        }
    }
    shown += cutInMiddle(run, longestShownName);
    return cutInMiddle(shown, longestShownMessage).join(QString());
}

QString lowercased(const QString& s) { return s.toLower().normalized(QString::NormalizationForm_C); }

QString canonicalForm(const QString& s) { return s.normalized(QString::NormalizationForm_D); }

bool canonicallyEqual(const QString& a, const QString& b)
{
    return a == b || canonicalForm(a) == canonicalForm(b);
}

int localizedCaseInsensitiveCompare(const QString& a, const QString& b)
{
    // QCollator is not thread-safe to share; one per thread.
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

QString sizeOverLimit(qint64 size, qint64 limit)
{
    const QLocale c = QLocale::c();
    QString sizeText = c.formattedDataSize(size, 1);
    QString limitText = c.formattedDataSize(limit, 1);
    if (sizeText == limitText) {
        const QLocale grouped(QLocale::English);
        sizeText = grouped.toString(size) + QStringLiteral(" bytes");
        limitText = grouped.toString(limit) + QStringLiteral(" bytes");
    }
    return QStringLiteral("%1; the limit is %2").arg(sizeText, limitText);
}

} // namespace velmor::text
