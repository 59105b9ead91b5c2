#pragma once

#include "model/Device.h"
#include "model/DeviceButton.h"
#include "model/NormalizedRect.h"

#include <QHash>
#include <QRectF>
#include <QString>

namespace velmor {

// Button geometry shared by the layout editor and the mapping window's device
// canvas, so a button sits and reads the same in both.

// Button id → rectangle on one device's layout canvas.
using ButtonRects = QHash<QString, NormalizedRect>;
// Device id → its buttons' rectangles (the shape of AppModel's layout overrides).
using DeviceButtonRects = QHash<QString, ButtonRects>;

// The place of a button that has no stored rectangle: reading order on a grid of
// five columns inside a margin of 0.04, the rows sharing 0.92 of the height.
// `index` is the button's position in the device's list, `count` the list's
// length; an index beyond the count simply continues the grid.
NormalizedRect defaultButtonFrame(qsizetype index, qsizetype count);

// The rectangle of `device.buttons[index]`, first of: the editor's own `edits`,
// the device's layout override, the button's own frame, the default grid frame.
// The mapping canvas passes no edits.
NormalizedRect resolvedButtonFrame(const Device& device, qsizetype index, const DeviceButtonRects& overrides,
                                   const ButtonRects& edits = {});

// The text drawn on a button shown at `rect` (points): the whole label when the
// rectangle is at least 70 × 28, else a short form of at most four characters.
QString compactButtonLabel(const DeviceButton& button, const QRectF& rect);

// width / height for drawing a layout shape; 1.0 when that is not a finite
// positive number (a zero, negative or broken size from a file).
double layoutRatio(double width, double height);

} // namespace velmor
