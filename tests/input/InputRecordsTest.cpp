#include "input/ConnectedDeviceInfo.h"
#include "input/PressedButtonTable.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(ConnectedDeviceInfo, IdentityIsPairAndNameWhileEqualityTakesEveryFieldAndPressedButtonsAreKeyedByUsage)
{
    const ConnectedDeviceInfo keypad{0x1532, 0x022B, QStringLiteral("N"), QStringLiteral("tartarus_v2"), false};
    EXPECT_EQ(keypad.id(), QStringLiteral("5426-555-N"));
    const ConnectedDeviceInfo nameless{1, 2, std::nullopt, std::nullopt, false};
    const ConnectedDeviceInfo namedUnknown{1, 2, QStringLiteral("unknown"), std::nullopt, false};
    EXPECT_EQ(namedUnknown.id(), QStringLiteral("1-2-unknown"));
    EXPECT_EQ(nameless.id(), namedUnknown.id());
    EXPECT_NE(namedUnknown, nameless);

    ConnectedDeviceInfo ignored = keypad;
    ignored.ignored = true;
    EXPECT_EQ(ignored.id(), keypad.id());
    EXPECT_NE(ignored, keypad);

    // The pressed-button table: repeats, replacements and the release of one device.
    PressedButtonTable table;
    const PressedUsageKey k01{"tartarus_v2", 0x7001E, std::nullopt};
    const PressedUsageKey status{"speechmike_smp3700", 0xFFA10003, std::nullopt};

    EXPECT_FALSE(table.record(k01, "K01").same);
    EXPECT_TRUE(table.record(k01, "K01").same) << "a press reported twice counts once";
    EXPECT_FALSE(table.record(status, "REC").replaced.has_value());
    const auto replaced = table.record(status, "PLAY_PAUSE");
    EXPECT_FALSE(replaced.same);
    EXPECT_EQ(replaced.replaced, QStringLiteral("REC"));

    // Keys that differ only in the cookie, or in having one, are separate.
    table.record({"hid_custom", 0x7FFFF, 5}, "A");
    table.record({"hid_custom", 0x7FFFF, 6}, "B");
    table.record({"hid_custom", 0x7FFFF, std::nullopt}, "C");
    EXPECT_EQ(table.size(), 5u);
    EXPECT_EQ(table.removeDevice("hid_custom"), (QStringList{"C", "A", "B"}));
    EXPECT_EQ(table.remove(k01), QStringLiteral("K01"));
    EXPECT_FALSE(table.remove(k01).has_value()) << "a second release finds nothing";
    EXPECT_EQ(table.size(), 1u);
}

