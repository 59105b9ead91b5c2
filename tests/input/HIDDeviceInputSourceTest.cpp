#include "ScriptedSourceFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velmor;
using hid::Result;
using hid::ScriptedCall;

namespace {

const QString connectedV2 =
    QStringLiteral("Connected hardware Razer Tartarus vendor 0x1532 product 0x022B → device Razer Tartarus V2 / Pro");

using HIDDeviceInputSourceTest = test::ScriptedSourceFixture;

} // namespace

TEST_F(HIDDeviceInputSourceTest, OddDevicesAreDroppedAndFailedOpensOnlyLogged)
{
    hid.managerFailures().failNext(ScriptedCall::managerOpen, Result::notPermitted());
    startSource();
    // Properties that cannot be read by the time the device is reported read as 0.
    auto blank = hid.plug(razer, keypadV2, std::nullopt);
    for (const auto& key : {hid::property::vendorId, hid::property::productId})
        blank->setProperty(key, {});
    auto virtualKeypad = hid.plug(razer, 0x0240, QStringLiteral("Acme VirtualHid Keys"));
    auto vendorZero = hid.plug(razer, keypadV2, std::nullopt);
    vendorZero->setProperty(hid::property::vendorId, 0); // only one id zero: not dropped as a zero pair
    settle();
    for (const auto& device : {blank, virtualKeypad, vendorZero})
        EXPECT_TRUE(device->calls().isEmpty());
    EXPECT_TRUE(source->connectedDevices().get().isEmpty());

    // A keypad that cannot be seized still takes part.
    auto keypad = hid.plug(razer, 0x0240, std::nullopt);
    keypad->failures().failNext(ScriptedCall::open, Result::exclusiveAccess());
    settle();
    EXPECT_EQ(takeLogs(),
              (QStringList{"HID manager open failed: 0xE00002E2", "Ignoring HID device with zero VID/PID (Unknown)",
                           "Ignoring virtual HID device: Acme VirtualHid Keys",
                           "Connected device vid 0x0000 pid 0x022B not in template map; ignoring.",
                           "Failed to seize HID device Unknown (0xE00002C5). Factory defaults may still fire.",
                           "Connected hardware Unknown vendor 0x1532 product 0x0240 → device Razer Tartarus V2 / Pro",
                           "Event tap enabled to suppress Tartarus factory defaults."}));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    unplug(keypad);
    EXPECT_EQ(keypad->calls(), QStringList{"open seize"}) << "a device never seized is not closed";
    expectNoDeviceInControl();
}

TEST_F(HIDDeviceInputSourceTest, KeypadsAreSeizedAndPublishedAndUnplugHandsControlOn)
{
    startSource();
    auto keypad = plugKeypad();
    EXPECT_EQ(takeLogs(), (QStringList{"Seized HID device Razer Tartarus to suppress factory defaults.", connectedV2,
                                       "Event tap enabled to suppress Tartarus factory defaults."}));
    const ConnectedDeviceInfo expected{razer, keypadV2, QStringLiteral("Razer Tartarus"), QStringLiteral("tartarus_v2"),
                                       false};
    EXPECT_EQ(source->connectedDevices().get(), QList<ConnectedDeviceInfo>{expected});
    auto second = plugKeypad();
    auto mike = plugSpeechMike();
    EXPECT_TRUE(second->isSeized());
    EXPECT_EQ(source->connectedDevices().get().size(), 2) << "one entry per pair";
    EXPECT_EQ(source->activeDevice().get(), Device::speechMikeTemplate()) << "the newest device takes control";
    const PressedUsageKey k01{"tartarus_v2", 0x7001E, std::nullopt};
    source->recordPressedButton(k01, "K01");
    source->recordPressedButton({"tartarus_v2", 0x70052, std::nullopt}, "DPAD_UP");
    source->recordPressedButton({"speechmike_smp3700", 0xFFA10003, std::nullopt}, "REC");
    takeTrace();
    takeLogs();

    // One of two keypads leaves: the buttons of its template go up, its pair stays.
    unplug(keypad);
    EXPECT_TRUE(std::ranges::is_permutation(takeTrace(), QStringList{"release DPAD_UP", "release K01"})) << "in any order";
    EXPECT_EQ(events[0].deviceId, QStringLiteral("tartarus_v2"));
    EXPECT_FALSE(source->removePressedButton(k01).has_value()) << "nothing of the keypad stays pressed";
    EXPECT_EQ(keypad->calls(), (QStringList{"open seize", "close seize"}));
    EXPECT_TRUE(takeLogs().isEmpty());
    EXPECT_EQ(key(capsLock), Verdict::drop) << "a keypad is still registered";

    // The device in control leaves: control falls back to another attached one.
    unplug(mike);
    EXPECT_EQ(takeTrace(), QStringList{"release REC"});
    EXPECT_EQ(takeLogs(), QStringList{"Hardware disconnected vendor 0x0911 product 0x0C1C"});
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source->connectedKey(), (VendorProduct{razer, keypadV2}));

    // Leaving while not in control changes nothing about who is in control.
    auto pro = plugKeypad(keypadPro);
    auto mike2 = plugSpeechMike();
    unplug(pro);
    EXPECT_EQ(source->connectedKey(), (VendorProduct{philips, speechMike}));

    // With only the SpeechMike left the tap stays, but keys are the keyboard's again.
    unplug(second);
    EXPECT_TRUE(source->hasSuppressionTap());
    EXPECT_EQ(key(capsLock), Verdict::pass);
    unplug(mike2);
    expectNoDeviceInControl();
}

