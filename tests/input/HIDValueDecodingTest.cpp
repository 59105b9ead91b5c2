#include "ScriptedSourceFixture.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

constexpr std::uint32_t statusUsage = 0xFFA1;
constexpr std::int64_t bit(int n) { return static_cast<std::int64_t>(std::uint64_t{1} << n); }
const QString hint = QStringLiteral(" for tartarus_v2. Update usage map to match template buttons.");

// Values of a keypad V2 (and of other devices plugged on the way), read into
// samples and events; on the way they open the suppression tap's windows.
class HIDValueDecodingTest : public test::ScriptedSourceFixture {
protected:
    void SetUp() override
    {
        startSource();
        keypad = plugKeypad();
        takeLogs();
    }

    std::shared_ptr<hid::ScriptedDevice> keypad;
};

} // namespace

TEST_F(HIDValueDecodingTest, KeysPressAndReleaseOnceEachWithTheSampleFirstUnderTheirOwnNames)
{
    // A letter, a modifier, the thumb key, a direction pad key and the wheel press.
    const std::tuple<std::uint32_t, std::uint32_t, const char*> keys[] = {
        {7, 0x1E, "K01"}, {7, 0xE1, "K16"}, {7, 0xE2, "THUMB_KEY"}, {7, 0x50, "DPAD_LEFT"}, {9, 3, "WHEEL_PRESS"}};
    for (const auto& [page, usage, id] : keys) {
        send(keypad, button(page, usage), {1, 1, 2, 0, 0}); // repeated presses and releases are swallowed
        const QString s = QStringLiteral("sample %1:%2=").arg(page).arg(usage, 0, 16);
        EXPECT_EQ(takeTrace(), (QStringList{s + "1", QStringLiteral("press ") + id, s + "1", s + "2", s + "0",
                                            QStringLiteral("release ") + id, s + "0"}));
    }
    EXPECT_EQ(events.last().deviceId, "tartarus_v2");
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::pass) << "an unmapped wheel press opens no window";

    // The device's own names come first.
    source->setCustomUsageMap({{VendorProduct{razer, keypadV2}, {{0x7001E, "FOOT"}, {0x90001, "SIDE"}}},
                               {VendorProduct{razer, keypadPro}, {{0x7001F, "OTHER"}}}});
    send(keypad, button(7, 0x1E), {1});
    send(keypad, button(9, 1), {1});
    send(keypad, button(7, 0x1F), {1});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=1", "press FOOT", "sample 9:1=1", "press SIDE", "sample 7:1f=1",
                                        "press K02"}));
    EXPECT_TRUE(logs.isEmpty());
}

TEST_F(HIDValueDecodingTest, KeyArraySlotAndPerKeyElementAreOneKeypadButtonAndSamplesSayWhatCame)
{
    // The same key through the key array and through its own element: one press.
    send(keypad, keyArraySlot(40), {0x1E});
    send(keypad, button(7, 0x1E), {1});
    // The slot's sample carries the key as its usage.
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=30", "press K01", "sample 7:1e=1"}));
    EXPECT_EQ(samples[0].productName, QStringLiteral("Razer Tartarus"));
    EXPECT_EQ(samples[0].deviceId, QStringLiteral("tartarus_v2"));

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

TEST_F(HIDValueDecodingTest, SamplesNameTheDeviceThatSentThemEvenAtAReusedAddress)
{
    // Devices come and go; each sample carries the name of its own device,
    // including a device that has none.
    unplug(keypad);
    keypad.reset();
    for (const std::optional<QString>& name : {std::optional<QString>{}, std::optional(QStringLiteral("Keys A")),
                                               std::optional(QStringLiteral("Keys B"))}) {
        auto device = hid.plug(razer, keypadV2, name);
        settle();
        send(device, button(7, 0x1E), {1, 0});
        ASSERT_FALSE(samples.isEmpty());
        EXPECT_EQ(samples.last().productName, name);
        unplug(device);
    }
}

TEST_F(HIDValueDecodingTest, UnnamedUsagesAndOutOfRangeSlotValuesAreLoggedOnEveryPress)
{
    send(keypad, button(9, 1), {1, 0, 1});
    send(keypad, button(0xFF00, 0x0A), {7});
    // Slot values that are no key code keep the slot usage.
    for (const std::int64_t value : {std::int64_t{-1}, std::int64_t{0x10000}, std::numeric_limits<std::int64_t>::min()})
        send(keypad, keyArraySlot(40), {value});
    send(keypad, keyArraySlot(41, 0xFFFF), {-5});
    EXPECT_TRUE(events.isEmpty());
    const QString slot = "Unmapped HID usage 0xFFFFFFFF" + hint;
    EXPECT_EQ(takeLogs(), (QStringList{"Unmapped HID usage 0x90001" + hint, "Unmapped HID usage 0x90001" + hint,
                                       "Unmapped HID usage 0xFF00000A" + hint, slot, slot, slot,
                                       "Unmapped HID usage 0x7FFFF" + hint}));
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

    // Only mapped wheel input opens a window for the keypad's own wheel output.
    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP", "WHEEL_PRESS"}}});
    send(keypad, button(1, 0x38), {-1});
    EXPECT_EQ(scroll(-1), Verdict::pass);
    send(keypad, button(1, 0x38), {2});
    EXPECT_EQ(scroll(3), Verdict::drop);
    send(keypad, button(9, 3), {1});
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::drop);
}

