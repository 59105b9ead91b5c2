// Custom usage maps: user names for raw HID usages of one device pair.
#include "core/AppModel.h"

#include "core/CustomUsageFile.h"
#include "input/UnifiedInputSource.h"

#include <type_traits>

namespace velmor {

static_assert(std::is_same_v<AppModel::CustomUsageMap, CustomUsageMap>);

QString AppModel::customUsagesURL() const { return customUsagesFile_.path(); }

void AppModel::setCustomUsageName(const RawHIDSample& sample, const QString& name)
{
    // Real HID values have 16-bit pages and usages; anything beyond 32 bits is refused.
    const std::optional<std::uint32_t> key = CustomUsageFile::usageKey(sample.usagePage, sample.usage);
    if (!key)
        return;
    customUsageMap_[VendorProduct{sample.vendorId, sample.productId}].insert(*key, name);
    saveCustomUsages();
    inputSource_->hidSource().setCustomUsageMap(customUsageMap_);
}

void AppModel::loadCustomUsages()
{
    if (std::optional<CustomUsageMap> map =
            customUsagesFile_.load(&CustomUsageFile::decode, [this](const QString& line) { appendLog(line); }))
        customUsageMap_ = std::move(*map);
}

void AppModel::saveCustomUsages()
{
    customUsagesFile_.save(CustomUsageFile::encode(customUsageMap_), [this](const QString& line) { appendLog(line); });
}

} // namespace velmor
