#pragma once

#include "input/VendorProduct.h"

#include <QHash>
#include <QString>

#include <cstdint>

namespace velmor {

// User names for raw HID usages, by device pair and usage key (page << 16 | usage).
using CustomUsageMap = QHash<VendorProduct, QHash<std::uint32_t, QString>>;

} // namespace velmor
