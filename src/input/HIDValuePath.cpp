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

// The lines below run for key presses.
QString unmappedUsageLine(std::uint32_t usageKey, const QString& templateId)
{
    logformat::AsciiLine line;
    line << QLatin1String("Unmapped HID usage 0x");
    line.hex(usageKey) << QLatin1String(" for ");
    QString text = line.toString(templateId);
    text += QLatin1String(". Update usage map to match template buttons.");
    return text;
}

QString keypadValueLine(const hid::Element& element, std::uint32_t effectiveUsage, std::int64_t value,
                        const QString& buttonId)
{
    logformat::AsciiLine line;
    line << QLatin1String("Tartarus Pro keyboard HID ")
         << (element.isArray ? QLatin1String("array") : QLatin1String("scalar")) << QLatin1String(" usage 0x");
    line.hex(element.usage) << QLatin1String(" resolved 0x");
    line.hex(effectiveUsage) << QLatin1String(" value ");
    line.decimal(value) << QLatin1String(" cookie ");
    line.decimal(element.cookie) << QLatin1String(" -> ");
    return line.toString(buttonId);
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

const HIDValuePath::DeviceFacts& HIDValuePath::factsOf(const std::shared_ptr<hid::Device>& device)
{
    // A live handle at the same address is the same device; an expired one may
    // have left its address to a new device.
    for (const KnownDevice& known : knownDevices_)
        if (known.address == device.get() && !known.handle.expired())
            return known.facts;
    std::erase_if(knownDevices_, [](const KnownDevice& known) { return known.handle.expired(); });

    DeviceFacts facts;
    facts.pair = {device->integerProperty(hid::property::vendorId).value_or(0),
                  device->integerProperty(hid::property::productId).value_or(0)};
    facts.productName = device->stringProperty(hid::property::product);
    facts.tableTemplateId = HIDDeviceTable::templateIdFor(facts.pair);
    facts.isSpeechMike = facts.pair == HIDDeviceTable::speechMikePair;
    facts.isTartarusPair = HIDDeviceTable::isTartarusPair(facts.pair);
    facts.isTartarusPro = facts.pair == VendorProduct{HIDDeviceTable::razerVendorId, HIDDeviceTable::tartarusProProductId};
    knownDevices_.push_back({device, device.get(), std::move(facts)});
    return knownDevices_.back().facts;
}

void HIDValuePath::handle(const hid::Value& value)
{
    if (!value.device)
        return;
    const DeviceFacts& facts = factsOf(value.device);
    const hid::Element& element = value.element;
    const VendorProduct pair = facts.pair;
    const bool isSpeechMike = facts.isSpeechMike;
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

    std::optional<QString> templateId = facts.tableTemplateId;
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
                         .productName = facts.productName,
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
    if (facts.isTartarusPair && element.usagePage == keyboardPage)
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

    if (facts.isTartarusPro && element.usagePage == keyboardPage)
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
