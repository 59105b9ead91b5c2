// Window events, profile and device actions on the controller.
#include "MappingControllerFixture.h"

#include "platform/Text.h"
#include "ui/mapping/MappingDerivedData.h"

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

using MappingWindowEventsTest = MappingControllerFixture;

DeviceButtonEvent pressOf(const QString& deviceId, const QString& buttonId)
{
    return {.deviceId = deviceId, .buttonId = buttonId, .isPressed = true};
}

TEST_F(MappingWindowEventsTest, AppearingSavesAndReadsThePermissionsOnlyTheFirstTime)
{
    permissions.accessibility = false;
    QList<bool> unsaved;
    const Subscription recording = controller->state().subscribe([&](const MappingController::State& s) {
        if (unsaved.isEmpty() || unsaved.last() != s.hasUnsavedChanges)
            unsaved.append(s.hasUnsavedChanges);
    });
    store().renameUserProfile(activeUser().id, "Before");
    queue->runUntilIdle();

    controller->appear();
    EXPECT_TRUE(state().didAppear);
    EXPECT_FALSE(state().permissionsGranted());
    store().renameUserProfile(activeUser().id, "After");
    queue->runUntilIdle();
    EXPECT_EQ(unsaved, (QList<bool>{false, true, false})) << "only changes after the first showing count, until saved";

    permissions.accessibility = true;
    controller->appear();
    EXPECT_FALSE(state().hasAccessibilityPermission) << "only the first appearance reads the permissions";
}

TEST_F(MappingWindowEventsTest, AProfileSwitchEmptiesTheBuffersTheSelectionAndAnOpenQuestion)
{
    store().clearMappings(keypad, activeUser().id);
    const RadiologyTool zoom = tool("Zoom");
    const RadiologyTool pan = tool("Pan");
    controller->selectButton("K01");
    controller->selectTool(zoom);
    controller->copyMapping();
    controller->swapMappings();
    const UserProfile first = activeUser();
    const PacsProfile other = store().pacsProfiles().get().last();
    store().createUserProfile("Second", other.id);
    const MappingController::State& s = state();
    EXPECT_FALSE(s.lastMappingBackup || s.copyBuffer || s.swapCandidate);
    EXPECT_EQ(s.selectedButtonId, std::nullopt);
    EXPECT_EQ(s.selectedToolId, mappingData::firstEnabledToolId(other));
    const QList<UserProfile> before = store().userProfiles().get();
    controller->undoLastMapping();
    EXPECT_EQ(store().userProfiles().get(), before) << "an undo of the old profile must not land in the new one";

    // The same for a "Replace mapping?" answered after the switch.
    ScriptedPrompter hooked;
    MappingController window(*model, hooked);
    controller->selectUserProfile(first.id);
    window.selectButton("K01");
    hooked.whileAsking = [&] { store().selectUserProfile(store().userProfiles().get().last()); };
    hooked.queueAnswer("Replace");
    window.selectTool(pan);
    EXPECT_EQ(hooked.questionTitles(), QStringList{"Replace mapping?"});
    EXPECT_TRUE(toolsOn("K01").isEmpty());
    controller->selectUserProfile(first.id);
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id});
}

TEST_F(MappingWindowEventsTest, APressOfAnotherDeviceMakesItActiveAndTheOpenLayoutEditorFollows)
{
    QStringList calls;
    controller->requests.showLayoutEditor = [&](const Device& device) { calls.append("show " + device.id); };
    controller->requests.closeLayoutEditor = [&] { calls.append("close"); };
    plugKeypad();
    plugSpeechMike();
    controller->selectDevice(keypad);
    controller->handleButtonPress(pressOf("nonexistent", "K01"));
    EXPECT_EQ(state().selectedButtonId, std::nullopt) << "a device that cannot be made active changes nothing";

    controller->setShowLayoutEditor(true);
    controller->setShowLayoutEditor(true);
    controller->handleButtonPress(pressOf(speechMike, "REC"));
    EXPECT_EQ(state().activeDevice.id, speechMike);
    EXPECT_EQ(state().selectedButtonId, "REC");
    EXPECT_EQ(activeUser().selectedDeviceId, speechMike);
    controller->layoutEditorClosed();
    controller->selectDevice(keypad);
    EXPECT_EQ(calls, (QStringList{"show tartarus_v2", "show speechmike_smp3700", "close"}));
    EXPECT_FALSE(state().showLayoutEditor);

    int inspectors = 0;
    controller->requests.showHIDInspector = [&] { ++inspectors; };
    controller->showHIDInspector();
    controller->showHIDInspector();
    EXPECT_EQ(inspectors, 1) << "asking again while it is open changes nothing";
    controller->hidInspectorClosed();
    controller->showHIDInspector();
    EXPECT_EQ(inspectors, 2);
}

TEST_F(MappingWindowEventsTest, NewRenameAndDeleteUserProfile)
{
    store().createUserProfile("Two");
    store().createUserProfile("Three");
    controller->beginNewUserProfile();
    EXPECT_EQ(state().newUserName, "User 4");
    EXPECT_EQ(state().newUserPacsId, store().activePacsProfileId().get());
    EXPECT_EQ(state().newUserDeviceId, keypad);

    // A blank name takes the proposed one; the new profile is active with the chosen device.
    controller->setNewUserName(" \n ");
    controller->createNewUserProfile();
    EXPECT_EQ(store().userProfiles().get().size(), 4);
    EXPECT_EQ(activeUser().name, "User 4");
    EXPECT_EQ(activeUser().selectedDeviceId, keypad);

    controller->beginNewUserProfile();
    controller->setNewUserDeviceId(std::nullopt);
    controller->createNewUserProfile();
    EXPECT_EQ(store().userProfiles().get().size(), 4) << "no device chosen: nothing is created";

    controller->setRenameUserName("   ");
    controller->saveRename();
    EXPECT_EQ(activeUser().name, "User 4");
    controller->setRenameUserName("  Night Shift \n");
    controller->saveRename();
    EXPECT_EQ(activeUser().name, "Night Shift");

    controller->confirmDeleteUserProfile();
    EXPECT_EQ(prompter.requests().last().question.message,
              "This will remove the user profile " + text::displayName("Night Shift") +
                  ". Mappings for that profile will be lost.");
    EXPECT_EQ(store().userProfiles().get().size(), 4) << "Escape cancels";
    prompter.queueAnswer("Delete");
    controller->confirmDeleteUserProfile();
    EXPECT_EQ(store().userProfiles().get().size(), 3);
}

