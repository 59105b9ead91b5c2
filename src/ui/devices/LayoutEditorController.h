#pragma once

#include "model/Device.h"
#include "model/NormalizedRect.h"
#include "platform/Published.h"
#include "ui/devices/LayoutPresets.h"
#include "ui/shared/ButtonFrames.h"
#include "ui/shared/DerivedState.h"

#include <QList>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

class AppModel;

// Grid-line positions from `from` through `through` by `step`, each computed in
// one rounding (from + i × step), taken while below `through`; `through` itself
// ends the list when some position hits it exactly.
QList<double> gridLinePositions(double from, double through, double step);

// The layout editor of one device: where each button sits, the selection, the
// snap grid and the edits. Drags change only the editor's own rectangles; the
// end of a drag, a size change and a preset store the button's rectangle as a
// layout override in AppModel (which saves it). Geometry is in canvas fractions.
class LayoutEditorController {
public:
    static constexpr int minimumSnapPercent = 2;
    static constexpr int maximumSnapPercent = 12;
    static constexpr double minimumButtonSize = 0.04;

    struct Button {
        QString id;
        QString displayLabel;
        NormalizedRect rect;
        bool selected = false;
        bool operator==(const Button&) const = default;
    };
    struct Selection {
        qsizetype index = 0;
        QString id;
        QString displayLabel;
        NormalizedRect rect;
        // One flag per built-in preset, in order: the button already has that size.
        QList<bool> activePresets;
        bool operator==(const Selection&) const = default;
    };
    struct State {
        QString deviceName;
        // Every button of the device, in drawing order, at its effective rectangle.
        QList<Button> buttons;
        // None while nothing (or a button the device lacks) is selected.
        std::optional<Selection> selection;
        bool snapEnabled = true;
        int snapPercent = 4;
        // "Grid 4%"
        QString snapLabel;
        // Empty while snapping is off.
        QList<double> gridLines;
        bool operator==(const State&) const = default;
    };

    // Loads the device's overrides and selects its first button, as each time
    // the editor comes on screen.
    LayoutEditorController(Device device, AppModel& model);
    LayoutEditorController(const LayoutEditorController&) = delete;
    LayoutEditorController& operator=(const LayoutEditorController&) = delete;

    const Published<State>& state() const { return state_.published(); }
    const Device& device() const { return device_; }
    double snapStep() const { return snapPercent_ / 100.0; }
    const std::optional<QString>& selectedButtonId() const { return selectedButtonId_; }
    // The editor's own rectangles (loaded overrides and edits since).
    const ButtonRects& frames() const { return frames_; }

    // "Done": the owner decides what closing means.
    std::function<void()> onDone;

    void loadInitialState();
    // The rectangle the editor shows for the button at `index` of the device.
    NormalizedRect frame(qsizetype index) const;

    void select(const QString& buttonId);
    void setSnapEnabled(bool enabled);
    // Between 2 and 12 percent; other values are brought into that range.
    void setSnapPercent(int percent);

    // One change of a drag: `translation` is the total movement in points since
    // the drag began, `canvasSize` the canvas in points, `rectAtStart` the
    // button's rectangle when the drag began (used only for its first change).
    void drag(const QString& buttonId, const QSizeF& translation, const QSizeF& canvasSize,
              const NormalizedRect& rectAtStart);
    // The end of a drag: stores the button's rectangle as its override.
    void commitDrag(const QString& buttonId);
    void setWidth(double value, const QString& buttonId);
    void setHeight(double value, const QString& buttonId);
    void applyPreset(const LayoutSizePreset& preset, const QString& buttonId);
    // Drops the device's overrides for the bundle's layout (if any) and the editor's edits.
    void resetLayout();
    void done();

private:
    State compute() const;
    std::optional<qsizetype> indexOf(const QString& buttonId) const;
    void store(const QString& buttonId, const NormalizedRect& rect);
    void changed() { state_.refreshNow(); }

    const Device device_;
    AppModel& model_;
    ButtonRects frames_;
    ButtonRects dragStartFrames_;
    std::optional<QString> selectedButtonId_;
    bool snapEnabled_ = true;
    int snapPercent_ = 4;
    DerivedState<State> state_;
};

} // namespace velmor
