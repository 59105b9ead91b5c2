#include "model/CustomIcon.h"

#include "platform/FileNames.h"
#include "platform/Text.h"

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

} // namespace velmor
