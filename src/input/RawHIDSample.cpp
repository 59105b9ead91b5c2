#include "input/RawHIDSample.h"

#include <QHashFunctions>

namespace velmor {

size_t qHash(const RawHIDSample& sample, size_t seed) noexcept
{
    seed = qHashMulti(seed, sample.id, sample.timestamp, sample.vendorId, sample.productId);
    seed = sample.productName ? qHashMulti(seed, true, *sample.productName) : qHashMulti(seed, false);
    seed = qHashMulti(seed, sample.usagePage, sample.usage, sample.value);
    return sample.deviceId ? qHashMulti(seed, true, *sample.deviceId) : qHashMulti(seed, false);
}

} // namespace velmor
