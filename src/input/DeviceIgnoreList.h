#pragma once

#include "input/VendorProduct.h"

#include <QSet>

#include <mutex>

namespace velmor {

// The device pairs left free for other applications, kept in the user defaults
// across restarts. Changed on the device queue, read from any thread.
class DeviceIgnoreList {
public:
    // The stored list. When nothing is stored yet, a fresh installation leaves
    // the SpeechMike to its own software; that seed (or the empty list) is
    // stored at once, so a later start never seeds again.
    explicit DeviceIgnoreList(bool isFreshInstall);

    bool contains(const VendorProduct& pair) const;
    // Adds the pair and stores the list; false, storing nothing, when it was listed.
    bool insert(const VendorProduct& pair);
    // Removes the pair and stores the list; false, storing nothing, when it was not listed.
    bool remove(const VendorProduct& pair);

private:
    mutable std::mutex mutex_;
    QSet<VendorProduct> pairs_;
};

} // namespace velmor
