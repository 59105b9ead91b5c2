// Hand-offs of the value path to the factory-output suppression. The windows
// they arm belong to the event tap; until it is wired in they arm nothing.
#include "input/HIDDeviceInputSource.h"

namespace velmor {

void HIDDeviceInputSource::armKeySuppression(std::uint32_t) {}
void HIDDeviceInputSource::armWheelSuppression(int) {}
void HIDDeviceInputSource::armWheelClickSuppression() {}
void HIDDeviceInputSource::armSpeechMikeMouseSuppression(bool) {}

} // namespace velmor
