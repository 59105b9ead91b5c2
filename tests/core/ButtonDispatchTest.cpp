#include "support/AppModelFixture.h"
#include "support/ProfileStoreSeed.h"

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Mods = KeyboardShortcut::Modifiers;

namespace {

class ButtonDispatchTest : public AppModelFixture {
protected:
    ButtonDispatchTest() { start(); }
};
using RepeatOnHoldTest = ButtonDispatchTest;

TEST_F(ButtonDispatchTest, APressSendsTheFirstMappedToolAndOnlyEnabledToolsWithAShortcutSend)
{
    const RadiologyTool tool = addTool(shortcut(13, "w", Mods{Mods::shift, Mods::command}));
    RadiologyTool disabled = addTool(shortcut(6, "z"));
    const RadiologyTool noShortcut = addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(1, "")}, true);
    editTool(disabled, [](RadiologyTool& t) { t.enabled = false; });
    map("K02", disabled.id);
    map("K03", QUuid::createUuid());
    map("K04", noShortcut.id);
    ProfileStoreSeed::userProfiles(store()).mutate([&](QList<UserProfile>& profiles) {
        profiles.first().mappings.removeIf([](const ButtonMapping& m) { return m.buttonId == "K01"; });
        profiles.first().mappings.append({QUuid::createUuid(), keypad, "K01", tool.id});
        profiles.first().mappings.append({QUuid::createUuid(), keypad, "K01", disabled.id});
    });

    for (const char* button : {"K02", "K03", "K04", "k01", "NONE"})
        press(button); // nothing is sent or logged: the lines below are K01's alone
    EXPECT_EQ(model->repeatTaskCount(), 0u);

    press("K01");
    EXPECT_EQ(output.posts, (QList<keys::RecordingKeyOutput::Post>{{13, true, 0x120000, true}, {13, false, 0x120000, true}}));
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Tool (⇧⌘W)"});
    const QUuid pressId = model->lastEvent().get()->id;
    release("K01");
    EXPECT_EQ(model->lastEvent().get()->id, pressId) << "a release is no last event";
}

TEST_F(ButtonDispatchTest, TheDispatchLineShowsEveryModifierInOrderAndTheKeyInCapitals)
{
    map("K01", addTool(shortcut(14, "\u00e9", Mods{Mods::command, Mods::shift, Mods::option, Mods::control})).id);
    map("K02", addTool(shortcut(15, "\u00df")).id);
    press("K01");
    press("K02");
    EXPECT_EQ(dispatchLines(), (QStringList{"Dispatch K01 \u2192 Tool (\u2303\u2325\u21e7\u2318\u00c9)",
                                            "Dispatch K02 \u2192 Tool (" + QStringLiteral("\u00df").toUpper() + ")"}));
}

TEST_F(ButtonDispatchTest, ToggleToolsStepPerMappingAndLogTheStepSent)
{
    RadiologyTool toggle =
        addTool(shortcut(99, "x"), QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, ""), shortcut(20, "3"), shortcut(21, "4")});
    map("K01", toggle.id);
    map("K02", toggle.id);
    for (int i = 0; i < 5; ++i)
        press("K01");
    press("K02");
    EXPECT_EQ(sentKeys(), (QList<int>{18, 20, 21, 18, 20, 18}));
    EXPECT_EQ(dispatchLines().mid(3, 3), (QStringList{"Dispatch K01 → Tool [step 1] (1)", "Dispatch K01 → Tool [step 2] (3)",
                                                      "Dispatch K02 → Tool [step 1] (1)"}));

    // K01 is due for step 3 of 3; with two steps left it wraps, and the line names the step actually sent.
    const auto twoSteps = [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(22, "a"), shortcut(23, "b")}; };
    editTool(toggle, twoSteps);
    press("K01");
    press("K01");
    EXPECT_EQ(sentKeys(), (QList<int>{22, 23}));
    EXPECT_EQ(dispatchLines().mid(6), (QStringList{"Dispatch K01 → Tool [step 1] (A)", "Dispatch K01 → Tool [step 2] (B)"}));

    // Steps that all lack key text leave the plain shortcut.
    editTool(toggle, [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(24, "")}; });
    press("K01");
    EXPECT_EQ(sentKeys(), QList<int>{99});
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Tool (X)");

    // A mapping removed and put back with its old id (as an undo would) starts again at step 1.
    editTool(toggle, twoSteps);
    press("K02");
    const ButtonMapping k02 = activeUser().mappings.last();
    store().removeMapping(keypad, "K02", activeUser().id);
    ProfileStoreSeed::userProfiles(store()).mutate([&](QList<UserProfile>& profiles) { profiles.first().mappings.append(k02); });
    press("K02");
    EXPECT_EQ(sentKeys(), (QList<int>{23, 22}));
}

