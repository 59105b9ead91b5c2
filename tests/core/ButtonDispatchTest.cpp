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

TEST_F(ButtonDispatchTest, APressSendsTheMappedToolsShortcutAndLogsIt)
{
    const RadiologyTool tool = addTool("Close", shortcut(13, "w", Mods{Mods::shift, Mods::command}));
    map("K01", tool.id);

    press("K01");
    EXPECT_EQ(output.posts, (QList<keys::RecordingKeyOutput::Post>{{13, true, 0x120000, true}, {13, false, 0x120000, true}}));
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Close (⇧⌘W)"});
    ASSERT_TRUE(model->lastEvent.get());
    EXPECT_EQ(model->lastEvent.get()->buttonId, "K01");

    // A release changes neither the last event nor the output.
    const QUuid pressId = model->lastEvent.get()->id;
    output.posts.clear();
    release("K01");
    EXPECT_EQ(model->lastEvent.get()->id, pressId);
    EXPECT_TRUE(output.posts.isEmpty());
}

TEST_F(ButtonDispatchTest, NothingIsSentOrLoggedForUnmappedMissingOrDisabledTools)
{
    const RadiologyTool tool = addTool("Zoom", shortcut(6, "z"));
    const RadiologyTool noShortcut = addTool("Nothing", std::nullopt, QList<KeyboardShortcut>{shortcut(1, "")}, true);
    map("K02", tool.id);
    map("K03", QUuid::createUuid()); // a tool that no longer exists
    map("K04", noShortcut.id);
    editTool(tool.id, [](RadiologyTool& t) { t.enabled = false; });
    const int linesBefore = model->logs.get().size();

    press("K01");                                                           // unmapped
    press("K02");                                                           // disabled
    press("K03");                                                           // missing tool
    press("K04");                                                           // no usable shortcut
    model->handleButtonEvent(event("K02", true, true, "mouse_5_button"));  // other device
    model->handleButtonEvent(event("k02", true));                          // ids are case-sensitive

    EXPECT_TRUE(sentKeys().isEmpty());
    EXPECT_EQ(model->logs.get().size(), linesBefore);
    EXPECT_EQ(model->repeatTaskCount(), 0u);
    EXPECT_EQ(model->lastEvent.get()->buttonId, "k02") << "every press is the last event";
}

TEST_F(ButtonDispatchTest, OnlyTheFirstMappingOfAButtonCounts)
{
    const RadiologyTool first = addTool("First", shortcut(1, "s"));
    const RadiologyTool second = addTool("Second", shortcut(2, "d"));
    store().userProfiles.mutate([&](QList<UserProfile>& profiles) {
        for (UserProfile& profile : profiles)
            if (profile.id == store().activeUserProfileId.get()) {
                profile.mappings.removeIf([](const ButtonMapping& m) { return m.buttonId == "K05"; });
                profile.mappings.append({QUuid::createUuid(), keypad, "K05", first.id});
                profile.mappings.append({QUuid::createUuid(), keypad, "K05", second.id});
            }
    });
    press("K05");
    EXPECT_EQ(sentKeys(), QList<int>{1});
}

TEST_F(ButtonDispatchTest, ToggleToolsStepPerMappingAndLogTheStepSent)
{
    const QList<KeyboardShortcut> steps{shortcut(18, "1"), shortcut(19, ""), shortcut(20, "3"), shortcut(21, "4")};
    const RadiologyTool toggle = addTool("Window", shortcut(99, "x"), steps);
    map("K01", toggle.id);
    map("K02", toggle.id);

    for (int i = 0; i < 4; ++i)
        press("K01");
    press("K02");
    // The step without key text is skipped; the plain shortcut is not used while steps exist.
    EXPECT_EQ(sentKeys(), (QList<int>{18, 20, 21, 18, 18}));
    EXPECT_EQ(dispatchLines(), (QStringList{"Dispatch K01 → Window [step 1] (1)", "Dispatch K01 → Window [step 2] (3)",
                                            "Dispatch K01 → Window [step 3] (4)", "Dispatch K01 → Window [step 1] (1)",
                                            "Dispatch K02 → Window [step 1] (1)"}));

    // K01's counter now points at step 2 of 3; with one step left it wraps, and
    // the line names the step actually sent.
    press("K01");
    editTool(toggle.id, [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(22, "a"), shortcut(23, "b")}; });
    press("K01");
    press("K01");
    EXPECT_EQ(sentKeys(), (QList<int>{20, 22, 23}));
    EXPECT_EQ(dispatchLines().mid(5), (QStringList{"Dispatch K01 → Window [step 2] (3)", "Dispatch K01 → Window [step 1] (A)",
                                                   "Dispatch K01 → Window [step 2] (B)"}));

    // Steps that all lack key text leave the plain shortcut.
    editTool(toggle.id, [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{shortcut(24, "")}; });
    press("K01");
    EXPECT_EQ(sentKeys(), QList<int>{99});
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Window (X)");
}

TEST_F(ButtonDispatchTest, AMappingMadeAgainStartsAtTheFirstStep)
{
    const RadiologyTool toggle = addTool("Window", std::nullopt, QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, "2")});
    const ButtonMapping mapping = map("K01", toggle.id);
    press("K01");
    store().removeMapping(keypad, "K01", activeUser().id);
    // Put back with its old id (as an undo would): its counter went with it.
    store().userProfiles.mutate([&](QList<UserProfile>& profiles) {
        for (UserProfile& profile : profiles)
            if (profile.id == store().activeUserProfileId.get())
                profile.mappings.append(mapping);
    });
    press("K01");
    EXPECT_EQ(sentKeys(), (QList<int>{18, 18}));
}

TEST_F(ButtonDispatchTest, WithoutPermissionTheLogSaysNothingWasSent)
{
    const RadiologyTool tool = addTool("Pan", shortcut(35, "p"), std::nullopt, true, 1.0);
    map("K01", tool.id);
    model->shortcutExecutor().hasAccessibilityPermission.set(false);

    press("K01");
    EXPECT_TRUE(output.posts.isEmpty());
    EXPECT_EQ(dispatchLines(), QStringList{"Dispatch K01 → Pan (P) not sent: Accessibility permission missing"});
    EXPECT_TRUE(model->isRepeating(keypad, "K01")) << "the press still counts; the hold repeats as usual";
    release("K01");

    // Permission granted but the key output refuses the event.
    model->shortcutExecutor().hasAccessibilityPermission.set(true);
    output.acceptDown = false;
    press("K01");
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Pan (P) not sent: the key output refused it");
}
