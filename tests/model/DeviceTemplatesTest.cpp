#include "model/Device.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <thread>
#include <vector>

using namespace velmor;

// Ids and rectangles of the keypad and the SpeechMike are pinned button for button
// against the bundled layout files (LayoutImportTest); these cover what those files lack.

namespace {
const DeviceButton& buttonOf(const Device& device, const QString& id)
{
    const auto it = std::find_if(device.buttons.begin(), device.buttons.end(),
                                 [&](const DeviceButton& b) { return b.id == id; });
    if (it == device.buttons.end())
        throw std::out_of_range("no button " + id.toStdString());
    return *it;
}
} // namespace

TEST(DeviceTemplates, OfferedListIsKeypadThenSpeechMikeWithoutTheMouse)
{
    QStringList ids;
    for (const auto& device : Device::builtInTemplates())
        ids << device.id;
    EXPECT_EQ(ids, (QStringList{"tartarus_v2", "speechmike_smp3700"}));
    EXPECT_EQ(Device::mouseTemplate().id, "mouse_5_button");
}

TEST(DeviceTemplates, LabelsAliasesAndKindsThatMatchingAndDrawingRelyOn)
{
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