TEST_F(ButtonDispatchTest, WhenNothingWasPostedTheLogSaysSo)
{
    map("K01", repeating(1.0, 35).id);
    permissions.accessibility = false;
    model->shortcutExecutor().readPermissions();
    press("K01");
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Tool (K) not sent: Accessibility permission missing"});
    EXPECT_TRUE(model->isRepeating(keypad, "K01")) << "the press still counts; the hold repeats as usual";
    release("K01");

    permissions.accessibility = true;
    model->shortcutExecutor().readPermissions();
    output.acceptDown = false;
    press("K01");
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Tool (K) not sent: the key output refused it");
}

TEST_F(ButtonDispatchTest, APressReadsTheProfilesAsTheyAreAtThatMoment)
{
    RadiologyTool first = addTool(shortcut(1, "a"));
    const RadiologyTool second = addTool(shortcut(2, "b"));
    map("K01", first.id);
    press("K01");
    map("K01", second.id);
    press("K01");
    editTool(first, [](RadiologyTool& t) { t.shortcut = shortcut(3, "c"); });
    map("K01", first.id);
    press("K01");
    EXPECT_EQ(sentKeys(), (QList<int>{1, 2, 3}));

    // The user profile's PACS profile is gone: the store's active one lends its tools.
    const QUuid userId = activeUser().id;
    ProfileStoreSeed::userProfiles(store()).mutate([&](QList<UserProfile>& profiles) {
        for (UserProfile& profile : profiles)
            if (profile.id == userId)
                profile.pacsProfileId = QUuid::createUuid();
    });
    ASSERT_EQ(model->activePacsProfile().id, store().activePacsProfile().id);
    press("K01");
    EXPECT_EQ(sentKeys(), QList<int>{3});

    // An active id that names no stored user profile: the first stored one's mappings apply.
    const QUuid firstUser = store().userProfiles().get().first().id;
    store().setMapping(keypad, "K05", second.id, firstUser);
    ProfileStoreSeed::activeUserProfileId(store()).set(QUuid::createUuid());
    ASSERT_EQ(activeUser().id, firstUser);
    press("K05");
    EXPECT_EQ(sentKeys(), QList<int>{2});

    // With no user profile stored, the one made afresh (without mappings) decides, and its PACS profile lends the tools.
    ProfileStoreSeed::userProfiles(store()).set({});
    press("K01");
    press("K05");
    EXPECT_TRUE(sentKeys().isEmpty());
    const PacsProfile pacs = model->activePacsProfile();
    for (const QUuid& toolId : {first.id, second.id, pacs.tools.first().id, QUuid::createUuid()}) {
        const auto it = std::find_if(pacs.tools.begin(), pacs.tools.end(), [&](const auto& t) { return t.id == toolId; });
        EXPECT_EQ(model->activeTool(toolId).has_value(), it != pacs.tools.end());
        if (it != pacs.tools.end()) {
            EXPECT_EQ(model->activeTool(toolId)->shortcut, it->shortcut);
        }
    }
}

TEST_F(ButtonDispatchTest, TheRoadsStepsTakenOneByOne)
{
    const RadiologyTool toggle = addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, "2")}, true, 1.0);
    const RadiologyTool nothingToSend = addTool(std::nullopt);
    const ButtonMapping loose{QUuid::createUuid(), keypad, "K07", toggle.id};
    EXPECT_TRUE(model->dispatchTool(toggle, loose, false));
    EXPECT_TRUE(model->dispatchTool(toggle, loose, true));
    EXPECT_FALSE(model->dispatchTool(nothingToSend, loose, true));
    EXPECT_EQ(sentKeys(), (QList<int>{18, 19}));
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K07 → Tool [step 2] (2)"});

    map("K07", toggle.id);
    const ButtonMapping mapped = activeUser().mappings.last();
    ASSERT_EQ(mapped.buttonId, "K07");
    const DeviceButtonEvent held{.deviceId = keypad, .buttonId = "K07", .isPressed = true, .supportsHoldRepeat = true};
    model->startRepeat(toggle, held, mapped);
    queue->advance(60ms);
    EXPECT_EQ(sentKeys(), QList<int>{18}); // the mapping's own counter
    model->stopRepeat(keypad, "K07");
    EXPECT_FALSE(model->isRepeating(keypad, "K07"));
    queue->advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());
}

