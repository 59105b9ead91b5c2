#pragma once

#include "core/AppDataFile.h"
#include "core/LayoutOverrides.h"
#include "platform/Published.h"

#include <QString>

#include <functional>
#include <optional>

namespace velmor {

struct DeviceButton;

// The layout overrides and their side file "layout_overrides.json": the bundle's
// layouts at start, the user's saved rectangles over them, and every edit
// written through at once. Failures become log lines. Main thread.
class LayoutOverridesStore {
public:
    using Log = std::function<void(const QString& line)>;

    explicit LayoutOverridesStore(Log log);

    const Published<LayoutOverrides>& overrides() const { return overrides_; }
    const QString& path() const { return file_.path(); }

    // The stored override of the button, else its own rectangle, else none.
    std::optional<NormalizedRect> overlayFrame(const DeviceButton& button, const QString& deviceId) const;
    void setOverlayFrame(const NormalizedRect& rect, const QString& buttonId, const QString& deviceId);
    // Drops the device's overrides, imports the bundle's layout of it again, saves.
    void resetLayout(const QString& deviceId);
    // The file's buttons become the overrides of the device it names.
    void importLayout(const QString& path);
    void importLayoutsFromBundle();
    // The saved file over the bundle's layouts, device by device; a missing or
    // broken file is skipped.
    void load();
    void save();

private:
    Log log_;
    Published<LayoutOverrides> overrides_;
    AppDataFile file_ = AppDataFile::inDataFolder(QStringLiteral("layout_overrides.json"));
};

} // namespace velmor
