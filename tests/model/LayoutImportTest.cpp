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
LayoutImport read(const char* text) { return LayoutImport::fromJson(json::parse(QByteArray(text))); }
NormalizedRect rectOf(const LayoutImport::LayoutButton& b) { return {b.x, b.y, b.width, b.height}; }
} // namespace

TEST(LayoutImport, ReadsAnyKeyOrderRangeAndIdsUnchecked)
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

    EXPECT_TRUE(read(R"({"deviceId":"tartarus_v2","buttons":[]})").buttons.isEmpty());
}

TEST(LayoutImport, AnyFaultRefusesTheWholeFile)
{
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
    // Numbers beyond a double are refused by the parser itself.
    EXPECT_THROW(read(R"({"deviceId":"d","buttons":[{"id":"A","x":1e400,"y":0,"width":1,"height":1}]})"),
                 json::DecodeError);
}

TEST(LayoutImport, WritesTheKeysItReads)
{
    const LayoutImport layout{"speechmike_smp3700", {{"REC", 0.3045, 0.1401, 0.3904, 0.1809}}};
    const QJsonObject object = layout.toJson();
    EXPECT_EQ(object.keys(), (QStringList{"buttons", "deviceId"}));
    const QJsonObject button = object.value("buttons").toArray().at(0).toObject();
    EXPECT_EQ(button.keys(), (QStringList{"height", "id", "width", "x", "y"}));
    EXPECT_EQ(rectOf(LayoutImport::LayoutButton::fromJson(button)), (NormalizedRect{0.3045, 0.1401, 0.3904, 0.1809}));

    LayoutImport broken = layout;
    broken.buttons[0].height = std::numeric_limits<double>::infinity();
    EXPECT_THROW(broken.toJson(), std::invalid_argument);
}

// The shipped layout files restate the templates' own rectangles, button for button.
TEST(LayoutImport, BundledLayoutsMatchTheirTemplates)
{
    for (const Device* device : {&Device::tartarusTemplate(), &Device::speechMikeTemplate()}) {
        SCOPED_TRACE(device->id.toStdString());
        const auto bytes = Bundle::main().data(device->id + "_layout", "json");
        ASSERT_TRUE(bytes.has_value());
        const LayoutImport layout = LayoutImport::fromJson(json::parse(*bytes));
        EXPECT_EQ(layout.deviceId, device->id);
        ASSERT_EQ(layout.buttons.size(), device->buttons.size());
        for (qsizetype i = 0; i < layout.buttons.size(); ++i) {
            EXPECT_EQ(layout.buttons.at(i).id, device->buttons.at(i).id);
            EXPECT_EQ(rectOf(layout.buttons.at(i)), device->buttons.at(i).overlayFrame) << i;
        }
    }
    EXPECT_FALSE(Bundle::main().data("mouse_5_button_layout", "json").has_value());
}
