#include "ui/admin/AdminController.h"
#include "platform/Text.h"
#include "ui/admin/PacsDeletion.h"

#include "support/AppModelFixture.h"
#include "store/ProfileLookup.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmor {
namespace {

using M = KeyboardShortcut::Modifiers;

class AdminControllerTest : public test::AppModelFixture {
protected:
    void open()
    {
        start();
        admin = std::make_unique<AdminController>(*model, prompter);
        settle();
    }
    void settle() { queue->runUntilIdle(); }
    const AdminController::State& state() const { return admin->state().get(); }
    PacsProfile active() { return store().activePacsProfile(); }
    std::optional<RadiologyTool> stored(const QUuid& id, std::optional<QUuid> pacsId = std::nullopt)
    {
        const PacsProfile* pacs = findById(store().pacsProfiles().get(), pacsId.value_or(active().id));
        const RadiologyTool* tool = pacs ? findById(pacs->tools, id) : nullptr;
        return tool ? std::optional<RadiologyTool>(*tool) : std::nullopt;
    }
    QStringList names(const QList<RadiologyTool>& tools) const
    {
        QStringList names;
        for (const RadiologyTool& tool : tools)
            names << tool.name;
        return names;
    }
    // Gives the active PACS profile exactly these tools, by name.
    void useTools(const QStringList& toolNames)
    {
        for (const RadiologyTool& tool : active().tools)
            store().deleteTool(tool.id, active().id);
        for (const QString& name : toolNames) {
            RadiologyTool tool;
            tool.id = QUuid::createUuid();
            tool.name = name;
            tool.systemIcon = "ruler";
            store().upsertTool(tool, active().id);
        }
        admin->setSearchText("");
        settle();
    }
    QUuid idOf(const QString& name)
    {
        for (const RadiologyTool& tool : active().tools)
            if (tool.name == name)
                return tool.id;
        ADD_FAILURE() << "no tool " << name.toStdString();
        return {};
    }
    // The tool as written in profiles.json.
    QJsonObject toolInFile(const QUuid& id)
    {
        const QJsonObject document = QJsonDocument::fromJson(test::readFile(store().fileURL())).object();
        for (const QJsonValue pacs : document["pacsProfiles"].toArray())
            for (const QJsonValue tool : pacs["tools"].toArray())
                if (QUuid(tool["id"].toString()) == id && QUuid(pacs["id"].toString()) == active().id)
                    return tool.toObject();
        return {};
    }

