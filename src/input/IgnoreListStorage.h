#pragma once

#include "input/VendorProduct.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace velmor {

// Where the device ignore list outlives the process: in the user defaults, as
// the JSON array of its pairs.
class IgnoreListStorage {
public:
    static const QString settingsKey; // "Velmor.disabledHIDDevices"

    // None when nothing is stored or what is stored is not such an array.
    static std::optional<QSet<VendorProduct>> load();
    static void save(const QList<VendorProduct>& pairs);

    // [{"vendor":…,"product":…},…], compact, in the order given.
    static QByteArray encode(const QList<VendorProduct>& pairs);
    static std::optional<QSet<VendorProduct>> decode(const QByteArray& data);
};

} // namespace velmor
