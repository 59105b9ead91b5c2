#include "core/CustomUsageStore.h"

#include "core/CustomUsageFile.h"
#include "input/RawHIDSample.h"

namespace velmor {

CustomUsageStore::CustomUsageStore(Log log) : log_(std::move(log)) {}

bool CustomUsageStore::setName(const RawHIDSample& sample, const QString& name)
{
    // Real HID values have 16-bit pages and usages; anything beyond 32 bits is refused.
    const std::optional<std::uint32_t> key = CustomUsageFile::usageKey(sample.usagePage, sample.usage);
    if (!key)
        return false;
    map_[VendorProduct{sample.vendorId, sample.productId}].insert(*key, name);
    save();
    return true;
}

void CustomUsageStore::load()
{
    if (std::optional<CustomUsageMap> map = file_.load(&CustomUsageFile::decode, log_))
        map_ = std::move(*map);
}

void CustomUsageStore::save() { file_.save(CustomUsageFile::encode(map_), log_); }

} // namespace velmor