    ScriptedPrompter prompter;
    std::unique_ptr<AdminController> admin;
};

TEST_F(AdminControllerTest, SearchFiltersByNameAndKeepsASensibleSelection)
{
    open();
    useTools({"Zoom In", "Pan", "ZOOM out", "Cine Loop"});
    EXPECT_EQ(state().selectedToolId, idOf("Zoom In")) << "the first tool is selected";

    admin->selectTool(idOf("ZOOM out"));
    admin->setSearchText("zoom");
    settle();
    EXPECT_EQ(names(state().filteredTools), QStringList({"Zoom In", "ZOOM out"}));
    EXPECT_EQ(state().selectedToolId, idOf("ZOOM out")) << "a selection the search keeps stays";

    admin->setSearchText("pa");
    settle();
    EXPECT_EQ(state().selectedToolId, idOf("Pan")) << "a hidden selection moves to the first match";
    admin->setSearchText(" ");
    settle();
    EXPECT_EQ(names(state().filteredTools), QStringList({"Zoom In", "ZOOM out", "Cine Loop"}));

    admin->setSearchText("nothing");
    settle();
    EXPECT_TRUE(state().filteredTools.isEmpty());
    EXPECT_FALSE(state().selectedToolId);
    EXPECT_FALSE(state().selectedTool);

    // A new tool is selected even while the search hides it.
    admin->createTool();
    settle();
    ASSERT_TRUE(state().selectedTool);
    EXPECT_EQ(state().selectedTool->name, "New Tool");
    EXPECT_EQ(active().tools.last().id, state().selectedTool->id);
    EXPECT_TRUE(state().filteredTools.isEmpty());
}

TEST_F(AdminControllerTest, DuplicateAndDeleteKeepTheSelectionSensible)
{
    open();
    useTools({"Zoom", "Pan"});
    admin->duplicateSelectedTool();
    settle();
    admin->duplicateSelectedTool();
    settle();
    EXPECT_EQ(names(active().tools), QStringList({"Zoom", "Pan", "Zoom Copy", "Zoom Copy Copy"}));
    EXPECT_EQ(state().selectedTool->name, "Zoom Copy Copy");
    EXPECT_NE(state().selectedToolId, idOf("Zoom Copy"));

    // The button to the tool is mapped; deleting the tool clears the mapping too.
    map("k01", idOf("Zoom Copy Copy"));
    prompter.queueAnswer("Cancel");
    admin->requestDeleteTool();
    EXPECT_EQ(active().tools.size(), 4);
    prompter.queueAnswer("Delete");
    admin->requestDeleteTool();
    settle();
    EXPECT_EQ(prompter.requests().last().question.message,
              "This will remove " + text::displayName("Zoom Copy Copy") + " and clear any mappings that use it.");
    EXPECT_EQ(names(active().tools), QStringList({"Zoom", "Pan", "Zoom Copy"}));
    EXPECT_TRUE(activeUser().mappings.isEmpty() || activeUser().mappings.last().buttonId != "k01");
    EXPECT_EQ(state().selectedToolId, idOf("Zoom")) << "the first tool of the list";

    useTools({"Only"});
    prompter.queueAnswer("Delete");
    admin->requestDeleteTool();
    settle();
    EXPECT_FALSE(state().selectedToolId);
    admin->duplicateSelectedTool();
    admin->requestDeleteTool();
    EXPECT_TRUE(active().tools.isEmpty());
    EXPECT_EQ(prompter.requests().size(), 3) << "nothing to ask about without a selection";
}

TEST_F(AdminControllerTest, ToggleEditorStoresOnlyOnSaveIntoTheProfileItWasOpenedFor)
{
    open();
    useTools({"Zoom"});
    admin->createToggle();
    settle();
    ASSERT_TRUE(state().toggleEditorOpen);
    EXPECT_EQ(admin->toggleEditor()->state().get().title, "New Toggle");
    admin->toggleEditor()->cancel();
    settle();
    EXPECT_FALSE(state().toggleEditorOpen);
    EXPECT_EQ(active().tools.size(), 1);
    EXPECT_EQ(state().selectedToolId, idOf("Zoom"));

    admin->createToggle();
    auto editor = admin->toggleEditor();
    editor->addStep();
    editor->save();
    settle();
    ASSERT_EQ(active().tools.size(), 2);
    const RadiologyTool toggle = active().tools.last();
    EXPECT_EQ(toggle.name, "New Toggle");
    EXPECT_EQ(toggle.toggleShortcuts, QList<KeyboardShortcut>{});
    EXPECT_FALSE(toggle.shortcut);
    EXPECT_EQ(state().selectedToolId, toggle.id);
    EXPECT_FALSE(state().toggleEditorOpen);

    // Editing: the steps and a change of the tool made meanwhile both survive; it is enabled again.
    admin->setEnabled(false);
    admin->editToggle();
    editor = admin->toggleEditor();
    EXPECT_EQ(editor->state().get().title, "Edit Toggle");
    editor->addStep();
    editor->stepBinding(0).set(KeyboardShortcut{0, "a", M{}});
    editor->addStep();
    editor->stepBinding(1).set(KeyboardShortcut{11, "b", M::shift});
    admin->setCategory(ToolCategory::mammo);
    editor->save();
    settle();
    const RadiologyTool edited = *stored(toggle.id);
    EXPECT_EQ(edited.toggleShortcuts->size(), 2);
    EXPECT_EQ(edited.shortcut, (KeyboardShortcut{0, "a", M{}}));
    EXPECT_EQ(edited.category, ToolCategory::mammo);
    EXPECT_TRUE(edited.enabled);
    EXPECT_EQ(active().tools.size(), 2);
}

TEST_F(AdminControllerTest, EveryInspectorFieldReachesTheProfilesFile)
{
    open();
    useTools({"Zoom", "Pan"});
    const QUuid zoom = idOf("Zoom");
    admin->setName("Zoom 2x");
    admin->setEnabled(false);
    admin->setCategory(ToolCategory::reporting);
    admin->setRepeatOnHold(true);
    admin->setRepeatSpeed(1.5);
    admin->setShortcut(KeyboardShortcut{6, "z", M{M::control, M::shift}});
    admin->applyIconSelection({ToolIconSource::custom, "ct.svg"});
    settle();

    const QJsonObject tool = toolInFile(zoom);
    EXPECT_EQ(tool["name"].toString(), "Zoom 2x");
    EXPECT_FALSE(tool["enabled"].toBool());
    EXPECT_EQ(tool["category"].toString(), "Reporting");
    EXPECT_TRUE(tool["repeatOnHoldEnabled"].toBool());
    EXPECT_EQ(tool["repeatSpeed"].toDouble(), 1.0);
    EXPECT_EQ(tool["shortcut"].toObject()["keyCode"].toInt(), 6);
    EXPECT_EQ(tool["shortcut"].toObject()["modifiers"].toInt(), 3);
    EXPECT_EQ(tool["iconSource"].toString(), "custom");
    EXPECT_EQ(tool["customIcon"].toString(), "ct.svg");
    EXPECT_EQ(tool["systemIcon"].toString(), "ruler") << "a custom icon keeps the symbol as its fallback";

    admin->applyIconSelection({ToolIconSource::system, "scope"});
    admin->setShortcut(std::nullopt);
    admin->setToolEnabled(idOf("Pan"), false); // a row's switch
    settle();
    EXPECT_FALSE(toolInFile(zoom).contains("customIcon"));
    EXPECT_FALSE(toolInFile(zoom).contains("shortcut"));
    EXPECT_EQ(toolInFile(zoom)["systemIcon"].toString(), "scope");
    EXPECT_FALSE(toolInFile(idOf("Pan"))["enabled"].toBool());
    EXPECT_EQ(toolInFile(idOf("Pan"))["name"].toString(), "Pan");
}

TEST_F(AdminControllerTest, QuickEditsAcrossFieldsAndToolsAllSurvive)
{
    open();
    useTools({"Zoom", "Pan"});
    const QUuid zoom = idOf("Zoom");
    const QUuid pan = idOf("Pan");
    // Typing, recording a shortcut and switching tools within one turn of the main queue.
    admin->setName("Z");
    admin->setName("Zo");
    admin->setShortcut(KeyboardShortcut{6, "z", M{}});
    admin->setRepeatOnHold(true);
    admin->selectTool(pan);
    admin->setName("Pan!");
    settle();
    EXPECT_EQ(stored(zoom)->name, "Zo");
    EXPECT_EQ(stored(zoom)->shortcut, (KeyboardShortcut{6, "z", M{}}));
    EXPECT_TRUE(stored(zoom)->repeatOnHoldEnabled);
    EXPECT_EQ(stored(pan)->name, "Pan!");
    EXPECT_FALSE(stored(pan)->shortcut);
    EXPECT_FALSE(state().advancedExpanded);

    admin->selectTool(zoom);
    settle();
    EXPECT_TRUE(state().advancedExpanded) << "a tool that repeats on hold opens Advanced";
    admin->setRepeatOnHold(false);
    settle();
    EXPECT_TRUE(state().advancedExpanded) << "switching repeat leaves the group as it is";
}

TEST_F(AdminControllerTest, AnEditDuringARemoteApplyKeepsTheRemoteChangesAndItsTarget)
{
    open();
    useTools({"Zoom", "Pan"});
    const QUuid zoom = idOf("Zoom");
    const QUuid shownPacs = active().id;

    // A remote document where Zoom has a new shortcut and another profile, holding a
    // tool with Zoom's id, is the active one.
    QJsonObject document = QJsonDocument::fromJson(store().makeSyncPayload()).object();
    QJsonArray pacsList = document["pacsProfiles"].toArray();
    QJsonObject other;
    for (qsizetype i = 0; i < pacsList.size(); ++i) {
        QJsonObject pacs = pacsList[i].toObject();
        if (QUuid(pacs["id"].toString()) != shownPacs)
            continue;
        QJsonArray tools = pacs["tools"].toArray();
        QJsonObject tool = tools[0].toObject();
        tool["shortcut"] = QJsonObject{{"key", "r"}, {"keyCode", 15}, {"modifiers", 8}};
        tools[0] = tool;
        pacs["tools"] = tools;
        pacsList[i] = pacs;
        other = pacs;
    }
    const QUuid otherId = QUuid::createUuid();
    other["id"] = otherId.toString(QUuid::WithoutBraces).toUpper();
    other["name"] = "Remote";
    pacsList.append(other);
    document["pacsProfiles"] = pacsList;
    store().applySyncPayload(QJsonDocument(document).toJson());
    ASSERT_EQ(store().activePacsProfileId().get(), shownPacs);
    store().selectPacsProfile(otherId);

    // Before the window has shown the change, the user types in the name field.
    admin->setName("Zoom!");
    const std::optional<RadiologyTool> edited = stored(zoom, shownPacs);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->name, "Zoom!");
    EXPECT_EQ(edited->shortcut, (KeyboardShortcut{15, "r", M::command})) << "the remote shortcut is kept";
    EXPECT_EQ(stored(zoom, otherId)->name, "Zoom") << "the profile the window did not show is untouched";

