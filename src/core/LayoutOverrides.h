#pragma once

#include "model/NormalizedRect.h"

#include <QHash>
#include <QString>

namespace velmor {

// Button rectangles that differ from the device templates: device id → button id → rectangle.
using LayoutOverrides = QHash<QString, QHash<QString, NormalizedRect>>;

} // namespace velmor