TEST_F(RepeatOnHoldTest, ThePeriodFollowsTheSpeedAndTheFirstResendComesOnePeriodAfterThePress)
{
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(2.0), AppModel::repeatPeriod(1.0));
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(-1), 0.4);
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(std::nan("")), 0.4);

    for (const auto& [speed, period] : {std::pair{0.0, 400ms}, std::pair{0.5, 230ms}, std::pair{1.0, 60ms}}) {
        SCOPED_TRACE(speed);
        map("K01", repeating(speed).id);
        press("K01");
        queue->advance(period - 1ms);
        EXPECT_EQ(sentKeys().size(), 1);
        queue->advance(1ms + period * 2);
        EXPECT_EQ(sentKeys().size(), 3);
        release("K01");
        queue->advance(period * 3);
        EXPECT_TRUE(sentKeys().isEmpty());
    }
}

TEST_F(RepeatOnHoldTest, OneTaskPerButtonOnlyForRepeatingToolsOnButtonsThatAllowIt)
{
    map("K01", repeating(1.0).id);
    map("K02", addTool(shortcut(1, "s")).id);
    map("K03", repeating(1.0).id);
    map("K04", addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, "2"), shortcut(20, "3")}, true, 1.0).id);
    press("K01");
    queue->advance(30ms);
    press("K01"); // sends once more; the running task and its timing stand
    press("K02");
    press("K03", /*holdRepeat=*/false);
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 1, 40}));
    EXPECT_EQ(model->repeatTaskCount(), 1u);
    queue->advance(30ms);
    EXPECT_EQ(sentKeys(), QList<int>{40});
    release("K01");
    release("K09"); // nothing repeats there: nothing happens
    queue->advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());

    // A held toggle tool cycles its steps, logging only the press.
    const qsizetype lines = dispatchLines().size();
    press("K04");
    queue->advance(240ms);
    EXPECT_EQ(sentKeys(), (QList<int>{18, 19, 20, 18, 19}));
    EXPECT_EQ(dispatchLines().size(), lines + 1);
}

TEST_F(RepeatOnHoldTest, ARepeatEndsAtOnceWhenItsButtonWouldSendSomethingElse)
{
    RadiologyTool tool = repeating(0.0);
    const RadiologyTool other = repeating(1.0, 50);
    const auto heldThenChanged = [&](const std::function<void()>& change) {
        map("K01", tool.id);
        press("K01");
        change();
        const bool stopped = !model->isRepeating(keypad, "K01");
        queue->advance(1s);
        release("K01");
        return stopped;
    };
    EXPECT_TRUE(heldThenChanged([&] { map("K01", other.id); }));
    EXPECT_TRUE(heldThenChanged([&] { store().removeMapping(keypad, "K01", activeUser().id); }));
    EXPECT_TRUE(heldThenChanged([&] { editTool(tool, [](RadiologyTool& t) { t.enabled = false; }); }));
    editTool(tool, [](RadiologyTool& t) { t.enabled = true; });
    EXPECT_TRUE(heldThenChanged([&] { store().createUserProfile("Second"); }));
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 40, 40}));

    // Switching repeat-on-hold off leaves the running repeat alone, and its speed is fixed at the press.
    EXPECT_FALSE(heldThenChanged([&] { editTool(tool, [](RadiologyTool& t) { t.repeatOnHoldEnabled = false, t.repeatSpeed = 1.0; }); }));
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 40}));

    // The held button's next press repeats its new tool; the model's end ends it too.
    map("K01", other.id);
    press("K01");
    model.reset();
    queue->advance(1s);
    EXPECT_EQ(sentKeys(), QList<int>{50});
}

} // namespace

TEST_F(RepeatOnHoldTest, ResendTimersOfEndedRepeatsServeLaterPressesOnTime)
{
    RadiologyTool tool = repeating(1.0);
    map("K01", tool.id);
    map("K03", repeating(0.0, 50).id);
    // Overlapping holds, each on its own period.
    press("K01");
    queue->advance(30ms);
    press("K03");
    queue->advance(30ms);
    EXPECT_EQ(sentKeys(), (QList<int>{40, 50, 40}));
    release("K01");
    queue->advance(370ms);
    EXPECT_EQ(sentKeys(), QList<int>{50});
    release("K03");

    // A repeat ended because its tool was switched off leaves its timer to the
    // next press, which resends one period later.
    press("K01");
    editTool(tool, [](RadiologyTool& t) { t.enabled = false; });
    queue->advance(60ms);
    EXPECT_EQ(model->repeatTaskCount(), 0u);
    editTool(tool, [](RadiologyTool& t) { t.enabled = true; });
    sentKeys();
    press("K01");
    queue->advance(59ms);
    EXPECT_EQ(sentKeys(), QList<int>{40});
    queue->advance(1ms);
    EXPECT_EQ(sentKeys(), QList<int>{40});
    release("K01");
    queue->advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());
}
