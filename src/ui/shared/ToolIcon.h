#pragma once

#include "model/CustomIconLibrary.h"
#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"

#include <QImage>
#include <QString>

#include <optional>

namespace velmor {

// The icon a tool shows: its custom icon when it has chosen one by name, else its symbol.
ToolIconSelection toolIconSelection(const RadiologyTool& tool);

// What a tool icon draws: a custom image (used for its shape only, in the
// foreground colour) or a symbol.
struct ToolIconImage {
    std::optional<QImage> customImage;
    QString symbol; // when there is no custom image

    bool operator==(const ToolIconImage&) const = default;
};

// The symbol drawn for a custom icon that cannot be loaded and has no fallback.
inline const QString missingCustomIconSymbol = QStringLiteral("questionmark.square");

// A system selection draws its own symbol. A custom one draws the library's image
// of that file name, else `fallbackSystemName` (even an empty one), else
// missingCustomIconSymbol.
ToolIconImage resolveToolIcon(const ToolIconSelection& selection, const std::optional<QString>& fallbackSystemName,
                              CustomIconLibrary& library = CustomIconLibrary::shared());

} // namespace velmor
