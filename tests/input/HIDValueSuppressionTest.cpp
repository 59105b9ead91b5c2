// The value path opens the suppression windows that keep the devices' own
// key, wheel and click output away from applications.
#include "ScriptedSourceFixture.h"

#include <gtest/gtest.h>

using namespace velmor;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

namespace {

constexpr std::uint16_t keyCodeK01 = 18;
constexpr std::uint16_t keyCodeK02 = 19;

class HIDValueSuppressionTest : public test::ScriptedSourceFixture {
protected:
    void SetUp() override
    {
        startSource();
        // The Pro types nothing on arrival, so no first key is dropped blindly.
        keypad = plugKeypad(keypadPro);
        ASSERT_NE(taps.current(), nullptr);
    }

    Verdict key(Type type, std::uint16_t code) { return taps.post(scripted::key(type, code)); }
    Verdict scroll(std::int64_t lines) { return taps.post(scripted::scroll(lines)); }
    Verdict mouse(Type type, std::int64_t button) { return taps.post(scripted::mouse(type, button)); }

    std::shared_ptr<hid::ScriptedDevice> keypad;
};

} // namespace

TEST_F(HIDValueSuppressionTest, EveryKeypadKeyValueOpensItsKeyWindowUnlessTheDeviceIsIgnored)
{
    // Mapped or not, press and release alike, per-key element or key array.
    send(keypad, button(7, 0x1E), {1});
    EXPECT_EQ(key(Type::keyDown, keyCodeK01), Verdict::drop);
    send(keypad, button(7, 0x1E), {0});
    EXPECT_EQ(key(Type::keyUp, keyCodeK01), Verdict::drop);
    send(keypad, keyArraySlot(40), {0x1F});
    EXPECT_EQ(key(Type::keyDown, keyCodeK01), Verdict::pass);
    EXPECT_EQ(key(Type::keyDown, keyCodeK02), Verdict::drop);

    // Released for other applications: no window, no sample.
    samples.clear();
    source->disableControl(razer, keypadPro);
    auto other = plugKeypad(keypadV2);
    key(Type::keyDown, keyCodeK02); // the V2's first key, dropped blindly on its arrival
    send(keypad, button(7, 0x1E), {1});
    EXPECT_EQ(key(Type::keyDown, keyCodeK01), Verdict::pass);
    EXPECT_TRUE(samples.isEmpty());
}

TEST_F(HIDValueSuppressionTest, OnlyMappedWheelInputAndSpeechMikePressesOpenTheirWindows)
{
    send(keypad, button(1, 0x38), {1});
    EXPECT_EQ(scroll(1), Verdict::pass);
    send(keypad, button(9, 3), {1, 0});
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::pass);

    source->setMappedButtons({{"tartarus_v2", {"WHEEL_UP", "WHEEL_PRESS"}}});
    send(keypad, button(1, 0x38), {-1}); // WHEEL_DOWN is not mapped
    EXPECT_EQ(scroll(-1), Verdict::pass);
    send(keypad, button(1, 0x38), {2});
    EXPECT_EQ(scroll(3), Verdict::drop);

    send(keypad, button(9, 3), {1});
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::drop);

    auto speechMike = plugSpeechMike();
    send(speechMike, button(9, 1), {0}); // a release opens nothing
    EXPECT_EQ(mouse(Type::leftMouseDown, 0), Verdict::pass);

    send(speechMike, button(9, 1), {1});
    send(speechMike, button(9, 2), {1});
    EXPECT_EQ(mouse(Type::leftMouseDown, 0), Verdict::drop);
    EXPECT_EQ(mouse(Type::rightMouseDown, 1), Verdict::drop);

    // The keypad's button 1 is no SpeechMike click.
    send(keypad, button(9, 1), {1});
    EXPECT_EQ(mouse(Type::leftMouseDown, 0), Verdict::pass);
}