    // Once shown, edits go to the profile now shown.
    settle();
    EXPECT_EQ(state().activePacs.id, otherId);
    admin->selectTool(zoom);
    admin->setName("Other");
    EXPECT_EQ(stored(zoom, otherId)->name, "Other");
    EXPECT_EQ(stored(zoom, shownPacs)->name, "Zoom!");

    // A tool the remote document removed is not written back.
    QJsonObject without = QJsonDocument::fromJson(store().makeSyncPayload()).object();
    QJsonArray lists = without["pacsProfiles"].toArray();
    for (qsizetype i = 0; i < lists.size(); ++i) {
        QJsonObject pacs = lists[i].toObject();
        pacs["tools"] = QJsonArray{};
        lists[i] = pacs;
    }
    without["pacsProfiles"] = lists;
    store().applySyncPayload(QJsonDocument(without).toJson());
    const QList<RadiologyTool> afterApply = store().activePacsProfile().tools;
    ASSERT_FALSE(stored(zoom));
    admin->setName("Lost?");
    admin->setShortcut(KeyboardShortcut{1, "s", M{}});
    admin->duplicateSelectedTool();
    EXPECT_EQ(store().activePacsProfile().tools, afterApply);
}

TEST_F(AdminControllerTest, PacsProfilesAreCreatedRenamedDuplicatedAndDeleted)
{
    open();
    const int count = int(store().pacsProfiles().get().size());
    store().createPacsProfile(QStringLiteral("PACS %1").arg(count + 2)); // the name the next one gets
    settle();
    admin->createPacsProfile();
    settle();
    EXPECT_EQ(active().name, QStringLiteral("PACS %1").arg(count + 2));
    EXPECT_EQ(store().pacsProfiles().get().size(), count + 2);
    EXPECT_EQ(state().activePacs.id, active().id);
    ASSERT_FALSE(active().tools.isEmpty());
    EXPECT_EQ(state().selectedToolId, active().tools.first().id);
    EXPECT_TRUE(prompter.requests().isEmpty()) << "no rename prompt";

    prompter.queueAnswer("Save", "  Reading Room  ");
    admin->beginRenamePacs();
    EXPECT_EQ(active().name, "Reading Room");
    EXPECT_EQ(prompter.requests().last().question.text, QStringLiteral("PACS %1").arg(count + 2));
    prompter.queueAnswer("Save", "   ");
    admin->beginRenamePacs();
    prompter.queueAnswer("Cancel", "Other");
    admin->beginRenamePacs();
    EXPECT_EQ(active().name, "Reading Room");

    settle();
    admin->duplicateActivePacs();
    settle();
    EXPECT_EQ(active().name, "Reading Room Copy");
    prompter.queueAnswer("Delete");
    admin->deleteActivePacs();
    settle();
    EXPECT_EQ(store().pacsProfiles().get().size(), count + 2);
    EXPECT_NE(active().name, "Reading Room Copy");

    const QUuid before = active().id;
    admin->selectPacs(QUuid::createUuid());
    EXPECT_EQ(active().id, before);
    admin->selectPacs(store().pacsProfiles().get().first().id);
    settle();
    EXPECT_EQ(state().activePacs.id, store().pacsProfiles().get().first().id);

    admin->setLighting(QColor(255, 0, 16));
    EXPECT_EQ(active().defaultLightingHex, QString("#FF0010"));
    EXPECT_TRUE(state().canDeletePacs);
}

