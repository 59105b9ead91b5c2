#pragma once

#include "model/KeyboardShortcut.h"
#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"
#include "platform/Published.h"
#include "ui/shared/Binding.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// The toggle editor: a working copy of a toggle tool's name, icon, steps and
// repeat settings. Nothing reaches the tool until save(), which hands the finished
// tool and its steps to onSave; the presenter stores it and closes the editor.
class ToggleEditorController {
public:
    using Step = std::optional<KeyboardShortcut>;

    // The symbol of a toggle whose symbol field is empty.
    static inline const QString defaultSymbol = QStringLiteral("arrow.2.squarepath");

    struct State {
        QString title;
        QString name;
        QString systemIcon;
        ToolIconSource iconSource = ToolIconSource::system;
        std::optional<QString> customIcon;
        QList<Step> steps; // an absent step is not recorded yet
        bool repeatOnHoldEnabled = false;
        double repeatSpeed = 0.5;
        ToolIconSelection currentSelection; // the working icon
        QString customIconLabel;            // what the custom icon row shows
    };

    // `steps` start as the tool's toggle steps (not its single shortcut).
    ToggleEditorController(RadiologyTool tool, QString title);
    ToggleEditorController(const ToggleEditorController&) = delete;
    ToggleEditorController& operator=(const ToggleEditorController&) = delete;

    const Published<State>& state() const { return state_; }

    void setName(const QString& name);
    void setSystemIcon(const QString& name);
    void setRepeatOnHoldEnabled(bool enabled);
    void setRepeatSpeed(double speed);
    // A symbol replaces the custom icon; a custom icon keeps the symbol as its fallback.
    void applyIconSelection(const ToolIconSelection& selection);

    void addStep();
    void removeStep(qsizetype index);
    // The step a row's recorder edits; a position no longer in the list reads as
    // absent and ignores writes.
    Binding<Step> stepBinding(qsizetype index);

    // Keeps the recorded steps with a key, in order, and reports the tool.
    void save();
    void cancel();

    std::function<void(const RadiologyTool& tool, const QList<KeyboardShortcut>& steps)> onSave;
    std::function<void()> onCancel;

private:
    State compute() const;
    void changed() { state_.set(compute()); }

    RadiologyTool tool_;
    QString title_;
    QString name_;
    QString systemIcon_;
    ToolIconSource iconSource_;
    std::optional<QString> customIcon_;
    QList<Step> steps_;
    bool repeatOnHoldEnabled_;
    double repeatSpeed_;
    Published<State> state_;
};

} // namespace velmor
