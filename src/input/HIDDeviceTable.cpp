#include "input/HIDDeviceTable.h"

#include "model/Device.h"

namespace velmor {

const QList<std::pair<VendorProduct, QString>>& HIDDeviceTable::deviceMap()
{
    static const QList<std::pair<VendorProduct, QString>> map{
        {{razerVendorId, 0x022B}, Device::tartarusTemplate().id},
        {{razerVendorId, 0x0240}, Device::tartarusTemplate().id},
        {{razerVendorId, tartarusProProductId}, Device::tartarusTemplate().id},
        {speechMikePair, Device::speechMikeTemplate().id},
    };
    return map;
}

std::optional<QString> HIDDeviceTable::templateIdFor(const VendorProduct& pair)
{
    for (const auto& [key, templateId] : deviceMap())
        if (key == pair)
            return templateId;
    return std::nullopt;
}

bool HIDDeviceTable::isTartarusPair(const VendorProduct& pair)
{
    return pair.vendor == razerVendorId && templateIdFor(pair) == Device::tartarusTemplate().id;
}

} // namespace velmor
