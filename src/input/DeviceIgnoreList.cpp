#include "input/DeviceIgnoreList.h"

#include "input/HIDDeviceTable.h"
#include "input/IgnoreListStorage.h"

namespace velmor {

DeviceIgnoreList::DeviceIgnoreList(bool isFreshInstall)
{
    if (std::optional<QSet<VendorProduct>> stored = IgnoreListStorage::load()) {
        pairs_ = std::move(*stored);
        return;
    }
    if (isFreshInstall) {
        for (const auto& [pair, templateId] : HIDDeviceTable::deviceMap())
            if (pair.vendor != HIDDeviceTable::razerVendorId)
                pairs_.insert(pair);
    }
    IgnoreListStorage::save(pairs_.values());
}

bool DeviceIgnoreList::contains(const VendorProduct& pair) const
{
    const std::lock_guard lock(mutex_);
    return pairs_.contains(pair);
}

bool DeviceIgnoreList::insert(const VendorProduct& pair)
{
    QList<VendorProduct> list;
    {
        const std::lock_guard lock(mutex_);
        if (pairs_.contains(pair))
            return false;
        pairs_.insert(pair);
        list = pairs_.values();
    }
    IgnoreListStorage::save(list);
    return true;
}

bool DeviceIgnoreList::remove(const VendorProduct& pair)
{
    QList<VendorProduct> list;
    {
        const std::lock_guard lock(mutex_);
        if (!pairs_.remove(pair))
            return false;
        list = pairs_.values();
    }
    IgnoreListStorage::save(list);
    return true;
}

} // namespace velmor
