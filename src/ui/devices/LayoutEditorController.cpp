#include "ui/devices/LayoutEditorController.h"

#include "core/AppModel.h"

#include <algorithm>
#include <cmath>

namespace velmor {

QList<double> gridLinePositions(double from, double through, double step)
{
    QList<double> positions;
    if (!(step > 0) || !std::isfinite(step))
        return positions;
    bool reachedEnd = false;
    for (int i = 0;; ++i) {
        const double position = std::fma(i, step, from);
        if (position == through)
            reachedEnd = true;
        if (!(position < through))
            break;
        positions.append(position);
    }
    if (reachedEnd)
        positions.append(through);
    return positions;
}

namespace {
double clampPosition(double value, double size) { return std::max(std::min(value, 1 - size), 0.0); }
} // namespace

LayoutEditorController::LayoutEditorController(Device device, AppModel& model)
    : device_(std::move(device)), model_(model), state_([this] { return compute(); })
{
    state_.watch(model_.overlayOverrides());
    loadInitialState();
}

void LayoutEditorController::loadInitialState()
{
    frames_ = model_.overlayOverrides().get().value(device_.id);
    selectedButtonId_ = device_.buttons.isEmpty() ? std::nullopt : std::optional(device_.buttons.first().id);
    changed();
}

NormalizedRect LayoutEditorController::frame(qsizetype index) const
{
    return resolvedButtonFrame(device_, index, model_.overlayOverrides().get(), frames_);
}

std::optional<qsizetype> LayoutEditorController::indexOf(const QString& buttonId) const
{
    for (qsizetype index = 0; index < device_.buttons.size(); ++index)
        if (device_.buttons[index].id == buttonId)
            return index;
    return std::nullopt;
}

void LayoutEditorController::select(const QString& buttonId)
{
    if (selectedButtonId_ == buttonId)
        return;
    selectedButtonId_ = buttonId;
    changed();
}

void LayoutEditorController::setSnapEnabled(bool enabled)
{
    snapEnabled_ = enabled;
    changed();
}

void LayoutEditorController::setSnapPercent(int percent)
{
    // Whole percents: a step built by adding 0.01 would drift (0.1 vs 0.09999…).
    snapPercent_ = std::clamp(percent, minimumSnapPercent, maximumSnapPercent);
    changed();
}

void LayoutEditorController::drag(const QString& buttonId, const QSizeF& translation, const QSizeF& canvasSize,
                                  const NormalizedRect& rectAtStart)
{
    if (!(canvasSize.width() > 0) || !(canvasSize.height() > 0) || !std::isfinite(translation.width())
        || !std::isfinite(translation.height()))
        return;
    if (!dragStartFrames_.contains(buttonId))
        dragStartFrames_.insert(buttonId, rectAtStart);
    const NormalizedRect start = dragStartFrames_.value(buttonId);
    double x = clampPosition(start.x + translation.width() / canvasSize.width(), start.width);
    double y = clampPosition(start.y + translation.height() / canvasSize.height(), start.height);
    if (snapEnabled_) {
        const double step = snapStep();
        x = clampPosition(std::round(x / step) * step, start.width);
        y = clampPosition(std::round(y / step) * step, start.height);
    }
    frames_.insert(buttonId, NormalizedRect{x, y, start.width, start.height});
    changed();
}

void LayoutEditorController::commitDrag(const QString& buttonId)
{
    dragStartFrames_.remove(buttonId);
    std::optional<NormalizedRect> rect;
    if (const auto edited = frames_.constFind(buttonId); edited != frames_.constEnd())
        rect = *edited;
    else if (const std::optional<qsizetype> index = indexOf(buttonId))
        rect = model_.overlayFrame(device_.buttons[*index], device_.id);
    if (rect)
        model_.setOverlayFrame(*rect, buttonId, device_.id);
}

void LayoutEditorController::setWidth(double value, const QString& buttonId)
{
    const std::optional<qsizetype> index = indexOf(buttonId);
    if (!index || !std::isfinite(value))
        return;
    const NormalizedRect r = frame(*index);
    const double width = std::max(std::min(value, 1 - r.x), minimumButtonSize);
    // Near the right edge the smallest width no longer fits: move the button back in.
    store(buttonId, NormalizedRect{clampPosition(r.x, width), r.y, width, r.height});
}

void LayoutEditorController::setHeight(double value, const QString& buttonId)
{
    const std::optional<qsizetype> index = indexOf(buttonId);
    if (!index || !std::isfinite(value))
        return;
    const NormalizedRect r = frame(*index);
    const double height = std::max(std::min(value, 1 - r.y), minimumButtonSize);
    store(buttonId, NormalizedRect{r.x, clampPosition(r.y, height), r.width, height});
}

void LayoutEditorController::applyPreset(const LayoutSizePreset& preset, const QString& buttonId)
{
    const std::optional<qsizetype> index = indexOf(buttonId);
    if (!index)
        return;
    const NormalizedRect r = frame(*index);
    const double width = std::clamp(preset.width, minimumButtonSize, SizeFormatter::maximum);
    const double height = std::clamp(preset.height, minimumButtonSize, SizeFormatter::maximum);
    store(buttonId, NormalizedRect{clampPosition(r.x, width), clampPosition(r.y, height), width, height});
}

void LayoutEditorController::store(const QString& buttonId, const NormalizedRect& rect)
{
    frames_.insert(buttonId, rect);
    model_.setOverlayFrame(rect, buttonId, device_.id);
    changed();
}

void LayoutEditorController::resetLayout()
{
    model_.resetLayout(device_.id);
    frames_.clear();
    changed();
}

void LayoutEditorController::done()
{
    if (onDone)
        onDone();
}

LayoutEditorController::State LayoutEditorController::compute() const
{
    State state;
    state.deviceName = device_.name;
    state.snapEnabled = snapEnabled_;
    state.snapPercent = snapPercent_;
    state.snapLabel = QStringLiteral("Grid %1%").arg(snapPercent_);
    if (snapEnabled_)
        state.gridLines = gridLinePositions(0, 1, snapStep());
    const DeviceButtonRects& overrides = model_.overlayOverrides().get();
    for (qsizetype index = 0; index < device_.buttons.size(); ++index) {
        const DeviceButton& button = device_.buttons[index];
        const NormalizedRect rect = resolvedButtonFrame(device_, index, overrides, frames_);
        const bool selected = selectedButtonId_ == button.id;
        state.buttons.append(Button{button.id, button.displayLabel, rect, selected});
        if (selected && !state.selection) {
            Selection selection{index, button.id, button.displayLabel, rect, {}};
            for (const LayoutSizePreset& preset : LayoutSizePreset::builtIn())
                selection.activePresets.append(preset.matches(rect.width, rect.height));
            state.selection = selection;
        }
    }
    return state;
}

} // namespace velmor
