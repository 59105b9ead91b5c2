#pragma once

#include "core/AppDataFile.h"
#include "input/CustomUsageMap.h"

#include <QString>

#include <functional>

namespace velmor {

struct RawHIDSample;

// The user's names for raw HID usages and their side file "custom_usages.json".
// Failures become log lines. Main thread.
class CustomUsageStore {
public:
    using Log = std::function<void(const QString& line)>;

    explicit CustomUsageStore(Log log);

    const CustomUsageMap& map() const { return map_; }
    const QString& path() const { return file_.path(); }

    // Names the sample's usage for its device pair and saves; false, changing
    // nothing, when the usage does not fit a 32-bit key.
    bool setName(const RawHIDSample& sample, const QString& name);
    // A missing or broken file leaves the map as it is.
    void load();
    void save();

private:
    Log log_;
    CustomUsageMap map_;
    AppDataFile file_ = AppDataFile::inDataFolder(QStringLiteral("custom_usages.json"));
};

} // namespace velmor
