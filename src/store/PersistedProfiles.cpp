#include "store/PersistedProfiles.h"

#include "platform/Json.h"
#include "platform/JsonParts.h"
#include "platform/JsonWriter.h"

#include <QHash>
#include <algorithm>
#include <QJsonArray>

namespace velmor {

using namespace Qt::Literals::StringLiterals;

namespace {

// Each writer below lists the keys in ascending order, the order of the keys
// that toJson() of the same type writes.

template <typename T>
void writeOptional(json::TextWriter& out, QLatin1StringView key, const std::optional<T>& value)
{
    if (value)
        out.key(key).value(*value);
}

template <typename T, typename Write>
void writeList(json::TextWriter& out, const QList<T>& items, Write write)
{
    out.beginArray();
    for (const T& item : items)
        write(out, item);
    out.endArray();
}

void writeShortcut(json::TextWriter& out, const KeyboardShortcut& shortcut)
{
    out.beginObject();
    out.key("key"_L1).value(shortcut.key);
    out.key("keyCode"_L1).value(static_cast<int>(shortcut.keyCode));
    out.key("modifiers"_L1).value(static_cast<qint64>(shortcut.modifiers.rawValue()));
    out.endObject();
}

void writeTool(json::TextWriter& out, const RadiologyTool& tool)
{
    out.beginObject();
    out.key("category"_L1).value(toText(tool.category));
    if (tool.customIcon && !tool.customIcon->isEmpty())
        out.key("customIcon"_L1).value(*tool.customIcon);
    out.key("enabled"_L1).value(tool.enabled);
    out.key("iconSource"_L1).value(toText(tool.iconSource));
    out.key("id"_L1).value(tool.id);
    out.key("isFavorite"_L1).value(tool.isFavorite);
    out.key("name"_L1).value(tool.name);
    out.key("repeatOnHoldEnabled"_L1).value(tool.repeatOnHoldEnabled);
    out.key("repeatSpeed"_L1).value(tool.repeatSpeed);
    if (tool.shortcut) {
        out.key("shortcut"_L1);
        writeShortcut(out, *tool.shortcut);
    }
    out.key("systemIcon"_L1).value(tool.systemIcon);
    if (tool.isToggle()) {
        out.key("toggleShortcuts"_L1);
        writeList(out, *tool.toggleShortcuts, &writeShortcut);
    }
    out.endObject();
}

void writePacsProfile(json::TextWriter& out, const PacsProfile& profile)
{
    out.beginObject();
    writeOptional(out, "defaultLightingHex"_L1, profile.defaultLightingHex);
    out.key("id"_L1).value(profile.id);
    out.key("name"_L1).value(profile.name);
    out.key("tools"_L1);
    writeList(out, profile.tools, &writeTool);
    out.endObject();
}

void writeMapping(json::TextWriter& out, const ButtonMapping& mapping)
{
    out.beginObject();
    out.key("buttonId"_L1).value(mapping.buttonId);
    out.key("deviceId"_L1).value(mapping.deviceId);
    out.key("id"_L1).value(mapping.id);
    out.key("toolId"_L1).value(mapping.toolId);
    out.endObject();
}

void writeUserProfile(json::TextWriter& out, const UserProfile& profile)
{
    out.beginObject();
    out.key("id"_L1).value(profile.id);
    writeOptional(out, "lightingHex"_L1, profile.lightingHex);
    out.key("mappings"_L1);
    writeList(out, profile.mappings, &writeMapping);
    out.key("name"_L1).value(profile.name);
    out.key("pacsProfileId"_L1).value(profile.pacsProfileId);
    writeOptional(out, "selectedDeviceId"_L1, profile.selectedDeviceId);
    out.endObject();
}

void writeRemovals(json::TextWriter& out, const BuiltInRemovals& removals)
{
    using Entry = BuiltInRemovals::Entry;
    const QList<Entry>& entries = removals.entries();
    const auto isProfile = [](const Entry& e) { return e.pacsProfileId.isNull(); };
    const auto firstTool = std::find_if_not(entries.cbegin(), entries.cend(), isProfile);
    out.beginObject();
    if (firstTool != entries.cbegin()) {
        out.key("pacsProfiles"_L1).beginArray();
        std::for_each(entries.cbegin(), firstTool, [&](const Entry& e) { out.value(e.name); });
        out.endArray();
    }
    if (firstTool != entries.cend()) {
        out.key("tools"_L1).beginArray();
        std::for_each(firstTool, entries.cend(), [&](const Entry& e) {
            out.beginObject();
            out.key("name"_L1).value(e.name);
            out.key("pacsProfileId"_L1).value(e.pacsProfileId);
            out.endObject();
        });
        out.endArray();
    }
    out.endObject();
}

} // namespace

QByteArray PersistedProfiles::encode(qsizetype expectedSize) const
{
    json::TextWriter out(expectedSize);
    out.beginObject();
    writeOptional(out, "activePacsProfileId"_L1, activePacsProfileId);
    writeOptional(out, "activeUserProfileId"_L1, activeUserProfileId);
    out.key("pacsProfiles"_L1);
    writeList(out, pacsProfiles, &writePacsProfile);
    if (!removedBuiltIns.isEmpty()) {
        out.key("removedBuiltIns"_L1);
        writeRemovals(out, removedBuiltIns);
    }
    out.key("userProfiles"_L1);
    writeList(out, userProfiles, &writeUserProfile);
    out.key("version"_L1).value(version);
    out.endObject();
    return out.take();
}

QJsonObject PersistedProfiles::toJson() const
{
    json::ObjectWriter writer;
    writer.set("version", version)
        .setOptional("activePacsProfileId", activePacsProfileId)
        .setOptional("activeUserProfileId", activeUserProfileId)
        .set("pacsProfiles", json::encodeList(pacsProfiles))
        .set("userProfiles", json::encodeList(userProfiles));
    if (!removedBuiltIns.isEmpty())
        writer.set("removedBuiltIns", removedBuiltIns.toJson());
    return writer.take();
}

std::optional<PersistedProfiles> PersistedProfiles::decodeInParts(const QByteArray& text)
{
    const std::optional<QList<json::Member>> members = json::splitObject(text);
    if (!members)
        return std::nullopt;
    try {
        // The root without its lists decodes as a whole, lists left empty; a
        // later member of the same name wins, as in a parsed object.
        QJsonObject root;
        QHash<QString, QByteArray> lists;
        for (const json::Member& member : *members) {
            const bool isList = member.key == "pacsProfiles"_L1 || member.key == "userProfiles"_L1;
            if (isList && member.value.startsWith('[')) {
                lists.insert(member.key, member.value);
                root.insert(member.key, QJsonArray());
            } else {
                lists.remove(member.key);
                root.insert(member.key, json::parse(member.value));
            }
        }
        PersistedProfiles document = fromJson(root);
        const auto decodeList = [&lists](const QString& key, auto& into) {
            using T = typename std::decay_t<decltype(into)>::value_type;
            const QByteArray list = lists.value(key);
            const std::optional<QList<QByteArray>> elements = json::splitArray(list);
            if (!elements)
                throw json::DecodeError(key);
            into.reserve(elements->size());
            for (const QByteArray& element : *elements)
                into.append(T::fromJson(json::parse(element)));
        };
        decodeList(QStringLiteral("pacsProfiles"), document.pacsProfiles);
        decodeList(QStringLiteral("userProfiles"), document.userProfiles);
        return document;
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

PersistedProfiles PersistedProfiles::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    PersistedProfiles root;
    root.version = reader.integer<qint64>("version");
    root.activePacsProfileId = reader.optionalUuid("activePacsProfileId");
    root.activeUserProfileId = reader.optionalUuid("activeUserProfileId");
    root.pacsProfiles = reader.decodeList<PacsProfile>("pacsProfiles");
    root.userProfiles = reader.decodeList<UserProfile>("userProfiles");
    root.removedBuiltIns = reader.decodeOptional<BuiltInRemovals>("removedBuiltIns").value_or(BuiltInRemovals());
    return root;
}

} // namespace velmor