// Deleting a PACS profile takes its tools and the bound users' mappings along:
// it asks first, naming all of that, and Return or Escape keep everything.
TEST_F(AdminControllerTest, DeletePacsAsksFirstNamingWhatGoesWithIt)
{
    open();
    const PacsProfile fallback = store().pacsProfiles().get().first();
    ASSERT_FALSE(fallback.tools.isEmpty());
    const QString shared = fallback.tools.first().name;
    store().createPacsProfile("Night");
    const QUuid night = active().id;
    useTools({shared, "Only Here"});
    store().createUserProfile("Resident", night);
    store().clearMappings(std::nullopt, activeUser().id);
    store().createUserProfile("Reader", night);
    store().clearMappings(std::nullopt, activeUser().id);
    map("k01", idOf(shared));
    map("k02", idOf("Only Here"));
    map("k03", idOf("Only Here"));
    settle();
    const QList<UserProfile> usersBefore = store().userProfiles().get();
    const qsizetype pacsBefore = store().pacsProfiles().get().size();

    admin->duplicateActivePacs();
    settle();
    EXPECT_TRUE(prompter.requests().isEmpty()) << "duplicating asks nothing";
    admin->selectPacs(night);
    settle();

    prompter.queueAnswer("Cancel");
    admin->deleteActivePacs();
    settle();
    ASSERT_EQ(prompter.questionTitles(), QStringList({"Delete PACS?"}));
    const Prompter::Question question = prompter.requests().last().question;
    EXPECT_EQ(question.message,
              "This will remove the PACS profile " + text::displayName("Night") + " and its 2 tools.\n\n" +
                  "The user profiles bound to it move to " + text::displayName(fallback.name) +
                  " and keep only the mappings whose tool has the same name there:\n"
                  "• " + text::displayName("Resident") + ": no mappings\n" +
                  "• " + text::displayName("Reader") + ": 1 of 3 mappings kept");
    EXPECT_EQ(question.buttons, (QList<Prompter::Button>{{"Delete", Prompter::Role::destructive},
                                                         {"Cancel", Prompter::Role::cancel}}));
    EXPECT_EQ(Prompter::defaultButton(question), "Cancel") << "Return cancels";
    EXPECT_EQ(Prompter::escapeButton(question), "Cancel");
    EXPECT_EQ(question.names, QStringList({text::displayName("Night"), text::displayName(fallback.name),
                                           text::displayName("Resident"), text::displayName("Reader")}))
        << "the dialog keeps each name whole";
    EXPECT_EQ(store().pacsProfiles().get().size(), pacsBefore + 1);
    EXPECT_EQ(store().userProfiles().get(), usersBefore) << "cancel keeps every binding and mapping";

    // The profile asked about is deleted, even when another became active meanwhile.
    prompter.whileAsking = [&] { store().selectPacsProfile(fallback.id); };
    prompter.queueAnswer("Delete");
    admin->deleteActivePacs();
    settle();
    EXPECT_FALSE(findById(store().pacsProfiles().get(), night));
    EXPECT_EQ(store().pacsProfiles().get().size(), pacsBefore);
    const UserProfile reader = activeUser();
    EXPECT_EQ(reader.name, "Reader");
    EXPECT_EQ(reader.pacsProfileId, fallback.id);
    ASSERT_EQ(reader.mappings.size(), 1);
    EXPECT_EQ(reader.mappings.first().toolId, fallback.tools.first().id);

    // One profile left: nothing to ask, nothing deleted.
    prompter.whileAsking = nullptr;
    while (store().pacsProfiles().get().size() > 1)
        store().deletePacsProfile(store().pacsProfiles().get().last());
    settle();
    const qsizetype asked = prompter.requests().size();
    admin->deleteActivePacs();
    EXPECT_EQ(prompter.requests().size(), asked);
    EXPECT_EQ(store().pacsProfiles().get().size(), 1);
}

