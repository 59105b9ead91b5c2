#pragma once

#include "input/RazerRGB.h"
#include "platform/hid/Device.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

// The keypads' backlight colour: the colour wanted, the keypads that take it
// now, and those opened just to take it. Lives on the HID source's device queue.
class KeypadLighting {
public:
    using Log = std::function<void(const QString&)>;

    explicit KeypadLighting(Log log) : log_(std::move(log)) {}

    // Sends the colour to every target now and to each added later; none keeps
    // what the keypads show.
    void setColour(std::optional<RazerRGB> colour);
    // A keypad whose feature reports are too small for the command is no target.
    void addTarget(const std::shared_ptr<hid::Device>& device, const std::optional<QString>& name);
    // A keypad opened only for the report is closed again, so that a released
    // keypad is left alone.
    void forgetTarget(hid::HandleId id);
    // Sends the colour to one keypad, opening it plainly when it is not open, and
    // logs the outcome under `name`, else its product name.
    void applyLighting(const RazerRGB& colour, const std::shared_ptr<hid::Device>& device,
                       const std::optional<QString>& name);

private:
    hid::Result sendFeatureReport(const RazerRGB& colour, const std::shared_ptr<hid::Device>& device,
                                  std::uint32_t reportId);

    Log log_;
    std::optional<RazerRGB> colour_;
    QHash<hid::HandleId, std::shared_ptr<hid::Device>> targets_;
    QHash<hid::HandleId, std::shared_ptr<hid::Device>> openedForLighting_;
};

} // namespace velmor
