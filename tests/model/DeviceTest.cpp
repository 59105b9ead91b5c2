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
const DeviceButton& buttonOf(const Device& device, const QString& id)
{
    const auto it = std::find_if(device.buttons.begin(), device.buttons.end(),
                                 [&](const DeviceButton& b) { return b.id == id; });
    if (it == device.buttons.end())
        throw std::out_of_range("no button " + id.toStdString());
    return *it;
}
} // namespace

TEST(NormalizedRect, EqualityHashingNonFiniteWritesAndRequiredComponents)
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

    // Every component is a required number; other keys are ignored.
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

TEST(Device, EqualityIsExactAndOrderSensitiveAndOneBadButtonFailsTheWhole)
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

// Ids and rectangles of the keypad and the SpeechMike are pinned button for button
// against the bundled layout files (LayoutImportTest); these cover what those files lack.
TEST(DeviceTemplates, OfferedListLabelsAliasesAndKindsThatMatchingAndDrawingRelyOn)
{
    QStringList ids;
    for (const auto& device : Device::builtInTemplates())
        ids << device.id;
    EXPECT_EQ(ids, (QStringList{"tartarus_v2", "speechmike_smp3700"}));
    EXPECT_EQ(Device::mouseTemplate().id, "mouse_5_button");

    const Device& pad = Device::tartarusTemplate();
    EXPECT_EQ(pad.name, "Razer Tartarus V2 / Pro");
    EXPECT_EQ(buttonOf(pad, "K07").displayLabel, "07");
    EXPECT_EQ(buttonOf(pad, "K07").aliases, (QStringList{"K7", "7", "Key7"}));
    EXPECT_EQ(buttonOf(pad, "K20").aliases, (QStringList{"K20", "20", "Key20"}));
    EXPECT_EQ(buttonOf(pad, "K20").kind, DeviceButtonKind::key);
    EXPECT_EQ(buttonOf(pad, "DPAD_UP").kind, DeviceButtonKind::dpad);
    EXPECT_EQ(buttonOf(pad, "THUMB_KEY").kind, DeviceButtonKind::button);
    EXPECT_EQ(buttonOf(pad, "WHEEL_PRESS").displayLabel, "Wheel " + QString(QChar(0x29BF)));

    const Device& mouse = Device::mouseTemplate();
    EXPECT_EQ(mouse.buttons.size(), 7);
    for (const auto& button : mouse.buttons)
        EXPECT_FALSE(button.overlayFrame.has_value()) << button.id.toStdString();
    EXPECT_EQ(buttonOf(mouse, "MIDDLE_CLICK").aliases, (QStringList{"Middle", "Button3", "WheelPress"}));
    EXPECT_EQ(buttonOf(mouse, "SCROLL_DOWN").kind, DeviceButtonKind::wheel);

    const Device& mike = Device::speechMikeTemplate();
    EXPECT_EQ(buttonOf(mike, "INS_OVR").aliases, (QStringList{"Insert", "Overwrite"}));
    for (const char* id : {"F1", "F2", "F3", "F4"})
        EXPECT_EQ(buttonOf(mike, id).toJson().value("aliases"), QJsonValue(QJsonArray{})) << id;
}
