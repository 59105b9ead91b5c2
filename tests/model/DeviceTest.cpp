#include "model/Device.h"
#include "model/LayoutImport.h"
#include "platform/Bundle.h"
#include "platform/Json.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <limits>
#include <stdexcept>

using namespace velmor;

namespace {
QJsonValue parse(const char* text) { return json::parse(QByteArray(text)); }
LayoutImport read(const char* text) { return LayoutImport::fromJson(parse(text)); }
NormalizedRect rectOf(const LayoutImport::LayoutButton& b) { return {b.x, b.y, b.width, b.height}; }

// A button of one of the built-in device templates.
DeviceButton buttonOf(const QString& deviceId, const QString& id)
{
    for (const Device& device : Device::allTemplates())
        for (const DeviceButton& button : device.buttons)
            if (device.id == deviceId && button.id == id)
                return button;
    throw std::out_of_range("no button " + id.toStdString());
}
} // namespace

TEST(DeviceJson, RectanglesButtonsAndDevicesWriteWhatTheyReadAndRefuseAnyBadPart)
{
    EXPECT_EQ(qHash(NormalizedRect{0.0, 0.5, 0.0, 0.25}, 7), qHash(NormalizedRect{-0.0, 0.5, -0.0, 0.25}, 7));

    // JSON has no form for these; writing null would leave an unreadable file.
    EXPECT_THROW((NormalizedRect{std::numeric_limits<double>::quiet_NaN(), 0, 0, 0}.toJson()), std::invalid_argument);
    EXPECT_THROW((NormalizedRect{0, 0, 0, -std::numeric_limits<double>::infinity()}.toJson()), std::invalid_argument);
    // Out-of-range but finite values are written and read unchanged.
    const NormalizedRect wide{-2.5, 3, 1e300, 0};
    EXPECT_EQ(NormalizedRect::fromJson(json::parse(json::encode(wide.toJson()))), wide);

    // Every component is a required number; other keys are ignored.
    EXPECT_EQ(NormalizedRect::fromJson(parse(R"({"height":4,"width":3,"y":2,"x":1,"z":9})")),
              (NormalizedRect{1, 2, 3, 4}));
    for (const char* bad : {R"({"x":1,"y":2,"width":3})", R"({"x":1,"y":2,"width":3,"height":null})",
                            R"({"x":"1","y":2,"width":3,"height":4})", "[1,2,3,4]"})
        EXPECT_THROW(NormalizedRect::fromJson(parse(bad)), json::DecodeError) << bad;

    // A button: kinds are exact texts, the frame is optional, aliases are required.
    for (const char* text : {"key", "button", "dpad", "wheel", "jog"})
        EXPECT_EQ(toJson(deviceButtonKindFromJson(QJsonValue(text))), QJsonValue(text));
    for (const char* bad : {"Key", "slider", "", " key"})
        EXPECT_THROW(deviceButtonKindFromJson(QJsonValue(bad)), json::DecodeError) << bad;

    const auto plain = DeviceButton::fromJson(
        parse(R"({"id":"X","displayLabel":"x","kind":"jog","aliases":[],"overlayFrame":null,"extra":1})"));
    EXPECT_EQ(plain.toJson(),
              (QJsonObject{{"id", "X"}, {"displayLabel", "x"}, {"kind", "jog"}, {"aliases", QJsonArray{}}}));

    for (const char* bad : {
             R"({"id":"X","displayLabel":"x","kind":"key"})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":null})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":["a",2]})",
             R"({"displayLabel":"x","kind":"key","aliases":[]})",
             R"({"id":"X","displayLabel":"x","kind":"key","aliases":[],"overlayFrame":{"x":1}})",
         })
        EXPECT_THROW(DeviceButton::fromJson(parse(bad)), json::DecodeError) << bad;

    // A device: the image name is optional, and one bad button spoils the whole.
    const auto device = Device::fromJson(parse(R"({"id":"d","name":"D","type":"t","imageFilename":null,
        "buttons":[{"id":"A","displayLabel":"a","kind":"key","aliases":[]}]})"));
    EXPECT_FALSE(device.toJson().contains("imageFilename"));
    Device named = device;
    named.imageFilename = "pad.png";
    EXPECT_EQ(named.toJson().value("imageFilename"), QJsonValue("pad.png"));

    EXPECT_THROW(Device::fromJson(parse(R"({"id":"d","name":"D","type":"t","buttons":[
            {"id":"A","displayLabel":"a","kind":"key","aliases":[]},
            {"id":"B","displayLabel":"b","kind":"slider","aliases":[]}]})")),
                 json::DecodeError);
    EXPECT_THROW(Device::fromJson(parse(R"({"id":"d","name":"D","type":"t"})")), json::DecodeError);
}

