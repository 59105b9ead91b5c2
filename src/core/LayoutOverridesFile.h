#pragma once

#include "core/LayoutOverrides.h"

#include <QByteArray>

namespace velmor {

// The document of "layout_overrides.json":
//   {"<device id>": {"<button id>": {"height": …, "width": …, "x": …, "y": …}, …}, …}
// pretty-printed with sorted keys.
struct LayoutOverridesFile {
    // Throws std::invalid_argument when a rectangle has a component that is not finite.
    static QByteArray encode(const LayoutOverrides& overrides);
    // Throws json::DecodeError unless every part of the document has its shape.
    static LayoutOverrides decode(const QByteArray& bytes);
};

} // namespace velmor
