#include "platform/FileNames.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace velmor {

namespace {

// Characters that would make a file name read other than it is written: controls,
// line and paragraph separators, the marks that set or turn the direction of text
// and the other invisible format characters, and unpaired surrogates. The two
// joiners stay: they shape the letters of some scripts and hold emoji together.
bool unusableInFileName(char32_t c)
{
    if (c == u'/' || c == u'\\')
        return true;
    if (c == 0x200C || c == 0x200D)
        return false;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isPlainFileName(const QString& name)
{
    // A leading "." covers ".", ".." and hidden files alike.
    if (name.isEmpty() || name.startsWith(u'.'))
        return false;
    // Unpaired surrogates would all map to one replacement character on disk.
    if (!name.isValidUtf16())
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == u'/' || c == u'\\' || c.category() == QChar::Other_Control;
    });
}

QString plainFileNameFrom(const QString& name)
{
    QString plain;
    plain.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const QChar c = name.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        const char32_t code = pair ? QChar::surrogateToUcs4(c, name.at(i + 1)) : c.unicode();
        if (unusableInFileName(code))
            plain.append(u'-');
        else
            plain.append(QStringView(name).mid(i, length));
        i += length;
    }
    // A leading dot would hide the file; "." and ".." are no file names at all.
    while (plain.startsWith(u'.'))
        plain.remove(0, 1);
    plain = leftUtf8Bytes(plain, maxFileNameBytes);
    return isPlainFileName(plain) ? plain : QString();
}

QString leftUtf8Bytes(const QString& name, qsizetype maxBytes)
{
    if (name.toUtf8().size() <= maxBytes)
        return name;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype fits = 0;
    qsizetype bytes = 0;
    for (qsizetype start = 0, end = characters.toNextBoundary(); end > 0; start = end, end = characters.toNextBoundary()) {
        bytes += QStringView(name).mid(start, end - start).toUtf8().size();
        if (bytes > maxBytes)
            break;
        fits = end;
    }
    return name.left(fits);
}

QString fittedFileName(const QString& name, const QString& suffix)
{
    // A name that ends as a cut one does is cut too: typed in full, it would take the
    // file of the longer name it imitates.
    static const QRegularExpression cutEnd(QStringLiteral("~[0-9a-f]{16}$"));
    QString plain = name + suffix;
    if (plain.toUtf8().size() <= maxFileNameBytes && !cutEnd.match(name).hasMatch())
        return plain;
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString tail = u'~' + QString::fromLatin1(hash) + suffix;
    return leftUtf8Bytes(name, maxFileNameBytes - tail.toUtf8().size()) + tail;
}

} // namespace velmor
