#pragma once

#include "input/HIDDeviceInputSource.h"
#include "platform/ProcessWide.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "platform/tap/ScriptedEventTap.h"

#include "support/TestSupport.h"

#include <QStringList>

#include <ostream>

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace velmor::test {

// A HID source over the scripted backend that writes down, in delivery order,
// every sample ("sample <page>:<usage>=<value>"), event ("press K01",
// "release K01", "press WHEEL_UP once" for one without hold-repeat) and log
// line it hands to the main queue. Input Monitoring is granted, so the
// suppression tap is a scripted one that system events can be posted to.
class ScriptedSourceFixture : public PlatformFixture {
protected:
    using Type = EventTap::EventType;
    using Verdict = EventTap::Verdict;

    ScriptedSourceFixture() { permissions->inputMonitoring = true; }
    ~ScriptedSourceFixture() override
    {
        source.reset();
        settle();
    }

    static constexpr std::int64_t razer = 0x1532;
    static constexpr std::int64_t keypadV2 = 0x022B;
    static constexpr std::int64_t keypadPro = 0x0244;
    static constexpr std::int64_t philips = 0x0911;
    static constexpr std::int64_t speechMike = 0x0C1C;
    // Virtual key codes: the keypad's K01 and K02 keys, and Caps Lock.
    static constexpr std::uint16_t keyK01 = 18;
    static constexpr std::uint16_t keyK02 = 19;
    static constexpr std::uint16_t capsLock = 57;

    void startSource(bool isFreshInstall = false)
    {
        source = HIDDeviceInputSource::create(isFreshInstall);
        source->onLog = [this](const QString& line) { logs.append(line); };
        source->onEvent = [this](const DeviceButtonEvent& event) {
            events.append(event);
            trace.append(QStringLiteral("%1 %2%3").arg(event.isPressed ? "press" : "release", event.buttonId,
                                                      event.supportsHoldRepeat ? "" : " once"));
        };
        source->onRawHIDEvent = [this](const RawHIDSample& sample) {
            samples.append(sample);
            trace.append(QStringLiteral("sample %1:%2=%3")
                             .arg(QString::number(sample.usagePage, 16), QString::number(sample.usage, 16),
                                  QString::number(sample.value)));
        };
    }

    // Plugs a device and lets its matching run.
    std::shared_ptr<hid::ScriptedDevice> plugKeypad(std::int64_t product = keypadV2, QVariantMap more = {})
    {
        auto device = hid.plug(razer, product, QStringLiteral("Razer Tartarus"), std::move(more));
        settle();
        return device;
    }
    std::shared_ptr<hid::ScriptedDevice> plugSpeechMike()
    {
        auto device = hid.plug(philips, speechMike, QStringLiteral("SpeechMike"));
        settle();
        return device;
    }

    // Sends the values and lets everything they cause run.
    void send(const std::shared_ptr<hid::ScriptedDevice>& device, const hid::Element& element,
              std::initializer_list<std::int64_t> values)
    {
        for (const std::int64_t value : values)
            device->sendValue(element, value);
        settle();
    }

    void unplug(const std::shared_ptr<hid::ScriptedDevice>& device)
    {
        hid.unplug(device);
        settle();
    }
    // Events of any keyboard or mouse, as the suppression tap sees them.
    Verdict key(std::uint16_t code, Type type = Type::keyDown) { return taps.post(scripted::key(type, code)); }
    Verdict mouse(Type type, std::int64_t button = 0) { return taps.post(scripted::mouse(type, button)); }
    Verdict scroll(std::int64_t lines, std::int64_t points = 0) { return taps.post(scripted::scroll(lines, points)); }
    // No device left in control: the keypad's template stands in.
    void expectNoDeviceInControl()
    {
        EXPECT_FALSE(source->connectedTemplateId().has_value());
        EXPECT_FALSE(source->connectedKey().has_value());
        EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
        EXPECT_FALSE(source->hasSuppressionTap());
    }

    void settle() { queue->runUntilIdle(); }
    QStringList takeTrace() { return std::exchange(trace, {}); }
    QStringList takeLogs() { return std::exchange(logs, {}); }

    // One control of a device: a key or button (page, usage), or a key-array slot.
    static hid::Element button(std::uint32_t page, std::uint32_t usage, std::uint32_t cookie = 10)
    {
        return {cookie, hid::ElementType::inputButton, page, usage, false};
    }
    static hid::Element keyArraySlot(std::uint32_t cookie, std::uint32_t usage = 0xFFFFFFFF)
    {
        return {cookie, hid::ElementType::inputMisc, 7, usage, true};
    }

    ScopedInstance<Permissions, ScriptedPermissions> permissions;
    ScopedScriptedEventTaps taps;
    hid::ScriptedHid hid;
    std::shared_ptr<HIDDeviceInputSource> source;
    QStringList trace;
    QStringList logs;
    QList<DeviceButtonEvent> events;
    QList<RawHIDSample> samples;
};

} // namespace velmor::test
