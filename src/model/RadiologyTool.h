#pragma once

#include "model/KeyboardShortcut.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <cstddef>
#include <optional>

namespace velmor {

// Grouping of tools in the tool lists; stored and shown as "Viewer", "Reporting", "Mammo".
enum class ToolCategory { viewer, reporting, mammo };

inline constexpr std::array<ToolCategory, 3> allToolCategories{
    ToolCategory::viewer, ToolCategory::reporting, ToolCategory::mammo};

QString toText(ToolCategory category);
// Exact, case-sensitive match of one of the texts.
std::optional<ToolCategory> toolCategoryFromText(const QString& text);

// Which icon a tool shows: its symbol ("system") or its custom SVG icon ("custom").
enum class ToolIconSource { system, custom };

QString toText(ToolIconSource source);
// Exact, case-sensitive match of one of the texts.
std::optional<ToolIconSource> toolIconSourceFromText(const QString& text);

// One entry of a PACS profile's tool list: an action of the radiology software
// that a device button can be mapped to. Mappings refer to it by `id`.
struct RadiologyTool {
    QUuid id;
    QString name;
    // Symbol name; also the fallback icon of a custom-icon tool.
    QString systemIcon;
    ToolIconSource iconSource = ToolIconSource::system;
    // File name in the custom-icons folder.
    std::optional<QString> customIcon;
    bool enabled = true;
    bool repeatOnHoldEnabled = false;
    // Fraction from 0 to 1.
    double repeatSpeed = 0.5;
    // For a toggle tool, its first step.
    std::optional<KeyboardShortcut> shortcut;
    // Steps of a toggle tool, sent in turn on successive presses.
    std::optional<QList<KeyboardShortcut>> toggleShortcuts;
    bool isFavorite = false;
    ToolCategory category = ToolCategory::viewer;

    // Toggle steps present and not empty.
    bool isToggle() const { return toggleShortcuts && !toggleShortcuts->isEmpty(); }

    // Texts compare as Unicode text (canonically equivalent forms are equal).
    bool operator==(const RadiologyTool& other) const;

    // Writes the fields as they are; an empty custom icon and empty toggle steps are left out.
    QJsonObject toJson() const;
    // Applies the reading defaults, clamps `repeatSpeed` into 0…1, stores empty
    // toggle steps as absent, and takes a custom icon without any "iconSource"
    // key as a custom-icon tool (data written before the key existed). A tool
    // without a category takes the one its name implies.
    static RadiologyTool fromJson(const QJsonValue& value, const QString& path = {});

    // The built-in catalogue of 67 tools, built once per process with fresh ids
    // that stay the same for the rest of the process.
    static QList<RadiologyTool> defaultTools();
};

size_t qHash(const RadiologyTool& tool, size_t seed = 0) noexcept;

} // namespace velmor
