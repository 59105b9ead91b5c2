#pragma once

#include <QList>

#include <cstdint>
#include <map>
#include <vector>

namespace velmor::bench {

// Median, 99th percentile (nearest rank) and maximum of a set of samples.
struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double max = 0;
};
Summary summarize(std::vector<double> samples);

// What a keyboard typed, key by key: presses, releases, and what it still
// holds. Autorepeat events (value 2) are not presses.
class KeyTally {
public:
    void add(std::uint16_t code, std::int32_t value);

    int presses(std::uint16_t code) const;
    int releases(std::uint16_t code) const;
    // Releases of keys that were not down: the events came out of order.
    int strayReleases() const { return strayReleases_; }
    // Keys pressed and not yet released.
    QList<std::uint16_t> held() const;

private:
    struct Counts {
        int presses = 0;
        int releases = 0;
        bool down = false;
    };
    std::map<std::uint16_t, Counts> keys_;
    int strayReleases_ = 0;
};

} // namespace velmor::bench
