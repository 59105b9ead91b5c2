#include "input/ButtonIdResolver.h"
#include "input/ConnectedDeviceInfo.h"
#include "input/LogFormat.h"

#include <limits>

#include <gtest/gtest.h>

using namespace velmor;

TEST(ConnectedDeviceInfo, IdentityIsPairAndNameWhileEqualityTakesEveryField)
{
    const ConnectedDeviceInfo keypad{0x1532, 0x022B, QStringLiteral("N"), QStringLiteral("tartarus_v2"), false};
    ConnectedDeviceInfo ignored = keypad;
    ignored.ignored = true;
    EXPECT_EQ(ignored.id(), QStringLiteral("5426-555-N"));
    EXPECT_NE(ignored, keypad);
    const ConnectedDeviceInfo nameless{1, 2, std::nullopt, std::nullopt, false};
    EXPECT_EQ(nameless.id(), QStringLiteral("1-2-unknown"));
    EXPECT_NE(nameless, (ConnectedDeviceInfo{1, 2, QStringLiteral("unknown"), std::nullopt, false}));
}

TEST(ButtonIdResolver, UsageKeysWrapAndStatusWordBitsNameButtonsOnTheSpeechMikeOnly)
{
    // A page wider than 16 bits loses its high bits instead of trapping.
    EXPECT_EQ(usageKeyOf(0x12345, 0x6), 0x23450006u);
    EXPECT_EQ(usageKeyOf(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);

    for (const std::uint32_t usage : {0xFFA10003u, 0xFFA10004u}) {
        EXPECT_EQ(resolveButtonId(nullptr, usage, std::int64_t{1} << 63, true).buttonId, "INFO"); // sign bit
        EXPECT_EQ(resolveButtonId(nullptr, usage, std::int64_t{1} << 49, true).buttonId, "F1");
    }
    EXPECT_EQ(resolveButtonId(nullptr, 0xFFA10004, std::int64_t{1} << 49, false).buttonId, "USAGE_FFA10004");

    EXPECT_TRUE(acceptsUnnamedButtonIds("hid_1234_5678"));
    EXPECT_FALSE(acceptsUnnamedButtonIds("HID_1234_5678"));
}

TEST(LogFormat, NumbersAppendAsPrintfWouldPrintThem)
{
    const auto hex = [](std::uint64_t value) {
        QString line = QStringLiteral("0x");
        logformat::appendHex(line, value);
        return line;
    };
    for (const std::uint64_t value : {0x0ull, 0x1Eull, 0xABCDull, 0x7001Eull, 0xFFFFFFFFull, ~0ull})
        EXPECT_EQ(hex(value), QStringLiteral("0x") + QString::asprintf("%04llX", static_cast<unsigned long long>(value)));
    const auto decimal = [](std::int64_t value) {
        QString line;
        logformat::appendDecimal(line, value);
        return line;
    };
    for (const std::int64_t value : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{4294967295},
                                     std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()})
        EXPECT_EQ(decimal(value), QString::asprintf("%lld", static_cast<long long>(value)));
}
