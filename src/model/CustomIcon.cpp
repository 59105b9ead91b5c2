#include "model/CustomIcon.h"

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

} // namespace velmor
