#include "ScriptedSourceFixture.h"

#include "input/ButtonIdResolver.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

constexpr std::uint32_t statusUsage = 0xFFA1;
constexpr std::int64_t bit(int n) { return static_cast<std::int64_t>(std::uint64_t{1} << n); }

class HIDValueDecodingTest : public test::ScriptedSourceFixture {
protected:
    void SetUp() override
    {
        startSource();
        keypad = plugKeypad();
        settle();
        takeLogs();
    }

    std::shared_ptr<hid::ScriptedDevice> keypad;
};

} // namespace

TEST_F(HIDValueDecodingTest, EveryKeypadKeyPressesAndReleasesItsButton)
{
    const std::pair<std::uint32_t, const char*> keys[] = {
        {0x1E, "K01"}, {0x1F, "K02"}, {0x20, "K03"}, {0x21, "K04"}, {0x22, "K05"}, {0x2B, "K06"},
        {0x14, "K07"}, {0x1A, "K08"}, {0x08, "K09"}, {0x15, "K10"}, {0x39, "K11"}, {0x04, "K12"},
        {0x16, "K13"}, {0x07, "K14"}, {0x09, "K15"}, {0xE1, "K16"}, {0x1D, "K17"}, {0x1B, "K18"},
        {0x06, "K19"}, {0x2C, "K20"}, {0xE2, "THUMB_KEY"}, {0x52, "DPAD_UP"}, {0x4F, "DPAD_RIGHT"},
        {0x51, "DPAD_DOWN"}, {0x50, "DPAD_LEFT"},
    };
    for (const auto& [usage, id] : keys) {
        send(keypad, button(7, usage), {1, 0});
        const QString u = QString::number(usage, 16);
        EXPECT_EQ(takeTrace(), (QStringList{"sample 7:" + u + "=1", QStringLiteral("press ") + id,
                                            "sample 7:" + u + "=0", QStringLiteral("release ") + id}));
    }
    send(keypad, button(9, 3), {1, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 9:3=1", "press WHEEL_PRESS", "sample 9:3=0", "release WHEEL_PRESS"}));

    for (const DeviceButtonEvent& event : events) {
        EXPECT_EQ(event.deviceId, "tartarus_v2");
        EXPECT_TRUE(event.supportsHoldRepeat);
    }
    EXPECT_EQ(events.size(), 52);
    EXPECT_NE(events[0].id, events[1].id);
    EXPECT_TRUE(logs.isEmpty());
}

TEST_F(HIDValueDecodingTest, SamplesDescribeTheDeviceAndTheRawValue)
{
    send(keypad, keyArraySlot(40), {0x2C});
    ASSERT_EQ(samples.size(), 1);
    const RawHIDSample& sample = samples[0];
    EXPECT_EQ(sample.vendorId, 0x1532);
    EXPECT_EQ(sample.productId, 0x022B);
    EXPECT_EQ(sample.productName, QStringLiteral("Razer Tartarus"));
    EXPECT_EQ(sample.usagePage, 7);
    EXPECT_EQ(sample.usage, 0x2C); // the key the slot carries
    EXPECT_EQ(sample.value, 0x2C);
    EXPECT_EQ(sample.deviceId, QStringLiteral("tartarus_v2"));
    EXPECT_TRUE(sample.timestamp.isValid());

    // A device without a name gives samples without one.
    keypad->setProperty(hid::property::product, {});
    send(keypad, keyArraySlot(40), {0});
    ASSERT_EQ(samples.size(), 2);
    EXPECT_EQ(samples[1].productName, std::nullopt);
    EXPECT_EQ(samples[1].usage, 0xFFFFFFFF); // an empty slot names no key
    EXPECT_NE(samples[0].id, samples[1].id);
}

TEST_F(HIDValueDecodingTest, KeyArraySlotAndPerKeyElementAreOneKeypadButton)
{
    // The same key through the key array and through its own element: one press.
    send(keypad, keyArraySlot(40), {0x1E});
    send(keypad, button(7, 0x1E), {1});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=30", "press K01", "sample 7:1e=1"}));

    // The slot emptying carries no key: it releases nothing. The key's own
    // release does, once.
    send(keypad, keyArraySlot(40), {0});
    send(keypad, button(7, 0x1E), {0, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:ffffffff=0", "sample 7:1e=0", "release K01", "sample 7:1e=0"}));

    // Both spellings of the slot usage; a key in another slot is another press.
    send(keypad, keyArraySlot(41, 0xFFFF), {0x1F});
    send(keypad, keyArraySlot(42), {0x1F, 0x20});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1f=31", "press K02", "sample 7:1f=31", "sample 7:20=32",
                                        "press K03"}));
}

TEST_F(HIDValueDecodingTest, SlotValuesOutsideKeyCodesKeepTheSlotUsage)
{
    for (const std::int64_t value : {std::int64_t{-1}, std::int64_t{0x10000}, std::numeric_limits<std::int64_t>::min()})
        send(keypad, keyArraySlot(40), {value});
    send(keypad, keyArraySlot(41, 0xFFFF), {-5});
    EXPECT_TRUE(events.isEmpty());
    const QString hint = QStringLiteral(" for tartarus_v2. Update usage map to match template buttons.");
    EXPECT_EQ(takeLogs(), (QStringList{"Unmapped HID usage 0xFFFFFFFF" + hint, "Unmapped HID usage 0xFFFFFFFF" + hint,
                                       "Unmapped HID usage 0xFFFFFFFF" + hint, "Unmapped HID usage 0x7FFFF" + hint}));
    ASSERT_EQ(samples.size(), 4);
    EXPECT_EQ(samples[1].usage, 0xFFFFFFFF);
    EXPECT_EQ(samples[1].value, 0x10000);
}

TEST_F(HIDValueDecodingTest, KeyArraySlotsOfOtherDevicesAreToldApartByCookie)
{
    auto speechMike = plugSpeechMike();
    settle();

    send(speechMike, keyArraySlot(5), {0x1E});
    send(speechMike, keyArraySlot(6), {0x1E});
    send(speechMike, keyArraySlot(5), {0});
    send(speechMike, keyArraySlot(6), {0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=30", "press K01", "sample 7:1e=30", "press K01",
                                        "sample 7:ffffffff=0", "release K01", "sample 7:ffffffff=0", "release K01"}));
    EXPECT_EQ(events[0].deviceId, "speechmike_smp3700");
}