TEST_F(HIDDeviceInputSourceTest, TheProKeyboardInterfaceIsReadDirectlyEvenWithoutATap)
{
    permissions->inputMonitoring = false;
    startSource();
    auto keypad = hid.plug(razer, keypadPro, QStringLiteral("Razer Tartarus"),
                           {{hid::property::primaryUsagePage, 1}, {hid::property::primaryUsage, 6}}, {button(7, 0x04, 1)});
    settle();
    EXPECT_FALSE(source->hasSuppressionTap());
    EXPECT_EQ(logs.filter("Input Monitoring permission not granted.").size(), 1);
    EXPECT_TRUE(keypad->hasInputReportCallback());

    unplug(keypad);
    EXPECT_FALSE(keypad->hasInputReportCallback());
    EXPECT_FALSE(keypad->hasInputValueCallback());
}

TEST_F(HIDDeviceInputSourceTest, QueuedWorkOutlivesNeitherItsDeviceNorTheSource)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.devicequeue"));
    startSource();
    auto deviceQueue = serialQueues.find(QStringLiteral("com.velmor.devicequeue"));
    ASSERT_NE(deviceQueue, nullptr);

    // A device that leaves before its queued work runs must not stay in control.
    auto keypad = plugKeypad();
    unplug(keypad);
    deviceQueue->runAll();
    settle();
    EXPECT_EQ(takeLogs(),
              (QStringList{"Failed to seize HID device Razer Tartarus (0xE00002C0). Factory defaults may still fire.",
                           connectedV2, "Hardware disconnected vendor 0x1532 product 0x022B",
                           "Event tap enabled to suppress Tartarus factory defaults."}));
    expectNoDeviceInControl();

    // Work left on the main queue holds the source only while publishing.
    auto second = plugKeypad();
    deviceQueue->runAll();
    const std::weak_ptr<HIDDeviceInputSource> weak = source;
    source.reset();
    EXPECT_FALSE(weak.expired()) << "publishing holds the source until it has run";
    settle();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(second->calls(), (QStringList{"open seize", "close seize"})) << "given back with the source, not later";
    // The line posted before publishing still found the source; the one after did not.
    EXPECT_EQ(logs, QStringList{"Seized HID device Razer Tartarus to suppress factory defaults."});
    unplug(second);
    plugKeypad();
    EXPECT_EQ(hid.managerCalls(), (QStringList{"open", "schedule", "unschedule", "close"}));
}

TEST_F(HIDDeviceInputSourceTest, MappedButtonsAreReplacedInOrderOnTheSuppressionQueue)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.tartarus.suppression"));
    startSource();
    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP", "K01"}}});
    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP"}}, {"speechmike_smp3700", {"REC"}}});
    // The lookup waits for the replacements handed over before it.
    EXPECT_TRUE(source->isButtonMapped("tartarus_v2", "WHEEL_UP"));
    EXPECT_FALSE(source->isButtonMapped("tartarus_v2", "K01"));
    EXPECT_FALSE(source->isButtonMapped("tartarus_v2", "REC"));
    EXPECT_TRUE(source->isButtonMapped("speechmike_smp3700", "REC"));
}
