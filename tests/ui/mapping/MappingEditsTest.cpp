// Mapping edits on the controller: selection by press and click, assignment
// with the "Replace mapping?" question, undo, swap, copy, clear, examples, toasts.
#include "MappingControllerFixture.h"
#include "platform/Text.h"

#include <QSet>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

class MappingEditsTest : public MappingControllerFixture {
protected:
    MappingEditsTest() { store().clearMappings(keypad, activeUser().id); }

    void select(const QString& buttonId) { controller->selectButton(buttonId); }
    std::optional<QString> toast() { return state().toastMessage; }
};

TEST_F(MappingEditsTest, AHardwarePressSelectsItsButtonAndThePickedToolIsMappedAndSavedAtOnce)
{
    auto device = plugKeypad();
    const RadiologyTool zoom = tool("Zoom");
    const RadiologyTool pan = tool("Pan");

    controller->selectTool(zoom);
    EXPECT_EQ(state().selectedToolId, zoom.id);
    EXPECT_EQ(toast(), std::nullopt) << "a pick without a button only selects the tool";
    EXPECT_TRUE(toolsOn("K01").isEmpty());

    controller->setSearchFocused(true);
    controller->setMappingSearchFocused(true);
    device->sendValue(keypadKey(1), 1);
    queue->runUntilIdle();
    EXPECT_EQ(state().selectedButtonId, "K01");
    EXPECT_EQ(state().pressedButtonId, "K01");
    EXPECT_EQ(state().lastPressedButtonId, "K01");
    EXPECT_FALSE(state().searchFocused || state().mappingSearchFocused) << "a press takes the keyboard from the fields";
    EXPECT_TRUE(toolsOn("K01").isEmpty()) << "a press never assigns";

    controller->selectTool(pan);
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{pan.id});
    EXPECT_TRUE(readFile(store().fileURL()).contains(pan.id.toString(QUuid::WithoutBraces).toUpper().toUtf8()));
    EXPECT_EQ(toast(), "Mapped " + text::displayName("K01") + " → " + text::displayName("Pan"));
    EXPECT_EQ(state().lastMappingBackup, (LastMapping{keypad, "K01", std::nullopt}));
    controller->toggleFavorite(pan);
    EXPECT_EQ(state().groupedTools.first().at(0).id, pan.id);
}

TEST_F(MappingEditsTest, EachPressEndsOnlyItsOwnHighlight)
{
    press("K01"); // through the application model's button road
    queue->advance(300ms);
    press("K01");
    queue->advance(100ms);
    EXPECT_EQ(state().pressedButtonId, std::nullopt) << "a second press of the button does not lengthen it";

    press("K02");
    queue->advance(200ms);
    press("K03");
    queue->advance(300ms);
    EXPECT_EQ(state().pressedButtonId, "K03") << "an older press's timer leaves a newer button alone";
    queue->advance(100ms);
    EXPECT_EQ(state().pressedButtonId, std::nullopt);
    EXPECT_EQ(state().selectedButtonId, "K03");
}

