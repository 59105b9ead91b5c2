#include "ui/shared/ToolIcon.h"

namespace velmor {

ToolIconSelection toolIconSelection(const RadiologyTool& tool)
{
    if (tool.iconSource == ToolIconSource::custom && tool.customIcon && !tool.customIcon->isEmpty())
        return {ToolIconSource::custom, *tool.customIcon};
    return {ToolIconSource::system, tool.systemIcon};
}

ToolIconImage resolveToolIcon(const ToolIconSelection& selection, const std::optional<QString>& fallbackSystemName,
                              CustomIconLibrary& library)
{
    if (selection.source == ToolIconSource::system)
        return {std::nullopt, selection.name};
    if (std::optional<QImage> image = library.customIconImage(selection.name))
        return {std::move(image), {}};
    return {std::nullopt, fallbackSystemName.value_or(missingCustomIconSymbol)};
}

} // namespace velmor
