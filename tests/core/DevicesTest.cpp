#include "support/AppModelFixture.h"

#include "input/RazerRGB.h"
#include "platform/Bundle.h"

using namespace velmor;
using namespace velmor::test;

namespace {

// A bundle whose default mappings give the keypad's K01–K03 three catalogue tools.
class DevicesTest : public AppModelFixture {
protected:
    DevicesTest()
    {
        writeFile(bundleDir.filePath("DefaultMappings.json"), R"({"Synthesis": {"tartarus_v2": [
            {"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02", "toolName": "Magnify"},
            {"buttonId": "K03", "toolName": "Measure"}]}})");
        Bundle::setMainRoot(bundleDir.path());
        start();
    }
    ~DevicesTest() override { Bundle::setMainRoot({}); }

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
    // Start-up gave the input side's first device its defaults.
    const QList<ButtonMapping> defaults = activeUser().mappings;
    ASSERT_EQ(defaults.size(), 3);
    map("K01", defaults[2].toolId);
    store().removeMapping(keypad, "K02", activeUser().id);
    store().removeMapping(keypad, "K03", activeUser().id);
    map("K04", defaults[0].toolId);
    queue->runUntilIdle();
    const QList<ButtonMapping> before = activeUser().mappings;
    int saves = 0;
    store().onSave = [&] { ++saves; };

    plugKeypad();
    const QList<ButtonMapping> after = activeUser().mappings;
    ASSERT_EQ(after.size(), before.size() + 2);
    EXPECT_EQ(after.mid(0, before.size()), before) << "the user's own mappings stay, in place";
    const auto binding = [](const ButtonMapping& m) { return std::pair{m.buttonId, m.toolId}; };
    EXPECT_EQ(binding(after[before.size()]), binding(defaults[1]));
    EXPECT_EQ(binding(after.last()), binding(defaults[2]));
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(model->inputSource().hidSource().isButtonMapped(keypad, "K04")) << "mapped after start-up";

    // Nothing missing: nothing changes and nothing is saved.
    model->ensureDefaultMappingsForConnectedDevices();
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().mappings, after);
    EXPECT_EQ(saves, 1);
}

TEST_F(DevicesTest, ProfileSwitchesRelightTheKeypad)
{
    auto device = plugKeypad();
    const auto lastColour = [&] { return device->sentFeatureReports().last().report; };
    ASSERT_FALSE(device->sentFeatureReports().isEmpty());
    EXPECT_EQ(lastColour(), (RazerRGB{0x78, 0x00, 0xD1}.featureReport()));
    const UserProfile first = activeUser();
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    const auto eunity = std::find_if(pacs.begin(), pacs.end(), [](const PacsProfile& p) { return p.name == "eUnity"; });
    ASSERT_NE(eunity, pacs.end());
    store().createUserProfile("Second", eunity->id);
    queue->runUntilIdle();
    EXPECT_EQ(lastColour(), (RazerRGB{0x00, 0xB0, 0x50}.featureReport()));

    // An empty colour of the user's own sends none, even over the PACS colour.
    const qsizetype sent = device->sentFeatureReports().size();
    store().setLightingHex(QString(), activeUser().id);
    store().setDefaultLightingHex(std::nullopt, first.pacsProfileId);
    queue->runUntilIdle();
    EXPECT_EQ(device->sentFeatureReports().size(), sent);

    // Back to the first user: a PACS profile without its own colour lights by its name.
    // The switch sets both active ids; the keypad is lit once for it.
    store().selectUserProfile(first);
    queue->runUntilIdle();
    EXPECT_EQ(lastColour(), (RazerRGB{0x78, 0x00, 0xD1}.featureReport()));
    EXPECT_EQ(device->sentFeatureReports().size(), sent + 1);
    // Choosing another PACS profile than the user's own changes nothing the keypad shows.
    store().selectPacsProfile(eunity->id);
    queue->runUntilIdle();
    EXPECT_EQ(device->sentFeatureReports().size(), sent + 1);
}

TEST_F(DevicesTest, OnlyConnectedDevicesThatAreNotIgnoredCanBeSelected)
{
    // Without hardware the mock input stands for the connected device, here with the mouse template.
    model->inputSource().mockSource().selectDevice("mouse_5_button");
    queue->runUntilIdle();
    EXPECT_EQ(availableIds(), QStringList{"mouse_5_button"});
    model->selectDevice("mouse_5_button");
    queue->runUntilIdle();
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "mouse_5_button");

    // A keypad takes over from the mock input; a fresh install leaves the SpeechMike to other applications.
    constexpr std::int64_t philips = 0x0911, speechMike = 0x0C1C;
    plugKeypad();
    hid.plug(philips, speechMike, QStringLiteral("SpeechMike"));
    queue->runUntilIdle();
    EXPECT_EQ(availableIds(), QStringList{keypad});
    model->selectDevice("speechmike_smp3700");
    model->selectDevice("mouse_5_button");
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>("mouse_5_button")) << "refused, nothing changes";
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