// Ids of the keypad and the SpeechMike are pinned button for button against the
// bundled layout files (LayoutImport below); these cover what those files lack.
TEST(DeviceTemplates, SurviveAWriteAndReadBackAndCarryTheLabelsAliasesAndKindsMatchingRelyOn)
{
    for (const Device& device : Device::allTemplates())
        EXPECT_EQ(Device::fromJson(json::parse(json::encode(device.toJson()))), device);
    EXPECT_EQ(Device::builtInTemplates(), (QList<Device>{Device::tartarusTemplate(), Device::speechMikeTemplate()}));

    const std::tuple<const char*, const char*, DeviceButtonKind, QStringList> rows[] = {
        {"tartarus_v2", "K07", DeviceButtonKind::key, {"K7", "7", "Key7"}},
        {"tartarus_v2", "K20", DeviceButtonKind::key, {"K20", "20", "Key20"}},
        {"tartarus_v2", "DPAD_UP", DeviceButtonKind::dpad, {"DPadUp", "Up"}},
        {"tartarus_v2", "THUMB_KEY", DeviceButtonKind::button, {"Space", "ThumbKey"}},
        {"mouse_5_button", "MIDDLE_CLICK", DeviceButtonKind::button, {"Middle", "Button3", "WheelPress"}},
        {"mouse_5_button", "SCROLL_DOWN", DeviceButtonKind::wheel, {"WheelDown"}},
        {"speechmike_smp3700", "INS_OVR", DeviceButtonKind::button, {"Insert", "Overwrite"}},
        {"speechmike_smp3700", "F1", DeviceButtonKind::button, {}},
    };
    for (const auto& [device, id, kind, aliases] : rows) {
        EXPECT_EQ(buttonOf(device, id).kind, kind) << id;
        EXPECT_EQ(buttonOf(device, id).aliases, aliases) << id;
    }
    EXPECT_EQ(buttonOf("tartarus_v2", "K07").displayLabel, "07");
    EXPECT_EQ(buttonOf("tartarus_v2", "WHEEL_PRESS").displayLabel, "Wheel " + QString(QChar(0x29BF)));
    EXPECT_EQ(Device::mouseTemplate().buttons.size(), 7);
    for (const auto& button : Device::mouseTemplate().buttons)
        EXPECT_FALSE(button.overlayFrame.has_value()) << button.id.toStdString();
}