TEST_F(HIDValueDecodingTest, SpeechMikeStatusWordsTriggersAndKeySlots)
{
    auto speechMike = plugSpeechMike();
    takeLogs();
    const auto sample = [](int usage, std::int64_t value) {
        return QStringLiteral("sample ffa1:%1=%2").arg(usage).arg(value);
    };

    // State bits 26, 29 and 34 do not count; two button bits name no button (and no unmapped usage).
    send(speechMike, button(statusUsage, 3), {bit(63) | bit(26) | bit(34), bit(63) | bit(49), bit(29)});
    EXPECT_EQ(takeTrace(), (QStringList{sample(3, bit(63) | bit(26) | bit(34)), "press INFO",
                                        sample(3, bit(63) | bit(49)), sample(3, bit(29)), "release INFO"}));
    // From one button straight to another on the same usage: release before press.
    send(speechMike, button(statusUsage, 4), {bit(56), bit(58), 0});
    EXPECT_EQ(takeTrace(), (QStringList{sample(4, bit(56)), "press REC", sample(4, bit(58)), "release REC",
                                        "press PLAY_PAUSE", sample(4, 0), "release PLAY_PAUSE"}));
    // The triggers are buttons of their own; their presses, not releases,
    // open the window for the click the SpeechMike also sends.
    send(speechMike, button(9, 1), {0});
    EXPECT_EQ(mouse(Type::leftMouseDown), Verdict::pass);
    send(speechMike, button(9, 1), {1});
    send(speechMike, button(9, 2), {1});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 9:1=0", "sample 9:1=1", "press BOTTOM_TRIGGER", "sample 9:2=1",
                                        "press TOP_TRIGGER"}));
    EXPECT_EQ(mouse(Type::leftMouseDown), Verdict::drop);
    EXPECT_EQ(mouse(Type::rightMouseDown, 1), Verdict::drop);
    EXPECT_TRUE(takeLogs().isEmpty());
    EXPECT_EQ(events[0].deviceId, "speechmike_smp3700");
    // Key-array slots of devices other than the keypad are told apart by cookie.
    send(speechMike, keyArraySlot(5), {0x1E});
    send(speechMike, keyArraySlot(6), {0x1E});
    send(speechMike, keyArraySlot(5), {0});
    send(speechMike, keyArraySlot(6), {0});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=30", "press K01", "sample 7:1e=30", "press K01",
                                        "sample 7:ffffffff=0", "release K01", "sample 7:ffffffff=0", "release K01"}));
    // The keypad's button 1 is no SpeechMike click.
    send(keypad, button(9, 1), {1});
    EXPECT_EQ(mouse(Type::leftMouseDown), Verdict::pass);
}

TEST_F(HIDValueDecodingTest, KeypadProLogsHowEachKeyPressWasReadAndEveryKeyValueOpensAKeyWindow)
{
    auto pro = plugKeypad(keypadPro); // its arrival clears the V2's pending first-key drop
    takeLogs();
    // Mapped or not, press and release alike, per-key element or key array.
    send(pro, keyArraySlot(40), {0x1E});
    send(pro, button(7, 0x1E, 12), {1});
    EXPECT_EQ(key(keyK01), Verdict::drop);
    send(pro, button(7, 0x1E, 12), {0});
    EXPECT_EQ(key(keyK01, Type::keyUp), Verdict::drop);
    send(pro, button(7, 0x70, 13), {1});
    EXPECT_EQ(takeLogs(), (QStringList{
                              "Tartarus Pro keyboard HID array usage 0xFFFFFFFF resolved 0x001E value 30 cookie 40 -> K01",
                              "Tartarus Pro keyboard HID scalar usage 0x001E resolved 0x001E value 1 cookie 12 -> K01",
                              "Unmapped HID usage 0x70070" + hint,
                              "Tartarus Pro keyboard HID scalar usage 0x0070 resolved 0x0070 value 1 cookie 13 -> USAGE_70070",
                          }));
    // The keypad V2 reads the same values without a word.
    send(keypad, keyArraySlot(40), {0x1F});
    EXPECT_TRUE(takeLogs().isEmpty());
    EXPECT_EQ(key(keyK01), Verdict::pass);
    EXPECT_EQ(key(keyK02), Verdict::drop);
}

TEST_F(HIDValueDecodingTest, WhatOneGoDecodesReachesTheCallbacksOnOneLaterTurnInDecodeOrder)
{
    source->onLog = [this](const QString& line) { trace.append(QStringLiteral("log ") + line); };
    const auto decode = [this](const hid::Element& element, std::int64_t value) {
        source->handleInputValue(hid::Value{keypad, element, value});
    };
    decode(button(7, 0x1E), 1);
    decode(button(7, 0x70), 1);
    decode(button(7, 0x1E), 0);
    EXPECT_TRUE(trace.isEmpty()) << "nothing is handed on before the main queue runs";
    EXPECT_EQ(queue->pendingCount(), 1u) << "one delivery for the whole batch";
    settle();
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=1", "press K01", "sample 7:70=1",
                                        "log Unmapped HID usage 0x70070" + hint, "sample 7:1e=0", "release K01"}));

    // A later batch posts again.
    decode(button(7, 0x1F), 1);
    EXPECT_EQ(queue->pendingCount(), 1u);
    settle();
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1f=1", "press K02"}));

    // A source released before its turn delivers nothing.
    decode(button(7, 0x1F), 0);
    source.reset();
    settle();
    EXPECT_TRUE(trace.isEmpty());
}