TEST_F(HIDValueDecodingTest, RepeatedPressesAndReleasesAreSwallowed)
{
    send(keypad, button(7, 0x1F), {1, 1, 2, 0, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1f=1", "press K02", "sample 7:1f=1", "sample 7:1f=2",
                                        "sample 7:1f=0", "release K02", "sample 7:1f=0"}));
}

TEST_F(HIDValueDecodingTest, WheelNotchesArePressesWithoutReleaseOrRepeat)
{
    send(keypad, button(1, 0x38), {1, -1, 3, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 1:38=1", "press WHEEL_UP once", "sample 1:38=-1",
                                        "press WHEEL_DOWN once", "sample 1:38=3", "press WHEEL_UP once",
                                        "sample 1:38=0"}));
    // Pointer motion never becomes a button.
    for (const std::uint32_t usage : {0x30u, 0x31u, 0x32u, 0x33u, 0x34u, 0x35u})
        send(keypad, button(1, usage), {4});
    EXPECT_EQ(events.size(), 3);
    EXPECT_EQ(samples.size(), 10);
}

TEST_F(HIDValueDecodingTest, SpeechMikeStatusWordsNameOneButtonAtATime)
{
    auto speechMike = plugSpeechMike();
    settle();
    takeLogs();
    const hid::Element status = button(statusUsage, 3);

    // State bits 26, 29 and 34 do not count; two button bits name nothing.
    send(speechMike, status, {bit(63) | bit(26) | bit(34), bit(63) | bit(49), bit(29)});
    EXPECT_EQ(takeTrace(), (QStringList{"sample ffa1:3=" + QString::number(bit(63) | bit(26) | bit(34)), "press INFO",
                                        "sample ffa1:3=" + QString::number(bit(63) | bit(49)),
                                        "sample ffa1:3=" + QString::number(bit(29)), "release INFO"}));
    // From one button straight to another on the same usage.
    send(speechMike, button(statusUsage, 4), {bit(56), bit(58), 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample ffa1:4=" + QString::number(bit(56)), "press REC",
                                        "sample ffa1:4=" + QString::number(bit(58)), "release REC", "press PLAY_PAUSE",
                                        "sample ffa1:4=0", "release PLAY_PAUSE"}));
    // The triggers are buttons of their own.
    send(speechMike, button(9, 1), {1, 0});
    send(speechMike, button(9, 2), {1, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 9:1=1", "press BOTTOM_TRIGGER", "sample 9:1=0",
                                        "release BOTTOM_TRIGGER", "sample 9:2=1", "press TOP_TRIGGER", "sample 9:2=0",
                                        "release TOP_TRIGGER"}));
    EXPECT_TRUE(takeLogs().isEmpty());
    for (const DeviceButtonEvent& event : events)
        EXPECT_EQ(event.deviceId, "speechmike_smp3700");
}

