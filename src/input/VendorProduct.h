#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>

namespace velmor {

// A USB vendor id and product id: the key of the device template table, the
// ignore list and the custom usage maps.
struct VendorProduct {
    std::int64_t vendor = 0;
    std::int64_t product = 0;

    bool operator==(const VendorProduct&) const = default;

    // {"vendor": number, "product": number}; both keys required, whole numbers.
    QJsonObject toJson() const;
    static VendorProduct fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const VendorProduct& pair, size_t seed = 0) noexcept;

} // namespace velmor
