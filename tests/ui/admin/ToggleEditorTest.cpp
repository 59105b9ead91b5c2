#include "ui/admin/ToggleEditorController.h"

#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmor {
namespace {

using M = KeyboardShortcut::Modifiers;
const KeyboardShortcut a{0, "a", M::control};
const KeyboardShortcut b{11, "b", M{}};
const KeyboardShortcut noKey{122, "", M::shift};

struct Saved {
    RadiologyTool tool;
    QList<KeyboardShortcut> steps;
};

struct Editor {
    explicit Editor(RadiologyTool tool) : controller(std::move(tool), "Edit Toggle")
    {
        controller.onSave = [this](const RadiologyTool& tool, const QList<KeyboardShortcut>& steps) {
            saved = Saved{tool, steps};
        };
    }
    ToggleEditorController controller;
    std::optional<Saved> saved;
    const ToggleEditorController::State& state() const { return controller.state().get(); }
};

RadiologyTool toggleTool()
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Layout";
    tool.systemIcon = "square.grid.2x2";
    tool.enabled = false;
    tool.isFavorite = true;
    tool.category = ToolCategory::mammo;
    tool.shortcut = b;
    return tool;
}

TEST(ToggleEditor, StepsAreAddedRecordedAndRemovedByPosition)
{
    Editor editor(toggleTool());
    EXPECT_TRUE(editor.state().steps.isEmpty()) << "a tool's single shortcut is not a step";

    editor.controller.addStep();
    editor.controller.addStep();
    editor.controller.addStep();
    const Binding<ToggleEditorController::Step> third = editor.controller.stepBinding(2);
    editor.controller.stepBinding(0).set(a);
    third.set(b);
    editor.controller.stepBinding(7).set(a); // no such row
    EXPECT_EQ(editor.state().steps, (QList<ToggleEditorController::Step>{a, std::nullopt, b}));

    editor.controller.removeStep(1);
    EXPECT_EQ(editor.state().steps, (QList<ToggleEditorController::Step>{a, b}));
    EXPECT_FALSE(third.get()) << "a removed position reads as absent";
    third.set(a);
    EXPECT_EQ(editor.state().steps, (QList<ToggleEditorController::Step>{a, b}));

    // A cleared recorder leaves its row, absent, to be dropped on saving; so is a step without key text.
    editor.controller.stepBinding(1).set(std::nullopt);
    editor.controller.addStep();
    editor.controller.stepBinding(2).set(noKey);
    editor.controller.addStep();
    editor.controller.stepBinding(3).set(b);
    editor.controller.save();
    ASSERT_TRUE(editor.saved);
    EXPECT_EQ(editor.saved->steps, (QList<KeyboardShortcut>{a, b}));
    EXPECT_EQ(editor.saved->tool.toggleShortcuts, (QList<KeyboardShortcut>{a, b}));
    EXPECT_EQ(editor.saved->tool.shortcut, a);
    // Fields the editor does not show pass through.
    EXPECT_EQ(editor.saved->tool.category, ToolCategory::mammo);
    EXPECT_TRUE(editor.saved->tool.isFavorite);
    EXPECT_FALSE(editor.saved->tool.enabled);
}

TEST(ToggleEditor, SavingNoRecordedStepGivesAnEmptyToggleWithoutShortcut)
{
    RadiologyTool tool = toggleTool();
    tool.toggleShortcuts = QList<KeyboardShortcut>{a};
    Editor editor(tool);
    EXPECT_EQ(editor.state().steps, (QList<ToggleEditorController::Step>{a}));
    editor.controller.removeStep(0);
    editor.controller.addStep();
    editor.controller.save();
    ASSERT_TRUE(editor.saved);
    EXPECT_TRUE(editor.saved->steps.isEmpty());
    EXPECT_EQ(editor.saved->tool.toggleShortcuts, QList<KeyboardShortcut>{});
    EXPECT_FALSE(editor.saved->tool.shortcut);
}

TEST(ToggleEditor, IconChoicesKeepTheSymbolAsTheCustomIconsFallback)
{
    Editor editor(toggleTool());
    editor.controller.applyIconSelection({ToolIconSource::custom, "icons/ct.svg"});
    EXPECT_EQ(editor.state().currentSelection, (ToolIconSelection{ToolIconSource::custom, "icons/ct.svg"}));
    EXPECT_EQ(editor.state().customIconLabel, text::displayName("ct"));
    EXPECT_EQ(editor.state().systemIcon, "square.grid.2x2");
    editor.controller.save();
    EXPECT_EQ(editor.saved->tool.iconSource, ToolIconSource::custom);
    EXPECT_EQ(editor.saved->tool.systemIcon, "square.grid.2x2");

    editor.controller.applyIconSelection({ToolIconSource::system, "ruler"});
    EXPECT_FALSE(editor.state().customIcon);
    EXPECT_EQ(editor.state().customIconLabel, "No custom icon selected");

    // An emptied symbol field shows and saves the toggle symbol.
    editor.controller.setSystemIcon("");
    EXPECT_EQ(editor.state().currentSelection, (ToolIconSelection{ToolIconSource::system, "arrow.2.squarepath"}));
    editor.controller.save();
    EXPECT_EQ(editor.saved->tool.systemIcon, "arrow.2.squarepath");

    // A custom source without an icon is saved as the symbol.
    RadiologyTool custom = toggleTool();
    custom.iconSource = ToolIconSource::custom;
    custom.customIcon = "";
    Editor second(custom);
    EXPECT_EQ(second.state().currentSelection.source, ToolIconSource::system);
    second.controller.save();
    EXPECT_EQ(second.saved->tool.iconSource, ToolIconSource::system);
    EXPECT_FALSE(second.saved->tool.customIcon);
}

TEST(ToggleEditor, NameIsSavedAsTypedAndTheSpeedWithinRange)
{
    Editor editor(toggleTool());
    editor.controller.setName("  ");
    editor.controller.setRepeatOnHoldEnabled(true);
    editor.controller.setRepeatSpeed(1.7);
    editor.controller.save();
    EXPECT_EQ(editor.saved->tool.name, "  ");
    EXPECT_TRUE(editor.saved->tool.repeatOnHoldEnabled);
    EXPECT_EQ(editor.saved->tool.repeatSpeed, 1.0);

    editor.controller.setRepeatSpeed(0.3);
    editor.controller.setRepeatOnHoldEnabled(false);
    editor.controller.save();
    EXPECT_EQ(editor.saved->tool.repeatSpeed, 0.3) << "turning repeat off keeps the speed";
    editor.controller.setRepeatSpeed(std::nan(""));
    editor.controller.save();
    EXPECT_EQ(editor.saved->tool.repeatSpeed, 0.0);

    int cancelled = 0;
    editor.saved.reset();
    editor.controller.onCancel = [&] { ++cancelled; };
    editor.controller.cancel();
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(editor.saved);
}

} // namespace
} // namespace velmor
