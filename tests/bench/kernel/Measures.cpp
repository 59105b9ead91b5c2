#include "Measures.h"

#include <algorithm>
#include <cmath>

namespace velmor::bench {

Summary summarize(std::vector<double> samples)
{
    Summary summary;
    summary.count = samples.size();
    if (samples.empty())
        return summary;
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    summary.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    // Nearest rank: the smallest sample with at least 99 % of all at or below it.
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * double(n)));
    summary.p99 = samples[std::clamp<std::size_t>(rank, 1, n) - 1];
    summary.max = samples.back();
    return summary;
}

void KeyTally::add(std::uint16_t code, std::int32_t value)
{
    Counts& counts = keys_[code];
    if (value == 1) {
        ++counts.presses;
        counts.down = true;
    } else if (value == 0) {
        if (!counts.down)
            ++strayReleases_;
        ++counts.releases;
        counts.down = false;
    }
}

int KeyTally::presses(std::uint16_t code) const
{
    const auto found = keys_.find(code);
    return found == keys_.end() ? 0 : found->second.presses;
}

int KeyTally::releases(std::uint16_t code) const
{
    const auto found = keys_.find(code);
    return found == keys_.end() ? 0 : found->second.releases;
}

QList<std::uint16_t> KeyTally::held() const
{
    QList<std::uint16_t> keys;
    for (const auto& [code, counts] : keys_)
        if (counts.down)
            keys.append(code);
    return keys;
}

} // namespace velmor::bench
