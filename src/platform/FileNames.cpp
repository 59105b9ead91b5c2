#include "platform/FileNames.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace velmor {

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
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool pairedHigh = c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        if (pairedHigh) {
            plain.append(c).append(name.at(++i));
            continue;
        }
        const bool unusable = c == u'/' || c == u'\\' || c.category() == QChar::Other_Control || c.isSurrogate();
        plain.append(unusable ? QChar(u'-') : c);
    }
    // A leading dot would hide the file; "." and ".." are no file names at all.
    while (plain.startsWith(u'.'))
        plain.remove(0, 1);
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

} // namespace velmor
