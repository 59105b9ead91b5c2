#include "model/Device.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <thread>
#include <vector>

using namespace velmor;

namespace {
QStringList idsOf(const Device& device)
{
    QStringList ids;
    for (const auto& button : device.buttons)
        ids << button.id;
    return ids;
}

const DeviceButton& buttonOf(const Device& device, const QString& id)
{
    const auto it = std::find_if(device.buttons.begin(), device.buttons.end(),
                                 [&](const DeviceButton& b) { return b.id == id; });
    if (it == device.buttons.end())
        throw std::out_of_range("no button " + id.toStdString());
    return *it;
}

NormalizedRect frameOf(const Device& device, const QString& id) { return buttonOf(device, id).overlayFrame.value(); }

} // namespace

TEST(DeviceTemplates, OfferedListIsKeypadThenSpeechMikeWithoutTheMouse)
{
    QStringList ids;
    for (const auto& device : Device::builtInTemplates())
        ids << device.id;
    EXPECT_EQ(ids, (QStringList{"tartarus_v2", "speechmike_smp3700"}));
    EXPECT_EQ(Device::mouseTemplate().id, "mouse_5_button");
}

TEST(DeviceTemplates, KeypadIdsLabelsAndAliases)
{
    const Device& pad = Device::tartarusTemplate();
    EXPECT_EQ(pad.name, "Razer Tartarus V2 / Pro");
    EXPECT_EQ(idsOf(pad), (QStringList{"K01", "K02", "K03", "K04", "K05", "K06", "K07", "K08", "K09", "K10",
                                       "K11", "K12", "K13", "K14", "K15", "K16", "K17", "K18", "K19", "K20",
                                       "DPAD_UP", "DPAD_DOWN", "DPAD_LEFT", "DPAD_RIGHT", "THUMB_KEY", "WHEEL_UP",
                                       "WHEEL_DOWN", "WHEEL_PRESS"}));
    EXPECT_EQ(buttonOf(pad, "K07").displayLabel, "07");
    EXPECT_EQ(buttonOf(pad, "K07").aliases, (QStringList{"K7", "7", "Key7"}));
    EXPECT_EQ(buttonOf(pad, "K20").aliases, (QStringList{"K20", "20", "Key20"}));
    EXPECT_EQ(buttonOf(pad, "K20").kind, DeviceButtonKind::key);
    EXPECT_EQ(buttonOf(pad, "DPAD_UP").kind, DeviceButtonKind::dpad);
    EXPECT_EQ(buttonOf(pad, "THUMB_KEY").kind, DeviceButtonKind::button);
    EXPECT_EQ(buttonOf(pad, "WHEEL_PRESS").aliases, (QStringList{"WheelPress", "WheelClick"}));
    EXPECT_EQ(buttonOf(pad, "WHEEL_PRESS").displayLabel, "Wheel " + QString(QChar(0x29BF)));
    EXPECT_EQ(buttonOf(pad, "DPAD_LEFT").displayLabel, QString(QChar(0x2190)));
}

