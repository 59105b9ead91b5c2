#include "AppModelFixture.h"

using namespace velmor;
using namespace velmor::test;
using Mods = KeyboardShortcut::Modifiers;

namespace {

class ButtonDispatchTest : public AppModelFixture {
protected:
    ButtonDispatchTest() { start(); }
    QStringList dispatchLines() const { return logMessages().filter(QStringLiteral("Dispatch ")); }
};

} // namespace

TEST_F(ButtonDispatchTest, APressSendsTheFirstMappedToolAndOnlyEnabledToolsWithAShortcutSend)
{
    const RadiologyTool tool = addTool(shortcut(13, "w", Mods{Mods::shift, Mods::command}));
    RadiologyTool disabled = addTool(shortcut(6, "z"));
    const RadiologyTool noShortcut = addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(1, "")}, true);
    editTool(disabled, [](RadiologyTool& t) { t.enabled = false; });
    map("K02", disabled.id);
    map("K03", QUuid::createUuid());
    map("K04", noShortcut.id);
    store().userProfiles.mutate([&](QList<UserProfile>& profiles) {
        profiles.first().mappings.removeIf([](const ButtonMapping& m) { return m.buttonId == "K01"; });
        profiles.first().mappings.append({QUuid::createUuid(), keypad, "K01", tool.id});
        profiles.first().mappings.append({QUuid::createUuid(), keypad, "K01", disabled.id});
    });
    store().activeUserProfileId.set(store().userProfiles.get().first().id);

    for (const char* button : {"K02", "K03", "K04", "k01", "NONE"})
        press(button);
    EXPECT_TRUE(output.posts.isEmpty());
    EXPECT_TRUE(dispatchLines().isEmpty());
    EXPECT_EQ(model->repeatTaskCount(), 0u);

    press("K01");
    EXPECT_EQ(output.posts, (QList<keys::RecordingKeyOutput::Post>{{13, true, 0x120000, true}, {13, false, 0x120000, true}}));
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Tool (⇧⌘W)"});
    const QUuid pressId = model->lastEvent.get()->id;
    release("K01");
    EXPECT_EQ(model->lastEvent.get()->id, pressId) << "a release is no last event";
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
    editTool(toggle, [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(22, "a"), shortcut(23, "b")}; });
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
    editTool(toggle, [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(22, "a"), shortcut(23, "b")}; });
    press("K02");
    const ButtonMapping k02 = activeUser().mappings.last();
    store().removeMapping(keypad, "K02", activeUser().id);
    store().userProfiles.mutate([&](QList<UserProfile>& profiles) {
        for (UserProfile& profile : profiles)
            if (profile.id == store().activeUserProfileId.get())
                profile.mappings.append(k02);
    });
    press("K02");
    EXPECT_EQ(sentKeys(), (QList<int>{23, 22}));
}

TEST_F(ButtonDispatchTest, WhenNothingWasPostedTheLogSaysSo)
{
    map("K01", addTool(shortcut(35, "p"), std::nullopt, true, 1.0).id);
    model->shortcutExecutor().hasAccessibilityPermission.set(false);
    press("K01");
    EXPECT_TRUE(output.posts.isEmpty());
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Tool (P) not sent: Accessibility permission missing"});
    EXPECT_TRUE(model->isRepeating(keypad, "K01")) << "the press still counts; the hold repeats as usual";
    release("K01");

    model->shortcutExecutor().hasAccessibilityPermission.set(true);
    output.acceptDown = false;
    press("K01");
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Tool (P) not sent: the key output refused it");
}