TEST_F(HIDValueDecodingTest, UnnamedUsagesAreLoggedOnEveryPressAndGiveNoButton)
{
    send(keypad, button(9, 1), {1, 0, 1});
    send(keypad, button(0xFF00, 0x0A), {7});
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(samples.size(), 4);
    const QString hint = QStringLiteral(" for tartarus_v2. Update usage map to match template buttons.");
    EXPECT_EQ(takeLogs(), (QStringList{"Unmapped HID usage 0x90001" + hint, "Unmapped HID usage 0x90001" + hint,
                                       "Unmapped HID usage 0xFF00000A" + hint}));
}

TEST_F(HIDValueDecodingTest, CustomNamesOfTheDeviceComeFirst)
{
    source->setCustomUsageMap({
        {VendorProduct{razer, keypadV2}, {{0x7001E, "FOOT"}, {0x90001, "SIDE"}}},
        {VendorProduct{razer, keypadPro}, {{0x7001F, "OTHER"}}},
    });
    send(keypad, button(7, 0x1E), {1, 0});
    send(keypad, button(9, 1), {1, 0});
    send(keypad, button(7, 0x1F), {1, 0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=1", "press FOOT", "sample 7:1e=0", "release FOOT",
                                        "sample 9:1=1", "press SIDE", "sample 9:1=0", "release SIDE",
                                        "sample 7:1f=1", "press K02", "sample 7:1f=0", "release K02"}));
    EXPECT_TRUE(logs.isEmpty());
}

TEST_F(HIDValueDecodingTest, KeypadProLogsHowEachKeyPressWasRead)
{
    auto pro = plugKeypad(keypadPro);
    settle();
    takeLogs();
    send(pro, keyArraySlot(40), {0x1E});
    send(pro, button(7, 0x1E, 12), {1, 0});
    send(pro, button(7, 0x70, 13), {1});
    EXPECT_EQ(takeLogs(), (QStringList{
                              "Tartarus Pro keyboard HID array usage 0xFFFFFFFF resolved 0x001E value 30 cookie 40 -> K01",
                              "Tartarus Pro keyboard HID scalar usage 0x001E resolved 0x001E value 1 cookie 12 -> K01",
                              "Unmapped HID usage 0x70070 for tartarus_v2. Update usage map to match template buttons.",
                              "Tartarus Pro keyboard HID scalar usage 0x0070 resolved 0x0070 value 1 cookie 13 -> USAGE_70070",
                          }));
    // The keypad V2 reads the same values without a word.
    send(keypad, keyArraySlot(40), {0x1E});
    EXPECT_TRUE(takeLogs().isEmpty());
}
