#include "input/HIDDeviceInputSource.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/ProcessWide.h"
#include "platform/permissions/ScriptedPermissions.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velmor;
using hid::Result;
using hid::ScriptedCall;
using hid::ScriptedDevice;

namespace {

const VendorProduct keypadV2{0x1532, 0x022B};
const QString keypadName = QStringLiteral("Razer Tartarus V2");
const QString speechMikeName = QStringLiteral("SpeechMike III");

class HIDDeviceInputSourceTest : public test::PlatformFixture {
protected:
    HIDDeviceInputSourceTest() { permissions->inputMonitoring = true; }

    void startSource()
    {
        source = HIDDeviceInputSource::create(false);
        source->onLog = [this](const QString& line) { logs.append(line); };
        source->onEvent = [this](const DeviceButtonEvent& event) { events.append(event); };
    }

    std::shared_ptr<ScriptedDevice> plugKeypad(std::int64_t product = 0x022B)
    {
        return hid.plug(0x1532, product, keypadName);
    }
    std::shared_ptr<ScriptedDevice> plugSpeechMike() { return hid.plug(0x0911, 0x0C1C, speechMikeName); }

    void settle() { queue->runUntilIdle(); }
    QStringList takeLogs() { return std::exchange(logs, {}); }

    ScopedInstance<Permissions, ScriptedPermissions> permissions;
    hid::ScriptedHid hid;
    std::shared_ptr<HIDDeviceInputSource> source;
    QStringList logs;
    QList<DeviceButtonEvent> events;
};

} // namespace

TEST_F(HIDDeviceInputSourceTest, KeypadIsSeizedPublishedAndMadeActive)
{
    startSource();
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    auto keypad = plugKeypad();
    settle();

    EXPECT_EQ(keypad->calls(), QStringList{"open seize"});
    EXPECT_EQ(takeLogs(),
        (QStringList{
            "Seized HID device Razer Tartarus V2 to suppress factory defaults.",
            "Connected hardware Razer Tartarus V2 vendor 0x1532 product 0x022B → device Razer Tartarus V2 / Pro",
            "Event tap enabled to suppress Tartarus factory defaults.",
        }));
    const ConnectedDeviceInfo expected{0x1532, 0x022B, keypadName, QStringLiteral("tartarus_v2"), false};
    EXPECT_EQ(source->connectedDevices().get(), QList<ConnectedDeviceInfo>{expected});
    EXPECT_EQ(source->activeDevice().get().id, QStringLiteral("tartarus_v2"));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_EQ(source->connectedKey(), keypadV2);
    EXPECT_TRUE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, DropsZeroPairsVirtualDevicesAndPairsWithoutTemplate)
{
    startSource();
    // Properties that cannot be read by the time the device is reported read as 0.
    auto blank = plugKeypad();
    blank->setProperty(hid::property::vendorId, {});
    blank->setProperty(hid::property::productId, {});
    blank->setProperty(hid::property::product, {});
    auto virtualKeypad = hid.plug(0x1532, 0x0240, QStringLiteral("Acme VirtualHid Keys"));
    auto vendorZero = plugKeypad();
    vendorZero->setProperty(hid::property::vendorId, 0); // only one id zero: not dropped as a zero pair
    settle();

    EXPECT_EQ(takeLogs(),
        (QStringList{
            "Ignoring HID device with zero VID/PID (Unknown)",
            "Ignoring virtual HID device: Acme VirtualHid Keys",
            "Connected device vid 0x0000 pid 0x022B not in template map; ignoring.",
        }));
    for (const auto& device : {blank, virtualKeypad, vendorZero})
        EXPECT_TRUE(device->calls().isEmpty());
    EXPECT_TRUE(source->connectedDevices().get().isEmpty());
    EXPECT_FALSE(source->connectedTemplateId().has_value());
    EXPECT_FALSE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, TwoKeypadsOfOnePairAreTwoHandlesAndOneConnectedEntry)
{
    startSource();
    auto first = plugKeypad();
    auto second = plugKeypad();
    settle();
    EXPECT_TRUE(first->isSeized());
    EXPECT_TRUE(second->isSeized());
    EXPECT_EQ(source->connectedDevices().get().size(), 1);
    takeLogs();

    hid.unplug(first);
    settle();
    EXPECT_TRUE(takeLogs().isEmpty());
    EXPECT_EQ(source->connectedDevices().get().size(), 1);
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_TRUE(source->hasSuppressionTap());

    hid.unplug(second);
    settle();
    EXPECT_EQ(takeLogs(), QStringList{"Hardware disconnected vendor 0x1532 product 0x022B"});
    EXPECT_TRUE(source->connectedDevices().get().isEmpty());
    EXPECT_FALSE(source->connectedTemplateId().has_value());
    EXPECT_FALSE(source->connectedKey().has_value());
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_FALSE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, UnplugReleasesHeldButtonsOfThatTemplateOnly)
{
    startSource();
    auto keypad = plugKeypad();
    auto speechMike = plugSpeechMike();
    settle();
    const PressedUsageKey k01{"tartarus_v2", 0x7001E, std::nullopt};
    const PressedUsageKey dpad{"tartarus_v2", 0x70052, std::nullopt};
    const PressedUsageKey rec{"speechmike_smp3700", 0xFFA10003, std::nullopt};
    source->recordPressedButton(k01, "K01");
    source->recordPressedButton(dpad, "DPAD_UP");
    source->recordPressedButton(rec, "REC");

    hid.unplug(keypad);
    settle();
    ASSERT_EQ(events.size(), 2);
    QStringList released;
    for (const auto& event : events) {
        EXPECT_EQ(event.deviceId, QStringLiteral("tartarus_v2"));
        EXPECT_FALSE(event.isPressed);
        EXPECT_TRUE(event.supportsHoldRepeat);
        released.append(event.buttonId);
    }
    released.sort();
    EXPECT_EQ(released, (QStringList{"DPAD_UP", "K01"}));
    EXPECT_NE(events[0].id, events[1].id);
    EXPECT_EQ(keypad->calls(), (QStringList{"open seize", "close seize"}));

    EXPECT_FALSE(source->removePressedButton(k01).has_value()) << "nothing of the keypad stays pressed";
    EXPECT_EQ(source->removePressedButton(rec), QStringLiteral("REC"));
}

