#pragma once

#include "model/RadiologyTool.h"

#include <QString>

#include <cstddef>

namespace velmor {

// The icon a tool view or the icon picker shows: a symbol name for `system`, a
// custom icon's file name for `custom`.
struct ToolIconSelection {
    ToolIconSource source = ToolIconSource::system;
    QString name;

    // Names compare as Unicode text, like the tool fields they come from.
    bool operator==(const ToolIconSelection& other) const;
};

// The source by its text ("system", "custom"), then the name.
size_t qHash(const ToolIconSelection& selection, size_t seed = 0) noexcept;

} // namespace velmor
