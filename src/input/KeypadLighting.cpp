#include "input/KeypadLighting.h"

namespace velmor {

void KeypadLighting::setColour(std::optional<RazerRGB> colour)
{
    colour_ = colour;
    if (!colour)
        return;
    for (const std::shared_ptr<hid::Device>& device : std::as_const(targets_))
        applyLighting(*colour, device, device->stringProperty(hid::property::product));
}

void KeypadLighting::addTarget(const std::shared_ptr<hid::Device>& device, const std::optional<QString>& name)
{
    const std::optional<std::int64_t> size = device->integerProperty(hid::property::maxFeatureReportSize);
    if (!size || *size < RazerRGB::featureReportLength)
        return;
    targets_.insert(device->handleId(), device);
    if (colour_)
        applyLighting(*colour_, device, name);
}

void KeypadLighting::forgetTarget(hid::HandleId id)
{
    targets_.remove(id);
    if (const std::shared_ptr<hid::Device> device = openedForLighting_.take(id))
        device->close(hid::OpenOptions::none);
}

void KeypadLighting::applyLighting(const RazerRGB& colour, const std::shared_ptr<hid::Device>& device,
                                   const std::optional<QString>& name)
{
    const QString label =
        name ? *name : device->stringProperty(hid::property::product).value_or(QStringLiteral("Tartarus"));
    const QString hex = colour.hex();
    // Keypads differ in the report id they expect for the command.
    if (!sendFeatureReport(colour, device, 0).isSuccess()) {
        const hid::Result second = sendFeatureReport(colour, device, 1);
        if (!second.isSuccess()) {
            log_(QStringLiteral("Failed to set Tartarus lighting ") + hex + QStringLiteral(" (") + label
                 + QStringLiteral(") 0x") + second.hex() + QStringLiteral("."));
            return;
        }
    }
    log_(QStringLiteral("Tartarus lighting set to ") + hex + QStringLiteral("."));
}

hid::Result KeypadLighting::sendFeatureReport(const RazerRGB& colour, const std::shared_ptr<hid::Device>& device,
                                              std::uint32_t reportId)
{
    const hid::Result result = device->setFeatureReport(reportId, colour.featureReport());
    if (result != hid::Result::notOpen())
        return result;
    // A keypad that could not be seized is not open yet: open it plainly, just
    // for the report.
    if (const hid::Result opened = device->open(hid::OpenOptions::none); !opened.isSuccess())
        return opened;
    openedForLighting_.insert(device->handleId(), device);
    return device->setFeatureReport(reportId, colour.featureReport());
}

} // namespace velmor
