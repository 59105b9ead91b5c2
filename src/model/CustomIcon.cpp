#include "model/CustomIcon.h"

#include "platform/FileNames.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>

namespace velmor {

QString CustomIcon::displayName() const { return QFileInfo(url_).completeBaseName(); }

size_t qHash(const CustomIcon& icon, size_t seed) noexcept
{
    return qHashMulti(seed, icon.fileName(), icon.url());
}

bool customIconSortOrder(const CustomIcon& a, const CustomIcon& b)
{
    return text::localizedCaseInsensitiveCompare(a.displayName(), b.displayName()) < 0;
}

bool isCustomIconFileName(const QString& fileName)
{
    // What plainFileNameFrom leaves as it is reads as it is written, on every machine alike.
    return fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) && isPlainFileName(fileName) &&
           plainFileNameFrom(fileName) == fileName;
}

QStringList customIconFileSpellings(const QString& fileName)
{
    QStringList spellings{fileName};
    if (!fileName.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        return spellings;
    const QString base = fileName.chopped(4);
    // ".svg" and ".SVG" first, then the mixed ones; each letter's case is one bit.
    for (const int lower : {0b111, 0b000, 0b011, 0b101, 0b110, 0b001, 0b010, 0b100}) {
        QString extension = QStringLiteral(".");
        for (int letter = 0; letter < 3; ++letter) {
            const QChar c = QStringLiteral("svg").at(letter);
            extension += (lower >> (2 - letter)) & 1 ? c : c.toUpper();
        }
        if (!spellings.contains(base + extension))
            spellings.append(base + extension);
    }
    return spellings;
}

QString customIconFileIn(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    for (const QString& spelling : customIconFileSpellings(fileName))
        if (files::fileKind(dir.filePath(spelling)) != files::FileKind::missing)
            return spelling;
    return fileName;
}

} // namespace velmor