TEST(DeviceTemplates, KeypadGridCornersAndThumbCluster)
{
    const Device& pad = Device::tartarusTemplate();
    // First and last key of the first and last row.
    EXPECT_EQ(frameOf(pad, "K01"), (NormalizedRect{0.06, 0.05, 0.2, 0.15}));
    EXPECT_EQ(frameOf(pad, "K04"), (NormalizedRect{0.72, 0.05, 0.2, 0.15}));
    EXPECT_EQ(frameOf(pad, "K17"), (NormalizedRect{0.06, 0.71, 0.2, 0.15}));
    EXPECT_EQ(frameOf(pad, "K20"), (NormalizedRect{0.72, 0.71, 0.2, 0.15}));
    // The row step sits just below 0.165, so the inner rows are not the rounded decimals.
    EXPECT_EQ(frameOf(pad, "K05").y, 0.21499999999999997);
    EXPECT_NE(frameOf(pad, "K05").y, 0.215);
    EXPECT_EQ(frameOf(pad, "K12").y, 0.37999999999999995);
    EXPECT_EQ(frameOf(pad, "K16").y, 0.5449999999999999);
    EXPECT_EQ(frameOf(pad, "K10").x, 0.28);
    EXPECT_EQ(frameOf(pad, "DPAD_DOWN"), (NormalizedRect{0.74, 0.74, 0.12, 0.12}));
    EXPECT_EQ(frameOf(pad, "DPAD_RIGHT"), (NormalizedRect{0.86, 0.62, 0.12, 0.12}));
    EXPECT_EQ(frameOf(pad, "THUMB_KEY"), (NormalizedRect{0.62, 0.78, 0.2, 0.12}));
    EXPECT_EQ(frameOf(pad, "WHEEL_UP"), (NormalizedRect{0.82, 0.4, 0.12, 0.08}));
    EXPECT_EQ(frameOf(pad, "WHEEL_PRESS"), (NormalizedRect{0.82, 0.6, 0.12, 0.08}));
}

TEST(DeviceTemplates, MouseHasNoFrames)
{
    const Device& mouse = Device::mouseTemplate();
    EXPECT_EQ(idsOf(mouse), (QStringList{"LEFT_CLICK", "RIGHT_CLICK", "MIDDLE_CLICK", "BUTTON_4", "BUTTON_5",
                                         "SCROLL_UP", "SCROLL_DOWN"}));
    for (const auto& button : mouse.buttons)
        EXPECT_FALSE(button.overlayFrame.has_value()) << button.id.toStdString();
    EXPECT_EQ(buttonOf(mouse, "MIDDLE_CLICK").aliases, (QStringList{"Middle", "Button3", "WheelPress"}));
    EXPECT_EQ(buttonOf(mouse, "SCROLL_DOWN").kind, DeviceButtonKind::wheel);
}

TEST(DeviceTemplates, SpeechMikeIdsFramesAndEmptyAliases)
{
    const Device& mike = Device::speechMikeTemplate();
    EXPECT_EQ(idsOf(mike), (QStringList{"REC", "PLAY_PAUSE", "FWD", "REW", "EOL", "INFO", "INS_OVR", "F1", "F2", "F3",
                                        "F4", "TOP_TRIGGER", "BOTTOM_TRIGGER"}));
    for (const auto& button : mike.buttons) {
        EXPECT_EQ(button.kind, DeviceButtonKind::button) << button.id.toStdString();
        EXPECT_TRUE(button.overlayFrame.has_value()) << button.id.toStdString();
    }
    EXPECT_EQ(frameOf(mike, "REC"), (NormalizedRect{0.3045, 0.1401, 0.3904, 0.1809}));
    EXPECT_EQ(frameOf(mike, "REW"), (NormalizedRect{0.0, 0.1448, 0.2671, 0.3757}));
    EXPECT_EQ(frameOf(mike, "F4"), (NormalizedRect{0.6656, 0.912, 0.3344, 0.088}));
    EXPECT_EQ(buttonOf(mike, "INS_OVR").aliases, (QStringList{"Insert", "Overwrite"}));
    for (const char* id : {"F1", "F2", "F3", "F4"})
        EXPECT_EQ(buttonOf(mike, id).toJson().value("aliases"), QJsonValue(QJsonArray{})) << id;
}

TEST(DeviceTemplates, SharedOnceAcrossThreadsAndCopiedOut)
{
    std::vector<const Device*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = &Device::speechMikeTemplate(); });
    for (auto& thread : threads)
        thread.join();
    for (const Device* device : seen)
        EXPECT_EQ(device, &Device::speechMikeTemplate());
    QList<Device> offered = Device::builtInTemplates();
    offered[0].buttons.clear();
    EXPECT_EQ(Device::tartarusTemplate().buttons.size(), 28);
}
