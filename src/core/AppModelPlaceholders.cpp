// Stand-ins for the device, layout and usage-map members until their own files
// (AppModelDevices.cpp, AppModelLayouts.cpp, AppModelUsages.cpp) replace them.
#include "core/AppModel.h"

namespace velmor {

void AppModel::ensureDefaultMappings(const QString&) {}
void AppModel::ensureDefaultMappingsForConnectedDevices() {}
void AppModel::pushMappedButtons() {}
void AppModel::applyKeypadLighting() {}
QList<Device> AppModel::availableDevices() const { return {}; }
void AppModel::selectDevice(const QString&) {}

std::optional<NormalizedRect> AppModel::overlayFrame(const DeviceButton& button, const QString&) const
{
    return button.overlayFrame;
}
void AppModel::setOverlayFrame(const NormalizedRect&, const QString&, const QString&) {}
void AppModel::resetLayout(const QString&) {}
void AppModel::importLayout(const QString&) {}
void AppModel::importLayoutsFromBundle() {}
void AppModel::loadLayoutOverrides() {}
void AppModel::saveLayoutOverrides() {}

QString AppModel::customUsagesURL() const { return {}; }
void AppModel::setCustomUsageName(const RawHIDSample&, const QString&) {}
void AppModel::loadCustomUsages() {}
void AppModel::saveCustomUsages() {}

} // namespace velmor