TEST(LayoutImport, ReadsAnyKeyOrderRangeAndIdsUncheckedWritesTheKeysItReadsAndRefusesAnyFault)
{
    const LayoutImport layout = read(R"({
        "buttons": [
            {"height": 0.5, "width": 2, "y": -1, "x": 0.25, "id": "NOT_A_BUTTON", "note": "ignored"},
            {"id": "K01", "x": 0, "y": 0, "width": 1, "height": 1}
        ],
        "deviceId": "no_such_device",
        "version": 3
    })");
    EXPECT_EQ(layout.deviceId, "no_such_device");
    ASSERT_EQ(layout.buttons.size(), 2);
    EXPECT_EQ(layout.buttons.at(0).id, "NOT_A_BUTTON");
    EXPECT_EQ(rectOf(layout.buttons.at(0)), (NormalizedRect{0.25, -1, 2, 0.5}));
    EXPECT_EQ(layout.buttons.at(1).id, "K01");

    const QJsonObject object = layout.toJson();
    EXPECT_EQ(object.keys(), (QStringList{"buttons", "deviceId"}));
    EXPECT_EQ(object.value("buttons").toArray().at(0).toObject(),
              (QJsonObject{{"height", 0.5}, {"id", "NOT_A_BUTTON"}, {"width", 2}, {"x", 0.25}, {"y", -1}}));
    LayoutImport broken = layout;
    broken.buttons[0].height = std::numeric_limits<double>::infinity();
    EXPECT_THROW(broken.toJson(), std::invalid_argument);

    // Any fault refuses the whole file.
    const char* refused[] = {
        R"({"deviceId":"d","buttons":[{"id":"A","x":0,"y":0,"width":1,"height":1},
                                      {"id":"B","x":0,"y":0,"width":1}]})",     // one button lacks height
        R"({"deviceId":"d","buttons":[{"id":"A","x":"0.5","y":0,"width":1,"height":1}]})",
        R"({"deviceId":"d","buttons":[{"id":7,"x":0,"y":0,"width":1,"height":1}]})",
        R"({"deviceId":"d","buttons":[null]})",
        R"({"deviceId":"d","buttons":{"id":"A","x":0,"y":0,"width":1,"height":1}})",
        R"({"deviceId":"d"})",
        R"({"deviceId":null,"buttons":[]})",
        R"([{"deviceId":"d","buttons":[]}])",
    };
    for (const char* text : refused)
        EXPECT_THROW(read(text), json::DecodeError) << text;
}

// The shipped layout files name every button of their template, in its order,
// and place each apart from the others inside the canvas, so a fresh install
// shows every button clickable (the templates' own frames overlap).
TEST(LayoutImport, BundledLayoutsPlaceEveryTemplateButtonApartInsideTheCanvas)
{
    for (const Device& device : Device::builtInTemplates()) {
        SCOPED_TRACE(device.id.toStdString());
        const auto bytes = Bundle::main().data(device.id + "_layout", "json");
        const LayoutImport layout = LayoutImport::fromJson(json::parse(bytes.value()));
        EXPECT_EQ(layout.deviceId, device.id);
        ASSERT_EQ(layout.buttons.size(), device.buttons.size());
        for (qsizetype i = 0; i < layout.buttons.size(); ++i) {
            const LayoutImport::LayoutButton& button = layout.buttons.at(i);
            EXPECT_EQ(button.id, device.buttons.at(i).id);
            EXPECT_TRUE(button.width > 0 && button.height > 0 && button.x >= 0 && button.y >= 0 &&
                        button.x + button.width <= 1 && button.y + button.height <= 1)
                << button.id.toStdString() << " lies outside the unit square";
            for (qsizetype j = 0; j < i; ++j) {
                const LayoutImport::LayoutButton& other = layout.buttons.at(j);
                const bool apart = button.x + button.width <= other.x || other.x + other.width <= button.x ||
                                   button.y + button.height <= other.y || other.y + other.height <= button.y;
                EXPECT_TRUE(apart) << button.id.toStdString() << " overlaps " << other.id.toStdString();
            }
        }
    }
    // The templates keep their own frames; the layouts only place them for the picture.
    EXPECT_EQ(buttonOf("tartarus_v2", "K01").overlayFrame, (NormalizedRect{0.06, 0.05, 0.2, 0.15}));
    EXPECT_EQ(buttonOf("tartarus_v2", "DPAD_UP").overlayFrame, (NormalizedRect{0.74, 0.5, 0.12, 0.12}));
    EXPECT_EQ(buttonOf("speechmike_smp3700", "TOP_TRIGGER").overlayFrame, (NormalizedRect{0.52, 0.2, 0.1, 0.1}));
    EXPECT_FALSE(Bundle::main().data("mouse_5_button_layout", "json").has_value());
}
