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
        logformat::AsciiLine line;
        line << QLatin1String("0x");
        line.hex(value);
        return line.toString();
    };
    for (const std::uint64_t value : {0x0ull, 0x1Eull, 0xABCDull, 0x7001Eull, 0xFFFFFFFFull, ~0ull})
        EXPECT_EQ(hex(value), QStringLiteral("0x") + QString::asprintf("%04llX", static_cast<unsigned long long>(value)));
    const auto decimal = [](std::int64_t value) {
        logformat::AsciiLine line;
        line.decimal(value);
        return line.toString();
    };
    for (const std::int64_t value : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{4294967295},
                                     std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()})
        EXPECT_EQ(decimal(value), QString::asprintf("%lld", static_cast<long long>(value)));
}

TEST(LogFormat, ALineKeepsItsTailWhole)
{
    logformat::AsciiLine line;
    line << QLatin1String("usage 0x");
    line.hex(0x1E) << QLatin1String(" -> ");
    EXPECT_EQ(line.toString(QStringLiteral("Zoom ⌘Z")), QStringLiteral("usage 0x001E -> Zoom ⌘Z"));

    // Past its room the ASCII part stops short instead of overrunning; the tail is whole.
    logformat::AsciiLine full;
    const QByteArray long_(300, 'a');
    full << QLatin1String(long_);
    full.hex(0xABCD).decimal(12);
    const QString text = full.toString(QStringLiteral("→K01"));
    EXPECT_EQ(text.size(), 192 + 4);
    EXPECT_TRUE(text.endsWith(QStringLiteral("a→K01")));
}