TEST_F(HIDDeviceInputSourceTest, FailedSeizeIsLoggedAndTheDeviceStillTakesPart)
{
    startSource();
    auto keypad = hid.plug(0x1532, 0x0240, std::nullopt);
    keypad->failures().failNext(ScriptedCall::open, Result::exclusiveAccess());
    settle();
    EXPECT_EQ(takeLogs(),
        (QStringList{
            "Failed to seize HID device Unknown (0xE00002C5). Factory defaults may still fire.",
            "Connected hardware Unknown vendor 0x1532 product 0x0240 → device Razer Tartarus V2 / Pro",
            "Event tap enabled to suppress Tartarus factory defaults.",
        }));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_TRUE(source->hasSuppressionTap());

    hid.unplug(keypad);
    settle();
    EXPECT_EQ(keypad->calls(), QStringList{"open seize"}) << "a device never seized is not closed";
    EXPECT_FALSE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, ControlFallsBackToAnotherAttachedDevice)
{
    startSource();
    auto keypad = plugKeypad();
    auto speechMike = plugSpeechMike();
    settle();
    EXPECT_EQ(source->activeDevice().get(), Device::speechMikeTemplate()) << "the newest device takes control";
    EXPECT_EQ(source->connectedDevices().get().size(), 2);

    hid.unplug(speechMike);
    settle();
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_EQ(source->connectedKey(), keypadV2);
    EXPECT_TRUE(source->hasSuppressionTap());

    // Leaving while not in control changes nothing about who is in control.
    auto speechMike2 = plugSpeechMike();
    auto keypad2 = hid.plug(0x1532, 0x0244, keypadName);
    settle();
    hid.unplug(speechMike2);
    settle();
    EXPECT_EQ(source->connectedKey(), (VendorProduct{0x1532, 0x0244}));

    hid.unplug(keypad2);
    hid.unplug(keypad);
    settle();
    EXPECT_FALSE(source->connectedTemplateId().has_value());
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_TRUE(source->connectedDevices().get().isEmpty());
}

