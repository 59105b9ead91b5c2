#pragma once

#include "input/DeviceButtonEvent.h"
#include "model/ButtonMapping.h"
#include "model/RadiologyTool.h"
#include "ui/shared/ActionError.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <functional>
#include <optional>
#include <utility>

// The small value types of the mapping window.
namespace velmor {

// The modes of the mode rail, in rail order; each chooses a context panel.
enum class MappingMode { profiles, devices, mappings, system };

inline constexpr std::array<MappingMode, 4> allMappingModes{MappingMode::profiles, MappingMode::devices,
                                                            MappingMode::mappings, MappingMode::system};

// "profiles", "devices", "mappings", "system".
QString toText(MappingMode mode);
// Exactly one of the texts above; any other text gives none.
std::optional<MappingMode> mappingModeFromText(const QString& text);

// The category filter of the tool list, in picker order.
enum class ToolFilter { all, viewer, reporting, mammo };

inline constexpr std::array<ToolFilter, 4> allToolFilters{ToolFilter::all, ToolFilter::viewer, ToolFilter::reporting,
                                                          ToolFilter::mammo};

// True when the filter keeps tools of `category` (all keeps every tool).
bool keeps(ToolFilter filter, ToolCategory category);

// The pending "Replace mapping?" question: `event` names the device button,
// `existingTool` is on it now, `newTool` is the one the user picked.
struct ConflictPrompt {
    DeviceButtonEvent event;
    RadiologyTool existingTool;
    RadiologyTool newTool;
};

// The one-step undo record of the last assignment: the mapping the button had
// before it, none when it had none.
struct LastMapping {
    QString deviceId;
    QString buttonId;
    std::optional<ButtonMapping> previous;

    bool operator==(const LastMapping&) const = default;
};

// One row of the current-mappings list: a mapping of the active device and the
// tool it names. Identified by the mapping's id.
struct MappingEntry {
    ButtonMapping mapping;
    RadiologyTool tool;

    QUuid id() const { return mapping.id; }
    bool operator==(const MappingEntry&) const = default;
};

// One titled group of the tool list ("⭐ Favorites", "Viewer", "Reporting", "Mammo"):
// tools of a list, kept as their places in that list (shared, not copied), so that
// grouping many tools costs little.
class ToolGroup {
public:
    // All of `tools`.
    ToolGroup(QString title, QList<RadiologyTool> tools) : title(std::move(title)), list_(std::move(tools)) {}
    // The tools of `list` at `places`, in that order.
    ToolGroup(QString title, QList<RadiologyTool> list, QList<qsizetype> places)
        : title(std::move(title)), list_(std::move(list)), places_(std::move(places))
    {
    }

    qsizetype size() const { return places_ ? places_->size() : list_.size(); }
    const RadiologyTool& at(qsizetype i) const { return list_.at(places_ ? places_->at(i) : i); }
    // The group's tools, copied.
    QList<RadiologyTool> tools() const;

    bool operator==(const ToolGroup&) const = default;

    QString title;

private:
    QList<RadiologyTool> list_;
    std::optional<QList<qsizetype>> places_;
};

} // namespace velmor