TEST_F(MappingEditsTest, AConflictAsksAndUndoRestoresExactlyWhatWasThere)
{
    const RadiologyTool zoom = tool("Zoom");
    const RadiologyTool pan = tool("Pan");
    select("K01");
    controller->selectTool(zoom);
    const ButtonMapping old = activeUser().mappings.last();
    controller->undoLastMapping();
    EXPECT_TRUE(toolsOn("K01").isEmpty()) << "the button had no mapping before";
    EXPECT_EQ(toast(), "Reverted mapping for " + text::displayName("K01"));
    controller->selectTool(zoom);

    queue->advance(2s);
    prompter.queueAnswer("Cancel");
    controller->selectTool(pan);
    ASSERT_EQ(questionTitles(), QStringList{"Replace mapping?"});
    const Prompter::Question asked = prompter.requests().last().question;
    EXPECT_EQ(asked.message, text::displayName("K01") + " is currently mapped to " + text::displayName("Zoom") +
                                 ". Replace with " + text::displayName("Pan") + "?");
    EXPECT_EQ(asked.buttons, (QList<Prompter::Button>{{"Replace", Prompter::Role::destructive},
                                                      {"Cancel", Prompter::Role::cancel}}));
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id});
    EXPECT_EQ(toast(), std::nullopt);
    EXPECT_EQ(state().conflictPrompt.has_value(), false);

    prompter.queueAnswer("Replace");
    controller->selectTool(pan);
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{pan.id});
    EXPECT_EQ(state().lastMappingBackup->previous->toolId, old.toolId);
    EXPECT_EQ(toast(), std::nullopt) << "a confirmed replace shows no toast";
    controller->undoLastMapping();
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id});
    const QList<UserProfile> before = store().userProfiles().get();
    controller->undoLastMapping();
    EXPECT_EQ(store().userProfiles().get(), before) << "one step only";

    // Re-picking the tool on the button asks nothing and writes it again.
    controller->selectTool(zoom);
    EXPECT_EQ(prompter.requests().size(), 2);
    EXPECT_EQ(toast(), "Mapped " + text::displayName("K01") + " → " + text::displayName("Zoom"));
    // A tool the PACS profile no longer has leaves the button free.
    store().deleteTool(pan.id, model->activePacsProfile().id);
    store().setMapping(keypad, "K01", pan.id, activeUser().id);
    controller->selectTool(zoom);
    EXPECT_EQ(prompter.requests().size(), 2);
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id});
}

TEST_F(MappingEditsTest, SwapExchangesTwoMappedButtonsInTwoClicks)
{
    const RadiologyTool zoom = tool("Zoom");
    const RadiologyTool pan = tool("Pan");
    controller->swapMappings();
    EXPECT_EQ(toast(), "Select a mapped button to swap");

    select("K01");
    controller->selectTool(zoom);
    select("K02");
    controller->selectTool(pan);
    const std::optional<LastMapping> undo = state().lastMappingBackup;
    select("K01");
    controller->swapMappings();
    EXPECT_EQ(toast(), "Select another mapped button to complete swap");
    controller->swapMappings();
    EXPECT_EQ(toast(), "Swap cancelled");
    EXPECT_EQ(state().swapCandidate, std::nullopt);

    controller->swapMappings();
    select("K02");
    controller->swapMappings();
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{pan.id});
    EXPECT_EQ(toolsOn("K02"), QList<QUuid>{zoom.id});
    EXPECT_EQ(toast(), "Swapped " + text::displayName("K01") + " ↔ " + text::displayName("K02"));
    EXPECT_EQ(state().lastMappingBackup, undo);

    // A candidate armed on the keypad goes back there when the other side is on the SpeechMike.
    plugKeypad();
    plugSpeechMike();
    controller->selectDevice(keypad);
    select("K01");
    controller->swapMappings();
    controller->selectDevice(speechMike);
    const QString mike = Device::speechMikeTemplate().buttons.first().id;
    store().setMapping(speechMike, mike, zoom.id, activeUser().id);
    select(mike);
    controller->swapMappings();
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id});
    EXPECT_EQ(toolsOn(mike, speechMike), QList<QUuid>{pan.id});
}

TEST_F(MappingEditsTest, CopyAppliesToTheSelectedButtonOfTheActiveDeviceAndSurvivesADeviceChange)
{
    plugKeypad();
    plugSpeechMike();
    controller->selectDevice(keypad);
    const RadiologyTool zoom = tool("Zoom");
    select("K03");
    controller->copyMapping();
    EXPECT_EQ(toast(), "Select a mapped button to copy");
    EXPECT_EQ(state().copyBuffer, std::nullopt);

    controller->selectTool(zoom);
    controller->copyMapping();
    EXPECT_EQ(toast(), "Copied mapping from " + text::displayName("K03"));

    // The SpeechMike has no K03: the selection goes, the copy stays.
    controller->selectDevice(speechMike);
    EXPECT_EQ(state().selectedButtonId, std::nullopt);
    controller->copyMapping();
    EXPECT_EQ(toast(), "Select a target button to apply");
    ASSERT_TRUE(state().copyBuffer);

    const QString target = Device::speechMikeTemplate().buttons.first().id;
    select(target);
    controller->copyMapping();
    EXPECT_EQ(toolsOn(target, speechMike), QList<QUuid>{zoom.id});
    EXPECT_EQ(toast(), "Applied mapping to " + text::displayName(target));
    EXPECT_EQ(state().copyBuffer, std::nullopt);
}