// One sentence without bound users; singular where there is one of a kind; a
// long list of users is cut.
TEST(PacsDeletion, CountsAndListsWhatGoesWithTheProfile)
{
    const auto tool = [](const QString& name) {
        RadiologyTool made;
        made.id = QUuid::createUuid();
        made.name = name;
        return made;
    };
    const auto pacs = [](const QString& name, const RadiologyTool& only) {
        PacsProfile made;
        made.id = QUuid::createUuid();
        made.name = name;
        made.tools = {only};
        return made;
    };
    const PacsProfile first = pacs("Main", tool("Zoom"));
    const PacsProfile gone = pacs("Old %1", tool("zoom"));
    EXPECT_FALSE(PacsDeletion::of(gone.id, {gone}, {})) << "the only profile is never deleted";
    EXPECT_FALSE(PacsDeletion::of(QUuid::createUuid(), {first, gone}, {}));

    auto deletion = PacsDeletion::of(gone.id, {first, gone}, {});
    ASSERT_TRUE(deletion);
    EXPECT_EQ(deletion->question().message,
              "This will remove the PACS profile " + text::displayName("Old %1") + " and its 1 tool.");

    // The first profile itself goes: the fallback is the next one.
    UserProfile user;
    user.id = QUuid::createUuid();
    user.name = "Dr %2";
    user.pacsProfileId = first.id;
    user.mappings = {ButtonMapping{QUuid::createUuid(), "d", "k01", first.tools.first().id}};
    deletion = PacsDeletion::of(first.id, {first, gone}, {user});
    ASSERT_TRUE(deletion);
    EXPECT_EQ(deletion->question().message,
              "This will remove the PACS profile " + text::displayName("Main") + " and its 1 tool.\n\n" +
                  "The user profile bound to it moves to " + text::displayName("Old %1") +
                  " and keeps only the mappings whose tool has the same name there:\n• " +
                  text::displayName("Dr %2") + ": 1 of 1 mapping kept");

    QList<UserProfile> many(10, user);
    deletion = PacsDeletion::of(first.id, {first, gone}, many);
    const QStringList lines = deletion->question().message.split('\n');
    EXPECT_EQ(lines.size(), 3 + 8 + 1);
    EXPECT_EQ(lines.last(), "• and 2 more");
}

TEST_F(AdminControllerTest, EachAlertGetsItsFullTimeAndCloseClearsOnlyTheOneShown)
{
    open();
    using Severity = AppModel::AlertMessage::Severity;
    model->presentAlert("First", "one", Severity::error);
    settle();
    ASSERT_TRUE(state().alert);
    queue->advance(std::chrono::milliseconds(3000));
    model->presentAlert("Second", "two", Severity::info);
    settle();
    queue->advance(std::chrono::milliseconds(2500));
    ASSERT_TRUE(model->alertMessage().get());
    EXPECT_EQ(model->alertMessage().get()->title, "Second") << "the first alert's timer leaves the second alone";
    queue->advance(std::chrono::milliseconds(2600));
    EXPECT_FALSE(model->alertMessage().get());

    // Close acts on the alert the window shows, not on one that arrived since.
    model->presentAlert("Shown", "", Severity::warning);
    settle();
    admin->dismissAlert();
    EXPECT_FALSE(model->alertMessage().get());
    model->presentAlert("Shown again", "", Severity::warning);
    settle();
    model->presentAlert("Newer", "", Severity::success);
    admin->dismissAlert();
    EXPECT_EQ(model->alertMessage().get()->title, "Newer");
}

} // namespace
} // namespace velmor
