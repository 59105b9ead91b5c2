#include "input/ButtonIdResolver.h"
#include "input/SpeechMikeTables.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {
constexpr std::uint32_t statusUsage = 0xFFA10003;
constexpr std::int64_t bit(int n) { return static_cast<std::int64_t>(std::uint64_t{1} << n); }
} // namespace

TEST(ButtonIdResolver, UsageKeysStayInThirtyTwoBits)
{
    EXPECT_EQ(usageKeyOf(7, 0x1E), 0x7001Eu);
    EXPECT_EQ(usageKeyOf(0xFFA1, 3), statusUsage);
    // A page wider than 16 bits loses its high bits instead of trapping.
    EXPECT_EQ(usageKeyOf(0x12345, 0x6), 0x23450006u);
    EXPECT_EQ(usageKeyOf(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(ButtonIdResolver, CustomNamesComeFirstThenDeviceTablesThenTheKeypadTable)
{
    const QHash<std::uint32_t, QString> custom{{0x90001, "PEDAL"}, {0x7001E, "MY_K01"}};
    EXPECT_EQ(resolveButtonId(&custom, 0x90001, 1, true).buttonId, "PEDAL");
    EXPECT_EQ(resolveButtonId(&custom, 0x7001E, 1, false).buttonId, "MY_K01");
    EXPECT_EQ(resolveButtonId(&custom, 0x7001F, 1, false).buttonId, "K02");

    EXPECT_EQ(resolveButtonId(nullptr, 0x90001, 1, true).buttonId, "BOTTOM_TRIGGER");
    EXPECT_EQ(resolveButtonId(nullptr, 0x90002, 1, true).buttonId, "TOP_TRIGGER");
    // The wheel button of the keypad table applies to every device.
    EXPECT_EQ(resolveButtonId(nullptr, 0x90003, 1, true).buttonId, "WHEEL_PRESS");
    EXPECT_EQ(resolveButtonId(nullptr, 0x90003, 1, false).buttonId, "WHEEL_PRESS");
    // The SpeechMike's own tables apply to the SpeechMike only.
    const ResolvedButtonId trigger = resolveButtonId(nullptr, 0x90001, 1, false);
    EXPECT_EQ(trigger.buttonId, "USAGE_90001");
    EXPECT_TRUE(trigger.unknownUsage);
    EXPECT_EQ(resolveButtonId(nullptr, statusUsage, bit(63), false).buttonId, "USAGE_FFA10003");
}

TEST(ButtonIdResolver, StatusWordsNameAButtonOnlyWithExactlyOneBit)
{
    const std::pair<int, const char*> buttons[] = {{63, "INFO"}, {62, "INS_OVR"}, {61, "EOL"}, {60, "REW"},
                                                  {59, "FWD"},   {58, "PLAY_PAUSE"}, {56, "REC"}, {53, "TOP_TRIGGER"},
                                                  {52, "F4"},    {51, "F3"},  {50, "F2"},  {49, "F1"}};
    for (const auto& [n, id] : buttons) {
        EXPECT_EQ(resolveButtonId(nullptr, statusUsage, bit(n), true).buttonId, id);
        EXPECT_EQ(resolveButtonId(nullptr, 0xFFA10004, bit(n), true).buttonId, id);
    }
    for (const std::int64_t word : {bit(63) | bit(49), bit(57), bit(26), std::int64_t{1}}) {
        const ResolvedButtonId resolved = resolveButtonId(nullptr, statusUsage, word, true);
        EXPECT_EQ(resolved.buttonId, "UNMAPPED");
        EXPECT_FALSE(resolved.unknownUsage); // no "name this usage" hint for a chord
    }
    EXPECT_EQ(speechMikeStatusMask, bit(26) | bit(29) | bit(34));
}

TEST(ButtonIdResolver, UnknownUsagesGetAnIdOfTheirKeyInUpperCaseHex)
{
    EXPECT_EQ(resolveButtonId(nullptr, 0xFF00000A, 1, false).buttonId, "USAGE_FF00000A");
    EXPECT_EQ(resolveButtonId(nullptr, 0x2A, 1, false).buttonId, "USAGE_002A");
    EXPECT_TRUE(isUnnamedButtonId("USAGE_002A"));
    EXPECT_TRUE(isUnnamedButtonId("UNMAPPED"));
    EXPECT_FALSE(isUnnamedButtonId("K01"));
    EXPECT_FALSE(isUnnamedButtonId("usage_002A"));
}
