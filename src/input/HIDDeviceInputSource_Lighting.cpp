// The keypads' backlight colour. Everything here runs on the device queue.
#include "input/HIDDeviceInputSource.h"

namespace velmor {

namespace {
// The report is 90 bytes; a keypad that cannot take that many is no target.
constexpr std::int64_t minimumFeatureReportSize = RazerRGB::featureReportLength;
} // namespace

void HIDDeviceInputSource::setLighting(std::optional<RazerRGB> colour)
{
    post(*deviceQueue_, [colour](HIDDeviceInputSource& self) {
        self.pendingLightingRGB_ = colour;
        if (!colour)
            return;
        for (const std::shared_ptr<hid::Device>& device : std::as_const(self.tartarusLightingDevices_))
            self.applyLighting(*colour, *device, device->stringProperty(hid::property::product));
    });
}

void HIDDeviceInputSource::registerLightingTarget(const AttachedHIDDevice& attached)
{
    const std::optional<std::int64_t> size = attached.device->integerProperty(hid::property::maxFeatureReportSize);
    if (!size || *size < minimumFeatureReportSize)
        return;
    tartarusLightingDevices_.insert(attached.device->handleId(), attached.device);
    if (pendingLightingRGB_)
        applyLighting(*pendingLightingRGB_, *attached.device, attached.name);
}

void HIDDeviceInputSource::forgetLightingTarget(hid::HandleId id)
{
    const std::shared_ptr<hid::Device> device = tartarusLightingDevices_.take(id);
    if (openedForLighting_.remove(id) && device)
        device->close(hid::OpenOptions::none);
}

void HIDDeviceInputSource::applyLighting(const RazerRGB& colour, hid::Device& device,
                                         const std::optional<QString>& name)
{
    const QString label =
        name ? *name : device.stringProperty(hid::property::product).value_or(QStringLiteral("Tartarus"));
    const QString hex = colour.hex();
    // Keypads differ in the report id they expect for the command.
    if (!sendFeatureReport(colour, device, 0).isSuccess()) {
        const hid::Result second = sendFeatureReport(colour, device, 1);
        if (!second.isSuccess()) {
            log(QStringLiteral("Failed to set Tartarus lighting ") + hex + QStringLiteral(" (") + label
                + QStringLiteral(") 0x") + second.hex() + QStringLiteral("."));
            return;
        }
    }
    log(QStringLiteral("Tartarus lighting set to ") + hex + QStringLiteral("."));
}

hid::Result HIDDeviceInputSource::sendFeatureReport(const RazerRGB& colour, hid::Device& device, std::uint32_t reportId)
{
    const hid::Result result = device.setFeatureReport(reportId, colour.featureReport());
    if (result != hid::Result::notOpen())
        return result;
    // A keypad that could not be seized is not open yet: open it plainly, just
    // for the report.
    if (const hid::Result opened = device.open(hid::OpenOptions::none); !opened.isSuccess())
        return opened;
    openedForLighting_.insert(device.handleId());
    return device.setFeatureReport(reportId, colour.featureReport());
}

} // namespace velmor
