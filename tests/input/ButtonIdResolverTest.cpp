#include "input/ButtonIdResolver.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(ButtonIdResolver, UsageKeysStayInThirtyTwoBits)
{
    EXPECT_EQ(usageKeyOf(0xFFA1, 3), 0xFFA10003u);
    // A page wider than 16 bits loses its high bits instead of trapping.
    EXPECT_EQ(usageKeyOf(0x12345, 0x6), 0x23450006u);
    EXPECT_EQ(usageKeyOf(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);
}

TEST(ButtonIdResolver, EveryStatusWordBitNamesItsButtonOnTheSpeechMikeOnly)
{
    const std::pair<int, const char*> buttons[] = {{63, "INFO"}, {62, "INS_OVR"}, {61, "EOL"}, {60, "REW"},
                                                  {59, "FWD"}, {58, "PLAY_PAUSE"}, {56, "REC"}, {53, "TOP_TRIGGER"},
                                                  {52, "F4"}, {51, "F3"}, {50, "F2"}, {49, "F1"}};
    for (const auto& [n, id] : buttons) {
        const auto word = static_cast<std::int64_t>(std::uint64_t{1} << n);
        EXPECT_EQ(resolveButtonId(nullptr, 0xFFA10003, word, true).buttonId, id);
        EXPECT_EQ(resolveButtonId(nullptr, 0xFFA10004, word, true).buttonId, id);
        EXPECT_EQ(resolveButtonId(nullptr, 0xFFA10004, word, false).buttonId, "USAGE_FFA10004");
    }
    // Bit 57 is no button: a status word that names none is "UNMAPPED", without a hint.
    const ResolvedButtonId none = resolveButtonId(nullptr, 0xFFA10003, std::int64_t{1} << 57, true);
    EXPECT_EQ(none.buttonId, "UNMAPPED");
    EXPECT_FALSE(none.unknownUsage);

    EXPECT_TRUE(acceptsUnnamedButtonIds("hid_1234_5678"));
    EXPECT_FALSE(acceptsUnnamedButtonIds("HID_1234_5678"));
    EXPECT_FALSE(acceptsUnnamedButtonIds("tartarus_v2"));
}
