#include "input/ConnectedDeviceInfo.h"

#include <QHashFunctions>

namespace velmor {

namespace {
size_t hashOptional(size_t seed, const std::optional<QString>& text)
{
    return text ? qHashMulti(seed, true, *text) : qHashMulti(seed, false);
}
} // namespace

QString ConnectedDeviceInfo::id() const
{
    return QString::number(vendorId) + '-' + QString::number(productId) + '-'
        + productName.value_or(QStringLiteral("unknown"));
}

size_t qHash(const ConnectedDeviceInfo& info, size_t seed) noexcept
{
    seed = qHashMulti(seed, info.vendorId, info.productId);
    seed = hashOptional(seed, info.productName);
    seed = hashOptional(seed, info.templateId);
    return qHashMulti(seed, info.ignored);
}

} // namespace velmor
