#include "AppModelFixture.h"

#include "input/RazerRGB.h"
#include "platform/Bundle.h"


using namespace velmor;
using namespace velmor::test;

namespace {

constexpr std::int64_t razer = 0x1532;
constexpr std::int64_t keypadV2 = 0x022B;
constexpr std::int64_t philips = 0x0911;
constexpr std::int64_t speechMike = 0x0C1C;

// A bundle whose default mappings give the keypad's K01–K03 three catalogue tools.
class DevicesTest : public AppModelFixture {
protected:
    DevicesTest()
    {
        writeFile(bundleDir.filePath("DefaultMappings.json"), R"({"Synthesis": {"tartarus_v2": [
            {"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02", "toolName": "Magnify"},
            {"buttonId": "K03", "toolName": "Measure"}]}})");
        Bundle::setMainRoot(bundleDir.path());
    }
    ~DevicesTest() override { Bundle::setMainRoot({}); }

    std::shared_ptr<hid::ScriptedDevice> plugKeypad()
    {
        auto device = hid.plug(razer, keypadV2, QStringLiteral("Razer Tartarus"),
                               {{hid::property::maxFeatureReportSize, 90}});
        queue->runUntilIdle();
        return device;
    }

    QUuid toolNamed(const QString& name)
    {
        for (const RadiologyTool& tool : model->activePacsProfile().tools)
            if (tool.name == name)
                return tool.id;
        ADD_FAILURE() << "no tool " << name.toStdString();
        return {};
    }
    // The tool of the keypad button's first mapping.
    std::optional<QUuid> toolOf(const QString& buttonId)
    {
        for (const ButtonMapping& m : activeUser().mappings)
            if (m.deviceId == keypad && m.buttonId == buttonId)
                return m.toolId;
        return std::nullopt;
    }
    QStringList availableIds()
    {
        QStringList ids;
        for (const Device& device : model->availableDevices())
            ids.append(device.id);
        return ids;
    }

    QTemporaryDir bundleDir;
};

TEST_F(DevicesTest, AnArrivingDeviceGetsOnlyItsMissingDefaultButtonsInOneSave)
{
    start();
    // The keypad is the input side's first device, so start-up gave it its defaults.
    ASSERT_EQ(toolOf("K02"), toolNamed("Magnify"));
    store().setMapping(keypad, "K01", toolNamed("Invert Grayscale"), activeUser().id);
    store().removeMapping(keypad, "K02", activeUser().id);
    store().removeMapping(keypad, "K03", activeUser().id);
    store().setMapping(keypad, "K04", toolNamed("Pan"), activeUser().id);
    queue->runUntilIdle();
    const QList<ButtonMapping> before = activeUser().mappings;
    int saves = 0;
    store().onSave = [&] { ++saves; };

    plugKeypad();
    const QList<ButtonMapping> after = activeUser().mappings;
    ASSERT_EQ(after.size(), before.size() + 2);
    EXPECT_EQ(after.mid(0, before.size()), before) << "the user's own mappings stay, in place";
    EXPECT_EQ(toolOf("K02"), toolNamed("Magnify"));
    EXPECT_EQ(toolOf("K03"), toolNamed("Measure"));
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(model->inputSource().hidSource().isButtonMapped(keypad, "K03"));

    // Nothing missing: nothing changes and nothing is saved.
    model->ensureDefaultMappingsForConnectedDevices();
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().mappings, after);
    EXPECT_EQ(saves, 1);
}

TEST_F(DevicesTest, ProfileSwitchesRelightTheKeypad)
{
    start();
    auto device = plugKeypad();
    const auto lastColour = [&] { return device->sentFeatureReports().last().report; };
    ASSERT_FALSE(device->sentFeatureReports().isEmpty());
    EXPECT_EQ(lastColour(), (RazerRGB{0x78, 0x00, 0xD1}.featureReport()));
    const QUuid firstUser = activeUser().id;
    const QUuid synthesis = activeUser().pacsProfileId;

    QUuid eunity;
    for (const PacsProfile& pacs : store().pacsProfiles.get())
        if (pacs.name == "eUnity")
            eunity = pacs.id;
    store().createUserProfile("Second", eunity);
    queue->runUntilIdle();
    EXPECT_EQ(lastColour(), (RazerRGB{0x00, 0xB0, 0x50}.featureReport()));

    // An empty colour of the user's own sends none, even over the PACS colour.
    const qsizetype sent = device->sentFeatureReports().size();
    store().setLightingHex(QString(), activeUser().id);
    store().setDefaultLightingHex(std::nullopt, synthesis);
    queue->runUntilIdle();
    EXPECT_EQ(device->sentFeatureReports().size(), sent);

    // Back to the first user: a PACS profile without its own colour lights by its name.
    for (const UserProfile& user : store().userProfiles.get())
        if (user.id == firstUser)
            store().selectUserProfile(user);
    queue->runUntilIdle();
    EXPECT_EQ(lastColour(), (RazerRGB{0x78, 0x00, 0xD1}.featureReport()));
}

TEST_F(DevicesTest, OnlyConnectedDevicesThatAreNotIgnoredCanBeSelected)
{
    start();
    plugKeypad();
    // A fresh install leaves the dictation microphone to other applications.
    hid.plug(philips, speechMike, QStringLiteral("SpeechMike"));
    queue->runUntilIdle();
    ASSERT_EQ(activeUser().selectedDeviceId, std::optional<QString>(keypad));
    EXPECT_EQ(availableIds(), QStringList{keypad});

    model->selectDevice("speechmike_smp3700");
    model->selectDevice("mouse_5_button");
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>(keypad));
    EXPECT_EQ(model->inputSource().activeDevice().get().id, keypad);

    model->inputSource().hidSource().enableControl(philips, speechMike);
    queue->runUntilIdle();
    EXPECT_EQ(availableIds(), (QStringList{keypad, "speechmike_smp3700"}));
    model->selectDevice("speechmike_smp3700");
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
}

} // namespace