TEST_F(MappingWindowEventsTest, ResetLightingAndDeviceControlActions)
{
    plugKeypad();
    plugSpeechMike();
    controller->selectDevice(speechMike);
    const RadiologyTool zoom = tool("Zoom");
    store().clearMappings(speechMike, activeUser().id);
    store().setMapping(keypad, "K01", zoom.id, activeUser().id);
    controller->resetMappingsToDefaults();
    EXPECT_EQ(state().toastMessage, "Reset mappings for " + text::displayName("Philips SpeechMike"));
    EXPECT_FALSE(state().activeMappings.isEmpty());
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id}) << "other devices keep their mappings";
    controller->selectDevice(keypad);

    controller->setLightingColor(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(activeUser().lightingHex, "#123456");
    controller->setLightingColor(QColor());
    EXPECT_EQ(activeUser().lightingHex, "#123456") << "a colour without RGB changes nothing";
    controller->usePacsDefaultLighting();
    EXPECT_EQ(activeUser().lightingHex, std::nullopt);

    const ConnectedDeviceInfo keypadInfo = model->connectedDevices().get().first();
    ASSERT_EQ(keypadInfo.templateId, keypad);
    controller->setControlEnabled(keypadInfo, false);
    EXPECT_EQ(state().toastMessage, "Released " + text::displayName("Razer Tartarus") + " for other apps");
    EXPECT_TRUE(state().connectedDevices.first().ignored);
    EXPECT_TRUE(state().isActiveDeviceConnected()) << "a released device still counts as connected";
    controller->setControlEnabled(ConnectedDeviceInfo{7, 8, std::nullopt, std::nullopt, true}, false);
    EXPECT_EQ(state().toastMessage, "Released " + text::displayName("device") + " for other apps");
    controller->setControlEnabled(keypadInfo, true);
    EXPECT_EQ(state().toastMessage, "Velmor now controls " + text::displayName("Razer Tartarus"));
    EXPECT_FALSE(state().connectedDevices.first().ignored);
}

TEST_F(MappingWindowEventsTest, ResetReadsTheProfilesFileAgainAndForgetsTheEdits)
{
    controller->appear();
    queue->runUntilIdle();
    const QByteArray onDisk = readFile(store().fileURL());
    const RadiologyTool zoom = tool("Zoom");
    controller->selectButton("K07");
    controller->selectTool(zoom);
    controller->copyMapping();
    ASSERT_TRUE(state().canUndo());

    writeFile(store().fileURL(), onDisk); // the file as it was before these edits
    controller->restoreLastSaved();
    const MappingController::State& s = state();
    EXPECT_EQ(s.selectedButtonId, std::nullopt);
    EXPECT_EQ(s.selectedToolId, mappingData::firstEnabledToolId(model->activePacsProfile()));
    EXPECT_FALSE(s.canUndo() || s.copyBuffer);
    EXPECT_FALSE(s.hasUnsavedChanges);
    EXPECT_EQ(s.toastMessage, "Restored last saved state");
    EXPECT_FALSE(toolsOn("K07").contains(zoom.id));
    EXPECT_EQ(mappingData::toolById(model->activePacsProfile(), zoom.id), std::nullopt);
}

TEST_F(MappingWindowEventsTest, AlertsGetTheirFullTimeAndSyncWithoutACloudWarns)
{
    const int fetches = cloud.callCount(cloud::MemoryCloud::Call::fetchRecord);
    controller->syncNow();
    EXPECT_EQ(state().alertMessage, std::nullopt);
    EXPECT_EQ(cloud.callCount(cloud::MemoryCloud::Call::fetchRecord), fetches + 1);

    // A build whose entitlements name no cloud container.
    controller.reset();
    model.reset();
    Entitlements::setCurrent(Entitlements(QJsonObject{}));
    start();
    controller = std::make_unique<MappingController>(*model, prompter);
    controller->syncNow();
    ASSERT_TRUE(state().alertMessage);
    EXPECT_EQ(state().alertMessage->title, "Cloud Sync Unavailable");
    EXPECT_EQ(state().alertMessage->message, "CloudKit is not enabled for this build.");
    EXPECT_EQ(state().alertMessage->severity, AppModel::AlertMessage::Severity::warning);

    queue->advance(3s);
    model->presentAlert("Second", "Newer", AppModel::AlertMessage::Severity::info);
    queue->advance(2s);
    ASSERT_TRUE(state().alertMessage) << "the first alert's timer must not close the second";
    EXPECT_EQ(state().alertMessage->title, "Second");
    queue->advance(3s);
    EXPECT_EQ(state().alertMessage, std::nullopt);

    model->presentAlert("Third", "Closed by hand", AppModel::AlertMessage::Severity::error);
    controller->dismissAlert();
    EXPECT_EQ(state().alertMessage, std::nullopt);
}

} // namespace
