#include "model/RadiologyTool.h"

#include "model/ToolCategoryNames.h"
#include "platform/Json.h"
#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

QString toText(ToolCategory category)
{
    switch (category) {
    case ToolCategory::viewer: return QStringLiteral("Viewer");
    case ToolCategory::reporting: return QStringLiteral("Reporting");
    case ToolCategory::mammo: return QStringLiteral("Mammo");
    }
    return {};
}

std::optional<ToolCategory> toolCategoryFromText(const QString& text)
{
    for (const ToolCategory category : allToolCategories) {
        if (toText(category) == text)
            return category;
    }
    return std::nullopt;
}

QString toText(ToolIconSource source)
{
    return source == ToolIconSource::custom ? QStringLiteral("custom") : QStringLiteral("system");
}

std::optional<ToolIconSource> toolIconSourceFromText(const QString& text)
{
    for (const ToolIconSource source : {ToolIconSource::system, ToolIconSource::custom}) {
        if (toText(source) == text)
            return source;
    }
    return std::nullopt;
}

namespace {

bool optionalTextEqual(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || text::canonicallyEqual(*a, *b);
}

template <typename T, typename FromText>
T enumFromJson(const json::ObjectReader& reader, const QString& key, FromText fromText, T fallback)
{
    const auto text = reader.optionalString(key);
    if (!text)
        return fallback;
    const auto value = fromText(*text);
    if (!value)
        json::fail(reader.pathOf(key), QStringLiteral("unknown value \"%1\"").arg(text->left(64)));
    return *value;
}

} // namespace

bool RadiologyTool::operator==(const RadiologyTool& other) const
{
    return id == other.id && text::canonicallyEqual(name, other.name)
        && text::canonicallyEqual(systemIcon, other.systemIcon) && iconSource == other.iconSource
        && optionalTextEqual(customIcon, other.customIcon) && enabled == other.enabled
        && repeatOnHoldEnabled == other.repeatOnHoldEnabled && repeatSpeed == other.repeatSpeed
        && shortcut == other.shortcut && toggleShortcuts == other.toggleShortcuts
        && isFavorite == other.isFavorite && category == other.category;
}

QJsonObject RadiologyTool::toJson() const
{
    json::ObjectWriter writer;
    writer.set("id", id)
        .set("name", name)
        .set("systemIcon", systemIcon)
        .set("iconSource", toText(iconSource));
    if (customIcon && !customIcon->isEmpty())
        writer.set("customIcon", *customIcon);
    writer.set("enabled", enabled).set("repeatOnHoldEnabled", repeatOnHoldEnabled).set("repeatSpeed", repeatSpeed);
    if (shortcut)
        writer.set("shortcut", shortcut->toJson());
    if (isToggle())
        writer.set("toggleShortcuts", json::encodeList(*toggleShortcuts));
    writer.set("isFavorite", isFavorite).set("category", toText(category));
    return writer.take();
}

RadiologyTool RadiologyTool::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    RadiologyTool tool;
    tool.id = reader.uuid("id");
    tool.name = reader.string("name");
    tool.systemIcon = reader.string("systemIcon");
    tool.iconSource = enumFromJson(reader, "iconSource", &toolIconSourceFromText, ToolIconSource::system);
    tool.customIcon = reader.optionalString("customIcon");
    tool.enabled = reader.boolean("enabled");
    tool.repeatOnHoldEnabled = reader.optionalBool("repeatOnHoldEnabled").value_or(false);

    const double speed = reader.optionalNumber("repeatSpeed").value_or(0.5);
    tool.repeatSpeed = speed <= 0 ? 0.0 : (speed > 1 ? 1.0 : speed);

    tool.shortcut = reader.decodeOptional<KeyboardShortcut>("shortcut");
    if (const auto steps = reader.optional("toggleShortcuts")) {
        auto list = json::ObjectReader::decodeArray<KeyboardShortcut>(*steps, reader.pathOf("toggleShortcuts"));
        if (!list.isEmpty())
            tool.toggleShortcuts = std::move(list);
    }
    tool.isFavorite = reader.optionalBool("isFavorite").value_or(false);
    // A category stored is the user's; data without one (older or hand-written) gets the one its name implies.
    tool.category = reader.has("category")
                        ? enumFromJson(reader, "category", &toolCategoryFromText, ToolCategory::viewer)
                        : categoryForToolName(tool.name);

    // Older data named a custom icon without saying which icon to show. An
    // explicit null "iconSource" still counts as said.
    if (tool.iconSource == ToolIconSource::system && tool.customIcon && !tool.customIcon->isEmpty()
        && !reader.raw().contains(QStringLiteral("iconSource")))
        tool.iconSource = ToolIconSource::custom;
    return tool;
}

size_t qHash(const RadiologyTool& tool, size_t seed) noexcept
{
    size_t h = qHashMulti(seed, tool.id, text::canonicalForm(tool.name), text::canonicalForm(tool.systemIcon),
                          toText(tool.iconSource));
    h = qHashMulti(h, tool.customIcon.has_value());
    if (tool.customIcon)
        h = qHashMulti(h, text::canonicalForm(*tool.customIcon));
    // -0.0 and 0.0 are equal, so they must hash alike.
    const double speed = tool.repeatSpeed == 0.0 ? 0.0 : tool.repeatSpeed;
    h = qHashMulti(h, tool.enabled, tool.repeatOnHoldEnabled, speed, tool.shortcut.has_value());
    if (tool.shortcut)
        h = qHashMulti(h, *tool.shortcut);
    h = qHashMulti(h, tool.toggleShortcuts.has_value());
    if (tool.toggleShortcuts) {
        h = qHashMulti(h, tool.toggleShortcuts->size());
        for (const KeyboardShortcut& step : *tool.toggleShortcuts)
            h = qHashMulti(h, step);
    }
    return qHashMulti(h, tool.isFavorite, toText(tool.category));
}

} // namespace velmor
