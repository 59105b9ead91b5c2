#include "input/VendorProduct.h"

#include "platform/Json.h"

#include <QHashFunctions>

namespace velmor {

QJsonObject VendorProduct::toJson() const
{
    return json::ObjectWriter()
        .set("vendor", static_cast<qint64>(vendor))
        .set("product", static_cast<qint64>(product))
        .take();
}

VendorProduct VendorProduct::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    return VendorProduct{reader.integer<std::int64_t>("vendor"), reader.integer<std::int64_t>("product")};
}

size_t qHash(const VendorProduct& pair, size_t seed) noexcept { return qHashMulti(seed, pair.vendor, pair.product); }

} // namespace velmor