TEST_F(HIDDeviceInputSourceTest, SuppressionTapLivesWhileAKeypadOrSpeechMikeIsRegistered)
{
    startSource();
    auto speechMike = plugSpeechMike();
    settle();
    EXPECT_TRUE(speechMike->isSeized());
    EXPECT_TRUE(source->hasSuppressionTap());

    auto keypad = plugKeypad();
    settle();
    hid.unplug(keypad);
    settle();
    EXPECT_TRUE(source->hasSuppressionTap()) << "the SpeechMike still needs it";
    hid.unplug(speechMike);
    settle();
    EXPECT_FALSE(source->hasSuppressionTap());

    auto mouseLike = hid.plug(0x1532, 0x0001, QStringLiteral("Other Razer")); // not matched at all
    settle();
    EXPECT_TRUE(mouseLike->calls().isEmpty());
    EXPECT_FALSE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, DeviceThatLeavesBeforeItsQueuedWorkRunsLeavesNothingBehind)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.devicequeue"));
    startSource();
    auto deviceQueue = serialQueues.find(QStringLiteral("com.velmor.devicequeue"));
    ASSERT_NE(deviceQueue, nullptr);

    auto keypad = plugKeypad();
    settle();
    EXPECT_EQ(deviceQueue->pendingCount(), 1u);
    hid.unplug(keypad);
    settle();
    deviceQueue->runAll();
    settle();

    EXPECT_EQ(takeLogs(),
        (QStringList{
            "Failed to seize HID device Razer Tartarus V2 (0xE00002C0). Factory defaults may still fire.",
            "Connected hardware Razer Tartarus V2 vendor 0x1532 product 0x022B → device Razer Tartarus V2 / Pro",
            "Hardware disconnected vendor 0x1532 product 0x022B",
            "Event tap enabled to suppress Tartarus factory defaults.",
        }));
    EXPECT_TRUE(source->connectedDevices().get().isEmpty());
    EXPECT_FALSE(source->connectedTemplateId().has_value()) << "the departed device must not stay in control";
    EXPECT_FALSE(source->connectedKey().has_value());
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_FALSE(source->hasSuppressionTap());
}

TEST_F(HIDDeviceInputSourceTest, WorkLeftOnTheMainQueueHoldsTheSourceOnlyWhilePublishing)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.devicequeue"));
    startSource();
    auto keypad = plugKeypad();
    settle();
    serialQueues.find(QStringLiteral("com.velmor.devicequeue"))->runAll();
    const std::weak_ptr<HIDDeviceInputSource> weak = source;
    source.reset();
    EXPECT_FALSE(weak.expired()) << "publishing holds the source until it has run";
    settle();
    EXPECT_TRUE(weak.expired());
    // The line posted before publishing still found the source; the one after did not.
    EXPECT_EQ(logs, QStringList{"Seized HID device Razer Tartarus V2 to suppress factory defaults."});

    hid.unplug(keypad);
    plugKeypad();
    settle();
    EXPECT_EQ(hid.managerCalls(), (QStringList{"open", "schedule", "unschedule", "close"}));
    EXPECT_TRUE(events.isEmpty());
}

TEST_F(HIDDeviceInputSourceTest, ManagerOpenFailureIsLoggedAndMatchingGoesOn)
{
    hid.managerFailures().failNext(ScriptedCall::managerOpen, Result::notPermitted());
    startSource();
    plugSpeechMike();
    settle();
    ASSERT_FALSE(logs.isEmpty());
    EXPECT_EQ(logs.first(), QStringLiteral("HID manager open failed: 0xE00002E2"));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("speechmike_smp3700"));
}

TEST_F(HIDDeviceInputSourceTest, MappedButtonsAreReplacedInOrderOnTheSuppressionQueue)
{
    serialQueues.makeStepwise(QStringLiteral("com.velmor.tartarus.suppression"));
    startSource();
    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP", "K01"}}});
    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP"}}, {"speechmike_smp3700", {"REC"}}});
    EXPECT_EQ(serialQueues.find(QStringLiteral("com.velmor.tartarus.suppression"))->pendingCount(), 2u);
    // The lookup waits for the replacements handed over before it.
    EXPECT_TRUE(source->isButtonMapped("tartarus_v2", "WHEEL_UP"));
    EXPECT_FALSE(source->isButtonMapped("tartarus_v2", "K01"));
    EXPECT_FALSE(source->isButtonMapped("tartarus_v2", "REC"));
    EXPECT_TRUE(source->isButtonMapped("speechmike_smp3700", "REC"));
    EXPECT_FALSE(source->isButtonMapped("mouse_5_button", "WHEEL_UP"));
}