TEST_F(MappingEditsTest, ClearAllAsksAndRemovesOnlyTheActiveDevicesMappings)
{
    const RadiologyTool zoom = tool("Zoom");
    store().setMapping(speechMike, "REWIND", zoom.id, activeUser().id);
    select("K01");
    controller->selectTool(zoom);
    controller->copyMapping();
    controller->swapMappings();

    controller->confirmClearAllMappings();
    EXPECT_EQ(prompter.requests().last().question.message,
              "This will remove all mappings for " + text::displayName("Razer Tartarus V2 / Pro") + ".");
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{zoom.id}) << "Escape cancels";

    prompter.queueAnswer("Clear");
    controller->confirmClearAllMappings();
    EXPECT_EQ(questionTitles(), (QStringList{"Clear all mappings?", "Clear all mappings?"}));
    EXPECT_TRUE(state().activeMappings.isEmpty());
    EXPECT_EQ(toolsOn("REWIND", speechMike), QList<QUuid>{zoom.id});
    EXPECT_EQ(toast(), "Cleared all mappings for " + text::displayName("Razer Tartarus V2 / Pro"));
    EXPECT_FALSE(state().lastMappingBackup || state().copyBuffer || state().swapCandidate);
    EXPECT_EQ(state().selectedButtonId, "K01");
}

TEST_F(MappingEditsTest, ExampleMappingsUseEveryToolWithAShortcutInTurnAndSayWhenNothingLoads)
{
    const PacsProfile pacs = model->activePacsProfile();
    for (const RadiologyTool& t : pacs.tools)
        store().deleteTool(t.id, pacs.id);
    controller->loadExampleMappings();
    EXPECT_EQ(toast(), "No tools with shortcuts to load");

    QSet<QUuid> tools;
    for (int i = 0; i < 10; ++i)
        tools.insert(tool(QString("T%1").arg(i)).id);
    RadiologyTool disabled = tool("Disabled");
    editTool(disabled, [](RadiologyTool& t) { t.enabled = false; });
    tools.insert(disabled.id);
    controller->loadExampleMappings();
    EXPECT_EQ(toast(), "Loaded example mappings");
    QHash<QUuid, int> uses;
    for (const DeviceButton& button : Device::tartarusTemplate().buttons) {
        const QList<QUuid> on = toolsOn(button.id);
        ASSERT_EQ(on.size(), 1) << button.id.toStdString();
        ++uses[on.first()];
    }
    EXPECT_EQ(QSet<QUuid>(uses.keyBegin(), uses.keyEnd()), tools) << "the disabled tool counts too";
    for (const int count : uses)
        EXPECT_TRUE(count == 2 || count == 3);

    // A device without buttons gets nothing and is told so.
    model->inputSource().setActiveDevice(Device{"empty", "Empty Pad", "keypad", std::nullopt, {}});
    const QList<UserProfile> before = store().userProfiles().get();
    controller->loadExampleMappings();
    EXPECT_EQ(store().userProfiles().get(), before);
    EXPECT_EQ(toast(), "No buttons on " + text::displayName("Empty Pad") + " to load example mappings onto");
}

TEST_F(MappingEditsTest, EveryToastGetsItsFullTime)
{
    controller->showToast("First");
    queue->advance(1500ms);
    controller->showToast("Second");
    queue->advance(1999ms);
    EXPECT_EQ(toast(), "Second") << "the first toast's timer must not clear the second";
    queue->advance(1ms);
    EXPECT_EQ(toast(), std::nullopt);
}

} // namespace
