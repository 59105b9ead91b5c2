#include "ui/admin/ToggleEditorController.h"
#include "platform/Text.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace velmor {

namespace {

bool hasCustomIcon(const std::optional<QString>& customIcon) { return customIcon && !customIcon->isEmpty(); }

} // namespace

ToggleEditorController::ToggleEditorController(RadiologyTool tool, QString title)
    : tool_(std::move(tool)),
      title_(std::move(title)),
      name_(tool_.name),
      systemIcon_(tool_.systemIcon),
      iconSource_(tool_.iconSource),
      customIcon_(tool_.customIcon),
      repeatOnHoldEnabled_(tool_.repeatOnHoldEnabled),
      repeatSpeed_(tool_.repeatSpeed),
      state_(State{})
{
    for (const KeyboardShortcut& step : tool_.toggleShortcuts.value_or(QList<KeyboardShortcut>{}))
        steps_.append(step);
    changed();
}

ToggleEditorController::State ToggleEditorController::compute() const
{
    State state;
    state.title = title_;
    state.name = name_;
    state.systemIcon = systemIcon_;
    state.iconSource = iconSource_;
    state.customIcon = customIcon_;
    state.steps = steps_;
    state.repeatOnHoldEnabled = repeatOnHoldEnabled_;
    state.repeatSpeed = repeatSpeed_;
    if (iconSource_ == ToolIconSource::custom && hasCustomIcon(customIcon_))
        state.currentSelection = {ToolIconSource::custom, *customIcon_};
    else
        state.currentSelection = {ToolIconSource::system, systemIcon_.isEmpty() ? defaultSymbol : systemIcon_};
    state.customIconLabel = hasCustomIcon(customIcon_) ? text::displayName(QFileInfo(*customIcon_).completeBaseName())
                                                        : QStringLiteral("No custom icon selected");
    return state;
}

void ToggleEditorController::setName(const QString& name)
{
    name_ = name;
    changed();
}

void ToggleEditorController::setSystemIcon(const QString& name)
{
    systemIcon_ = name;
    changed();
}

void ToggleEditorController::setRepeatOnHoldEnabled(bool enabled)
{
    repeatOnHoldEnabled_ = enabled;
    changed();
}

void ToggleEditorController::setRepeatSpeed(double speed)
{
    repeatSpeed_ = speed;
    changed();
}

void ToggleEditorController::applyIconSelection(const ToolIconSelection& selection)
{
    if (selection.source == ToolIconSource::system) {
        iconSource_ = ToolIconSource::system;
        systemIcon_ = selection.name;
        customIcon_.reset();
    } else {
        iconSource_ = ToolIconSource::custom;
        customIcon_ = selection.name;
    }
    changed();
}

void ToggleEditorController::addStep()
{
    steps_.append(std::nullopt);
    changed();
}

void ToggleEditorController::removeStep(qsizetype index)
{
    if (index < 0 || index >= steps_.size())
        return;
    steps_.removeAt(index);
    changed();
}

Binding<ToggleEditorController::Step> ToggleEditorController::stepBinding(qsizetype index)
{
    return Binding<Step>(
        [this, index]() -> Step { return index >= 0 && index < steps_.size() ? steps_[index] : std::nullopt; },
        [this, index](const Step& step) {
            if (index < 0 || index >= steps_.size())
                return;
            steps_[index] = step;
            changed();
        });
}

void ToggleEditorController::save()
{
    QList<KeyboardShortcut> steps;
    for (const Step& step : steps_)
        if (step && !step->key.isEmpty())
            steps.append(*step);

    RadiologyTool tool = tool_;
    tool.name = name_;
    tool.systemIcon = systemIcon_.isEmpty() ? defaultSymbol : systemIcon_;
    if (iconSource_ == ToolIconSource::custom && hasCustomIcon(customIcon_)) {
        tool.iconSource = ToolIconSource::custom;
        tool.customIcon = customIcon_;
    } else {
        tool.iconSource = ToolIconSource::system;
        tool.customIcon.reset();
    }
    tool.toggleShortcuts = steps;
    tool.shortcut = steps.isEmpty() ? std::nullopt : std::optional<KeyboardShortcut>(steps.front());
    tool.repeatOnHoldEnabled = repeatOnHoldEnabled_;
    tool.repeatSpeed = std::isnan(repeatSpeed_) ? 0.0 : std::clamp(repeatSpeed_, 0.0, 1.0);
    // The presenter may close the editor from the callback: call a copy.
    if (const auto callback = onSave)
        callback(tool, steps);
}

void ToggleEditorController::cancel()
{
    if (const auto callback = onCancel)
        callback();
}

} // namespace velmor
