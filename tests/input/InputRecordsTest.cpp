#include "input/ConnectedDeviceInfo.h"
#include "input/DeviceButtonEvent.h"
#include "input/PressedButtonTable.h"
#include "input/RawHIDSample.h"
#include "input/VendorProduct.h"
#include "platform/Json.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(VendorProduct, JsonNeedsBothWholeNumbersAndIgnoresOtherKeys)
{
    const auto pair = VendorProduct::fromJson(json::parse(R"({"vendor": 5426, "product": 555, "name": "x"})"));
    EXPECT_EQ(pair, (VendorProduct{0x1532, 0x022B}));
    EXPECT_EQ(VendorProduct::fromJson(pair.toJson()), pair);
    EXPECT_EQ(qHash(pair), qHash(VendorProduct{0x1532, 0x022B}));

    EXPECT_THROW(VendorProduct::fromJson(json::parse(R"({"vendor": 5426})")), json::DecodeError);
    EXPECT_THROW(VendorProduct::fromJson(json::parse(R"({"vendor": 5426, "product": null})")), json::DecodeError);
    EXPECT_THROW(VendorProduct::fromJson(json::parse(R"({"vendor": 5426, "product": 1.5})")), json::DecodeError);
    EXPECT_THROW(VendorProduct::fromJson(json::parse(R"({"vendor": "5426", "product": 555})")), json::DecodeError);
}

TEST(ConnectedDeviceInfo, IdentityIsPairAndNameWhileEqualityTakesEveryField)
{
    ConnectedDeviceInfo keypad{0x1532, 0x022B, QStringLiteral("N"), QStringLiteral("tartarus_v2"), false};
    EXPECT_EQ(keypad.id(), QStringLiteral("5426-555-N"));

    const ConnectedDeviceInfo nameless{1, 2, std::nullopt, std::nullopt, false};
    const ConnectedDeviceInfo namedUnknown{1, 2, QStringLiteral("unknown"), std::nullopt, false};
    EXPECT_EQ(nameless.id(), QStringLiteral("1-2-unknown"));
    EXPECT_EQ(namedUnknown.id(), nameless.id());
    EXPECT_NE(namedUnknown, nameless);

    ConnectedDeviceInfo ignored = keypad;
    ignored.ignored = true;
    EXPECT_EQ(ignored.id(), keypad.id());
    EXPECT_NE(ignored, keypad);
    ConnectedDeviceInfo noTemplate = keypad;
    noTemplate.templateId.reset();
    EXPECT_NE(noTemplate, keypad);
    EXPECT_EQ(qHash(ConnectedDeviceInfo(keypad)), qHash(keypad));
}

TEST(InputRecords, SamplesAndEventsAreDistinctEvenWithEqualContents)
{
    RawHIDSample a;
    a.vendorId = 0x1532;
    a.usagePage = 7;
    a.usage = 0x1E;
    a.value = 1;
    RawHIDSample b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    b.id = QUuid::createUuid();
    EXPECT_NE(a, b);

    const DeviceButtonEvent first{
        .deviceId = "tartarus_v2", .buttonId = "K01", .isPressed = true, .supportsHoldRepeat = true};
    const DeviceButtonEvent second{
        .deviceId = "tartarus_v2", .buttonId = "K01", .isPressed = true, .supportsHoldRepeat = true};
    EXPECT_FALSE(first.id.isNull());
    EXPECT_NE(first.id, second.id);
}

TEST(PressedButtonTable, RepeatsReplacementsAndReleaseOfOneDevice)
{
    PressedButtonTable table;
    const PressedUsageKey k01{"tartarus_v2", 0x7001E, std::nullopt};
    const PressedUsageKey slot{"hid_custom", 0x7FFFF, 5};
    const PressedUsageKey otherSlot{"hid_custom", 0x7FFFF, 6};
    const PressedUsageKey status{"speechmike_smp3700", 0xFFA10003, std::nullopt};

    EXPECT_FALSE(table.record(k01, "K01").same);
    EXPECT_TRUE(table.record(k01, "K01").same) << "a press reported twice counts once";
    const auto swapped = table.record(status, "REC");
    EXPECT_FALSE(swapped.replaced.has_value());
    const auto replaced = table.record(status, "PLAY_PAUSE");
    EXPECT_FALSE(replaced.same);
    EXPECT_EQ(replaced.replaced, QStringLiteral("REC"));

    // keys that differ only in the cookie, or in having one, are separate
    table.record(slot, "A");
    table.record(otherSlot, "B");
    table.record({"hid_custom", 0x7FFFF, std::nullopt}, "C");
    EXPECT_EQ(table.size(), 5u);

    EXPECT_EQ(table.removeDevice("hid_custom"), (QStringList{"C", "A", "B"}));
    EXPECT_EQ(table.removeDevice("hid_custom"), QStringList{});
    EXPECT_EQ(table.remove(k01), QStringLiteral("K01"));
    EXPECT_FALSE(table.remove(k01).has_value()) << "a second release finds nothing";
    EXPECT_EQ(table.remove(status), QStringLiteral("PLAY_PAUSE"));
    EXPECT_TRUE(table.isEmpty());
}
