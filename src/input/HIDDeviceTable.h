#pragma once

#include "input/VendorProduct.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

namespace velmor {

// The USB pairs the hardware source knows and the template each one gets.
// The one place the keypads' product ids are written.
struct HIDDeviceTable {
    static constexpr std::int64_t razerVendorId = 0x1532;
    // The Tartarus Pro: its keyboard interface needs a reader of its own, and
    // it types nothing before its first key.
    static constexpr std::int64_t tartarusProProductId = 0x0244;
    static constexpr VendorProduct speechMikePair{0x0911, 0x0C1C};

    // The pairs in table order, with their template ids.
    static const QList<std::pair<VendorProduct, QString>>& deviceMap();
    static std::optional<QString> templateIdFor(const VendorProduct& pair);
    // A Razer pair whose template is the keypad's.
    static bool isTartarusPair(const VendorProduct& pair);
};

} // namespace velmor
