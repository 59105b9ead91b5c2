#include "model/Device.h"
#include "platform/Json.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <functional>
#include <limits>
#include <stdexcept>

using namespace velmor;

namespace {
QJsonValue parse(const char* text) { return json::parse(QByteArray(text)); }

const DeviceButton kButton{"B1", "One", DeviceButtonKind::dpad, NormalizedRect{0.1, 0.2, 0.3, 0.4}, {"a", "b"}};
} // namespace

TEST(NormalizedRect, EqualityHashingAndNonFiniteWrites)
{
    const NormalizedRect a{0.0, 0.5, 0.0, 0.25};
    const NormalizedRect b{-0.0, 0.5, -0.0, 0.25};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a, 7), qHash(b, 7));
    EXPECT_NE(a, (NormalizedRect{0.0, 0.25, 0.0, 0.5}));

    // JSON has no form for these; writing null would leave an unreadable file.
    EXPECT_THROW((NormalizedRect{std::numeric_limits<double>::quiet_NaN(), 0, 0, 0}.toJson()), std::invalid_argument);
    DeviceButton button = kButton;
    button.overlayFrame->height = -std::numeric_limits<double>::infinity();
    EXPECT_THROW(button.toJson(), std::invalid_argument);
    // Out-of-range but finite values are written and read unchanged.
    const NormalizedRect wide{-2.5, 3, 1e300, 0};
    EXPECT_EQ(NormalizedRect::fromJson(json::parse(json::encode(wide.toJson()))), wide);
}

TEST(NormalizedRect, EveryComponentIsARequiredNumber)
{
    EXPECT_EQ(NormalizedRect::fromJson(parse(R"({"height":4,"width":3,"y":2,"x":1,"z":9})")),
              (NormalizedRect{1, 2, 3, 4}));
    for (const char* bad : {R"({"x":1,"y":2,"width":3})", R"({"x":1,"y":2,"width":3,"height":null})",
                            R"({"x":"1","y":2,"width":3,"height":4})", "[1,2,3,4]"})
        EXPECT_THROW(NormalizedRect::fromJson(parse(bad)), json::DecodeError) << bad;
}

TEST(DeviceButton, KindsAreExactTextsAbsentFrameStaysAbsentAndAliasesAreRequired)
{
    for (const char* text : {"key", "button", "dpad", "wheel", "jog"})
        EXPECT_EQ(toJson(deviceButtonKindFromJson(QJsonValue(text))), QJsonValue(text));
    for (const char* bad : {"Key", "slider", "", " key"})
        EXPECT_THROW(deviceButtonKindFromJson(QJsonValue(bad)), json::DecodeError) << bad;

    const auto plain = DeviceButton::fromJson(parse(R"({"id":"X","displayLabel":"x","kind":"jog","aliases":[]})"));
    EXPECT_FALSE(plain.overlayFrame.has_value());
    const QJsonObject written = plain.toJson();
    EXPECT_FALSE(written.contains("overlayFrame"));
    EXPECT_EQ(written.value("aliases"), QJsonValue(QJsonArray{}));
    EXPECT_EQ(DeviceButton::fromJson(
                  parse(R"({"id":"X","displayLabel":"x","kind":"jog","aliases":[],"overlayFrame":null,"extra":1})")),
              plain);

    for (const char* bad : {
             R"({"id":"X","displayLabel":"x","kind":"key"})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":null})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":["a",2]})",
             R"({"displayLabel":"x","kind":"key","aliases":[]})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":[],"overlayFrame":{"x":1}})",
         })
        EXPECT_THROW(DeviceButton::fromJson(parse(bad)), json::DecodeError) << bad;
}

TEST(Device, EqualityIsExactAndOrderSensitive)
{
    const std::function<void(DeviceButton&)> changes[] = {
        [](DeviceButton& b) { b.aliases = {"b", "a"}; },
        [](DeviceButton& b) { b.id = "b1"; },
        [](DeviceButton& b) { b.overlayFrame.reset(); },
    };
    for (const auto& change : changes) {
        DeviceButton b = kButton;
        change(b);
        EXPECT_NE(kButton, b);
    }
    const Device a{"d", "D", "t", std::nullopt, {kButton, DeviceButton{"B2", "Two", DeviceButtonKind::key, {}, {}}}};
    Device swapped = a;
    std::swap(swapped.buttons[0], swapped.buttons[1]);
    EXPECT_NE(a, swapped);
}

TEST(Device, JsonFormAndFailureOfTheWhole)
{
    const auto device = Device::fromJson(parse(R"({"id":"d","name":"D","type":"t","imageFilename":null,
        "buttons":[{"id":"A","displayLabel":"a","kind":"key","aliases":[]}]})"));
    EXPECT_FALSE(device.imageFilename.has_value());
    EXPECT_FALSE(device.toJson().contains("imageFilename"));
    ASSERT_EQ(device.buttons.size(), 1);
    Device named = device;
    named.imageFilename = "pad.png";
    EXPECT_EQ(named.toJson().value("imageFilename"), QJsonValue("pad.png"));

    // One bad button spoils the device.
    EXPECT_THROW(Device::fromJson(parse(R"({"id":"d","name":"D","type":"t","buttons":[
            {"id":"A","displayLabel":"a","kind":"key","aliases":[]},
            {"id":"B","displayLabel":"b","kind":"slider","aliases":[]}]})")),
                 json::DecodeError);
    EXPECT_THROW(Device::fromJson(parse(R"({"id":"d","name":"D","type":"t"})")), json::DecodeError);
}

TEST(Device, TemplatesSurviveAWriteAndReadBack)
{
    for (const Device* device : {&Device::tartarusTemplate(), &Device::mouseTemplate(), &Device::speechMikeTemplate()}) {
        const Device back = Device::fromJson(json::parse(json::encode(device->toJson())));
        EXPECT_EQ(back, *device) << device->id.toStdString();
        EXPECT_EQ(qHash(back, 1), qHash(*device, 1));
    }
}
