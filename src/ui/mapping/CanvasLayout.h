#pragma once

#include "core/LayoutOverrides.h"
#include "model/ButtonMapping.h"
#include "model/Device.h"
#include "model/NormalizedRect.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// The device canvas's geometry and what each button on it shows.
namespace velmor::canvasLayout {

// Width over height of the canvas: the extent of the buttons' rectangles
// (right edge over bottom edge), kept within 0.6…1.8; 1.0 without buttons.
double aspectRatio(const Device& device, const LayoutOverrides& overrides);

// The canvas of ratio `ratio` fitted into `offered` and centred in it.
QRectF canvasRect(const QSizeF& offered, double ratio);

// A button's rectangle in points on a canvas of `canvas` size.
QRectF pointRect(const NormalizedRect& frame, const QSizeF& canvas);

// Buttons at least 70 × 34 points show their tool's name under the label.
bool showsToolName(const QRectF& rect);

// How a button is filled and outlined.
enum class Look { selected, mapped, unmapped };

// One button of the canvas, in drawing order.
struct Button {
    DeviceButton button;
    NormalizedRect frame;                 // override, else own frame, else the default grid
    std::optional<ButtonMapping> mapping; // the first mapping on the button
    std::optional<RadiologyTool> tool;    // the mapping's tool, when the PACS profile has it
    bool selected = false;
    bool pressed = false;                 // glows for a moment after a hardware press

    Look look() const { return selected ? Look::selected : mapping ? Look::mapped : Look::unmapped; }
    bool operator==(const Button&) const = default;
};

struct Inputs {
    const Device& device;
    const LayoutOverrides& overrides;
    const QHash<QString, ButtonMapping>& mappings; // the first of the active device's on each button
    const PacsProfile& pacs;
    const std::optional<QString>& selectedButtonId;
    const std::optional<QString>& pressedButtonId;
};

QList<Button> buttons(const Inputs& inputs);

// The topmost button under `point` (canvas coordinates): later buttons lie on
// top; -1 for none.
qsizetype buttonAt(const QList<Button>& buttons, const QSizeF& canvas, const QPointF& point);

} // namespace velmor::canvasLayout
