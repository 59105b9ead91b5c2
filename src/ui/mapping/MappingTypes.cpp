#include "ui/mapping/MappingTypes.h"

namespace velmor {

QString toText(MappingMode mode)
{
    switch (mode) {
    case MappingMode::profiles:
        return QStringLiteral("profiles");
    case MappingMode::devices:
        return QStringLiteral("devices");
    case MappingMode::mappings:
        return QStringLiteral("mappings");
    case MappingMode::system:
        return QStringLiteral("system");
    }
    return {};
}

std::optional<MappingMode> mappingModeFromText(const QString& text)
{
    for (const MappingMode mode : allMappingModes)
        if (toText(mode) == text)
            return mode;
    return std::nullopt;
}

QList<RadiologyTool> ToolGroup::tools() const
{
    QList<RadiologyTool> copied;
    copied.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        copied.append(at(i));
    return copied;
}

bool keeps(ToolFilter filter, ToolCategory category)
{
    switch (filter) {
    case ToolFilter::all:
        return true;
    case ToolFilter::viewer:
        return category == ToolCategory::viewer;
    case ToolFilter::reporting:
        return category == ToolCategory::reporting;
    case ToolFilter::mammo:
        return category == ToolCategory::mammo;
    }
    return false;
}

} // namespace velmor
