#include "input/HIDValuePath.h"

#include "input/ButtonIdResolver.h"
#include "input/DeviceButtonEvent.h"
#include "input/DeviceIgnoreList.h"
#include "input/HIDDeviceTable.h"
#include "input/LogFormat.h"
#include "input/RawHIDSample.h"
#include "input/SpeechMikeTables.h"
#include "input/SuppressionTap.h"
#include "model/Device.h"
#include "platform/RandomUuid.h"
#include "platform/SerialQueue.h"

#include <QDateTime>

namespace velmor {

namespace {

constexpr std::uint32_t genericDesktopPage = 1;
constexpr std::uint32_t keyboardPage = 7;
constexpr std::uint32_t buttonPage = 9;
constexpr std::uint32_t wheelUsage = 0x38;

// A keyboard's key array reports the key code as the slot's value.
bool isKeyArraySlot(const hid::Element& element)
{
    return element.usagePage == keyboardPage && (element.usage == 0xFFFFFFFFu || element.usage == 0xFFFFu);
}

// X, Y, Z, Rx, Ry, Rz and the wheel: motion, never a button.
bool isMotionUsage(std::uint32_t usage) { return (usage >= 0x30 && usage <= 0x35) || usage == wheelUsage; }

DeviceButtonEvent buttonEvent(const QString& deviceId, QString buttonId, bool isPressed, bool supportsHoldRepeat)
{
    return {.id = randomUuid(), .deviceId = deviceId, .buttonId = std::move(buttonId), .isPressed = isPressed,
            .supportsHoldRepeat = supportsHoldRepeat};
}

// The lines below run for key presses: each is built in one reserved string.
QString unmappedUsageLine(std::uint32_t usageKey, const QString& templateId)
{
    QString line;
    line.reserve(96 + templateId.size());
    line += QLatin1String("Unmapped HID usage 0x");
    logformat::appendHex(line, usageKey);
    line += QLatin1String(" for ");
    line += templateId;
    line += QLatin1String(". Update usage map to match template buttons.");
    return line;
}

QString keypadValueLine(const hid::Element& element, std::uint32_t effectiveUsage, std::int64_t value,
                        const QString& buttonId)
{
    QString line;
    line.reserve(112 + buttonId.size());
    line += QLatin1String("Tartarus Pro keyboard HID ");
    line += element.isArray ? QLatin1String("array") : QLatin1String("scalar");
    line += QLatin1String(" usage 0x");
    logformat::appendHex(line, element.usage);
    line += QLatin1String(" resolved 0x");
    logformat::appendHex(line, effectiveUsage);
    line += QLatin1String(" value ");
    logformat::appendDecimal(line, value);
    line += QLatin1String(" cookie ");
    logformat::appendDecimal(line, element.cookie);
    line += QLatin1String(" -> ");
    line += buttonId;
    return line;
}

const QString& tartarusId()
{
    static const QString id = Device::tartarusTemplate().id;
    return id;
}

} // namespace

HIDValuePath::HIDValuePath(Host& host, const DeviceIgnoreList& ignoreList, std::shared_ptr<SuppressionTap> suppression)
    : host_(host)
    , ignoreList_(ignoreList)
    , suppression_(std::move(suppression))
    , pressedQueue_(SerialQueue::create(QStringLiteral("com.velmor.pressedbuttons")))
{
}

HIDValuePath::~HIDValuePath() = default;

PressedButtonTable::Recorded HIDValuePath::recordPressedButton(const PressedUsageKey& key, const QString& buttonId)
{
    return pressedQueue_->sync([&] { return pressedButtons_.record(key, buttonId); });
}

std::optional<QString> HIDValuePath::removePressedButton(const PressedUsageKey& key)
{
    return pressedQueue_->sync([&] { return pressedButtons_.remove(key); });
}

QStringList HIDValuePath::releaseDevice(const QString& deviceId)
{
    return pressedQueue_->sync([&] { return pressedButtons_.removeDevice(deviceId); });
}

bool HIDValuePath::isOnQueue() const { return pressedQueue_->isCurrent(); }

void HIDValuePath::handle(const hid::Value& value)
{
    if (!value.device)
        return;
    const hid::Device& device = *value.device;
    const hid::Element& element = value.element;
    const VendorProduct pair{device.integerProperty(hid::property::vendorId).value_or(0),
                             device.integerProperty(hid::property::productId).value_or(0)};
    const bool isSpeechMike = pair == HIDDeviceTable::speechMikePair;
    const std::int64_t raw = value.integerValue;
    const std::uint32_t usageKey = usageKeyOf(element.usagePage, element.usage);

    // The SpeechMike's status word carries state bits beside its button bits.
    const std::int64_t working = isSpeechMike && isSpeechMikeStatusUsage(usageKey) ? raw & ~speechMikeStatusMask : raw;

    std::uint32_t effectiveUsage = element.usage;
    std::uint32_t effectiveUsageKey = usageKey;
    const bool arraySlot = isKeyArraySlot(element);
    if (arraySlot && working >= 1 && working <= 0xFFFF) {
        effectiveUsage = static_cast<std::uint32_t>(working);
        effectiveUsageKey = usageKeyOf(keyboardPage, effectiveUsage);
    }

    if (ignoreList_.contains(pair))
        return;

    std::optional<QString> templateId = HIDDeviceTable::templateIdFor(pair);
    if (!templateId)
        templateId = host_.connectedTemplateId();
    const bool isTartarusTemplate = templateId && *templateId == tartarusId();

    // Arm the suppression windows before anything is delivered, so that the
    // keypad's own key event finds its window open.
    if (isTartarusTemplate && element.usagePage == keyboardPage)
        suppression_->armKeySuppression(effectiveUsage);
    else if (raw != 0 && isSpeechMike && element.usagePage == buttonPage && (element.usage == 1 || element.usage == 2))
        suppression_->armSpeechMikeMouseSuppression(element.usage == 2);

    host_.deliver(RawHIDSample{.id = randomUuid(),
                         .timestamp = QDateTime::currentDateTimeUtc(),
                         .vendorId = pair.vendor,
                         .productId = pair.product,
                         .productName = device.stringProperty(hid::property::product),
                         .usagePage = element.usagePage,
                         .usage = effectiveUsage,
                         .value = raw,
                         .deviceId = templateId});

    if (!templateId)
        return;

    if (element.usagePage == genericDesktopPage) {
        if (isTartarusTemplate && element.usage == wheelUsage) {
            // A notch is a press without release that never repeats.
            if (raw == 0)
                return;
            const QString buttonId = raw > 0 ? QStringLiteral("WHEEL_UP") : QStringLiteral("WHEEL_DOWN");
            if (suppression_->isButtonMapped(*templateId, buttonId))
                suppression_->armWheelSuppression(raw > 0 ? 1 : -1);
            host_.deliver(buttonEvent(*templateId, buttonId, true, false));
            return;
        }
        if (isMotionUsage(element.usage))
            return;
    }

    // A keypad key is one button whichever route reported it (key array or
    // per-key element); key-array slots of other devices are told apart by cookie.
    PressedUsageKey key{.deviceId = *templateId, .usageKey = usageKey, .elementCookie = std::nullopt};
    if (HIDDeviceTable::isTartarusPair(pair) && element.usagePage == keyboardPage)
        key.usageKey = effectiveUsageKey;
    else if (arraySlot)
        key.elementCookie = element.cookie;

    if (working == 0) {
        if (std::optional<QString> released = removePressedButton(key))
            host_.deliver(buttonEvent(*templateId, std::move(*released), false, true));
        return;
    }

    const CustomUsageMap::const_iterator custom = customUsageMap_.constFind(pair);
    const ResolvedButtonId resolved = resolveButtonId(custom != customUsageMap_.constEnd() ? &*custom : nullptr,
                                                      effectiveUsageKey, working, isSpeechMike);
    if (resolved.unknownUsage)
        host_.deliverLog(unmappedUsageLine(effectiveUsageKey, *templateId));
    const QString& buttonId = resolved.buttonId;

    if (pair == VendorProduct{HIDDeviceTable::razerVendorId, HIDDeviceTable::tartarusProProductId}
        && element.usagePage == keyboardPage)
        host_.deliverLog(keypadValueLine(element, effectiveUsage, working, buttonId));

    if (isUnnamedButtonId(buttonId) && !acceptsUnnamedButtonIds(*templateId))
        return;

    if (isTartarusTemplate && buttonId == u"WHEEL_PRESS" && suppression_->isButtonMapped(*templateId, buttonId))
        suppression_->armWheelClickSuppression();

    const PressedButtonTable::Recorded recorded = recordPressedButton(key, buttonId);
    if (recorded.same)
        return; // the same press through another route
    if (recorded.replaced)
        host_.deliver(buttonEvent(*templateId, *recorded.replaced, false, true));
    host_.deliver(buttonEvent(*templateId, buttonId, true, true));
}

} // namespace velmor
