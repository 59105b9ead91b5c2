// The HID source's share of the factory-output suppression and the keypad's
// keyboard reader: both live in their own objects, made here and called from
// the device life cycle and the value path.

#include "input/HIDDeviceInputSource.h"

#include "platform/permissions/Permissions.h"

namespace velmor {

void HIDDeviceInputSource::setUpSuppression()
{
    const std::weak_ptr<HIDDeviceInputSource> weak = weak_from_this();
    const auto log = [weak](const QString& line) {
        if (auto self = weak.lock())
            self->log(line);
    };
    suppression_ = SuppressionTap::create(log, [] { return Permissions::instance().preflightInputMonitoring(); });
    keyboardReader_ = TartarusKeyboardReader::create(
        [weak](const hid::Value& value) {
            if (auto self = weak.lock())
                self->handleInputValue(value);
        },
        log);
}

void HIDDeviceInputSource::installSuppressionTap() { suppression_->installSuppressionTap(); }

void HIDDeviceInputSource::removeSuppressionTap() { suppression_->removeSuppressionTap(); }

void HIDDeviceInputSource::setMappedButtons(QHash<QString, QSet<QString>> mapped)
{
    suppression_->setMappedButtons(std::move(mapped));
}

bool HIDDeviceInputSource::isButtonMapped(const QString& deviceId, const QString& buttonId) const
{
    return suppression_->isButtonMapped(deviceId, buttonId);
}

void HIDDeviceInputSource::armKeySuppression(std::uint32_t keyboardUsage)
{
    suppression_->armKeySuppression(keyboardUsage);
}

void HIDDeviceInputSource::armWheelSuppression(int direction) { suppression_->armWheelSuppression(direction); }

void HIDDeviceInputSource::armWheelClickSuppression() { suppression_->armWheelClickSuppression(); }

void HIDDeviceInputSource::armSpeechMikeMouseSuppression(bool rightButton)
{
    suppression_->armSpeechMikeMouseSuppression(rightButton);
}

void HIDDeviceInputSource::registerTartarusKeyboardReader(const std::shared_ptr<hid::Device>& device,
                                                          std::int64_t productId)
{
    keyboardReader_->registerTartarusKeyboardReader(device, static_cast<int>(productId));
}

void HIDDeviceInputSource::unregisterTartarusKeyboardReader(hid::HandleId id)
{
    keyboardReader_->unregisterTartarusKeyboardReader(id);
}

} // namespace velmor
