#include "model/ProfileTemplates.h"

#include "model/Device.h"
#include "platform/Bundle.h"
#include "platform/Json.h"
#include "platform/Text.h"

#include <QMap>

#include <algorithm>
#include <array>
#include <utility>

namespace velmor {

namespace {

using DeviceEntries = QMap<QString, QList<ProfileTemplates::DefaultMappingEntry>>;

// Some decoded value of a bundle resource, or none when it is missing or malformed.
template <typename Decode>
auto readResource(const QString& name, Decode decode) -> std::optional<decltype(decode(QJsonValue()))>
{
    const std::optional<QByteArray> bytes = Bundle::main().data(name, QStringLiteral("json"));
    if (!bytes)
        return std::nullopt;
    try {
        return decode(json::parse(*bytes));
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

QList<RadiologyTool> resourceTools(const QString& name)
{
    return readResource(name, [&](const QJsonValue& value) {
               return json::ObjectReader::decodeArray<RadiologyTool>(value, name);
           })
        .value_or(QList<RadiologyTool>{});
}

// PACS name → device id → entries. One bad entry anywhere spoils the whole resource.
QMap<QString, DeviceEntries> resourceMappings()
{
    return readResource(QStringLiteral("DefaultMappings"), [](const QJsonValue& value) {
               QMap<QString, DeviceEntries> byPacs;
               const QJsonObject root = json::toObject(value, {});
               for (auto pacs = root.begin(); pacs != root.end(); ++pacs) {
                   const QJsonObject devices = json::toObject(pacs.value(), pacs.key());
                   DeviceEntries& entries = byPacs[pacs.key()];
                   for (auto device = devices.begin(); device != devices.end(); ++device)
                       entries.insert(device.key(),
                                      json::ObjectReader::decodeArray<ProfileTemplates::DefaultMappingEntry>(
                                          device.value(), pacs.key() + '.' + device.key()));
               }
               return byPacs;
           })
        .value_or(QMap<QString, DeviceEntries>{});
}

// Exact name, then the name in any case, then "Synthesis", then any; keys are
// visited in sorted order so the choice is stable.
std::optional<DeviceEntries> pacsEntry(const QMap<QString, DeviceEntries>& byPacs, const QString& pacsName)
{
    if (byPacs.isEmpty())
        return std::nullopt;
    if (const auto exact = byPacs.constFind(pacsName); exact != byPacs.cend())
        return exact.value();
    const QString lowered = text::lowercased(pacsName);
    for (auto it = byPacs.cbegin(); it != byPacs.cend(); ++it) {
        if (text::lowercased(it.key()) == lowered)
            return it.value();
    }
    if (const auto synthesis = byPacs.constFind(QStringLiteral("Synthesis")); synthesis != byPacs.cend())
        return synthesis.value();
    return byPacs.first();
}

bool isSpeechMike(const std::optional<QString>& deviceId)
{
    return deviceId && *deviceId == Device::speechMikeTemplate().id;
}

} // namespace

QJsonObject ProfileTemplates::DefaultMappingEntry::toJson() const
{
    return json::ObjectWriter().set("buttonId", buttonId).set("toolName", toolName).take();
}

ProfileTemplates::DefaultMappingEntry ProfileTemplates::DefaultMappingEntry::fromJson(const QJsonValue& value,
                                                                                      const QString& path)
{
    const json::ObjectReader reader(value, path);
    return {reader.string("buttonId"), reader.string("toolName")};
}

QStringList ProfileTemplates::builtInPacsProfileNames()
{
    return {QStringLiteral("Synthesis"), QStringLiteral("Intelerad"), QStringLiteral("eUnity"),
            QStringLiteral("Change Healthcare")};
}

QList<PacsProfile> ProfileTemplates::builtInPacsProfiles()
{
    QList<PacsProfile> profiles;
    for (const QString& name : builtInPacsProfileNames()) {
        // "Change Healthcare" reads "ChangeHealthcareDefaults".
        const QList<RadiologyTool> tools = name == QLatin1String("Synthesis")
                                               ? synthesisTools()
                                               : resourceTools(QString(name).remove(' ') + QStringLiteral("Defaults"));
        profiles.append(PacsProfile{QUuid::createUuid(), name, tools, defaultLightingHex(name)});
    }
    return profiles;
}

QList<RadiologyTool> ProfileTemplates::synthesisTools()
{
    QList<RadiologyTool> tools = resourceTools(QStringLiteral("SynthesisDefaults"));
    if (tools.isEmpty())
        return RadiologyTool::defaultTools();
    return tools;
}

std::optional<QString> ProfileTemplates::defaultLightingHex(const QString& pacsName)
{
    const QString key = text::lowercased(pacsName);
    if (key == QLatin1String("synthesis"))
        return QStringLiteral("#7800D1");
    if (key == QLatin1String("merge unity"))
        return QStringLiteral("#FF8A00");
    if (key == QLatin1String("eunity"))
        return QStringLiteral("#00B050");
    return std::nullopt;
}

QList<ButtonMapping> ProfileTemplates::defaultMappings(const QString& pacsName, const QList<RadiologyTool>& tools,
                                                       const std::optional<QString>& deviceId)
{
    const std::optional<DeviceEntries> entry = pacsEntry(resourceMappings(), pacsName);
    if (!entry)
        return isSpeechMike(deviceId) ? speechMikeFallbackMappings(tools) : QList<ButtonMapping>{};

    QHash<QString, QUuid> toolIdsByName;
    for (const RadiologyTool& tool : tools) {
        const QString key = text::lowercased(tool.name);
        if (!toolIdsByName.contains(key)) // the first tool of a name wins
            toolIdsByName.insert(key, tool.id);
    }

    if (!deviceId) {
        QList<ButtonMapping> all;
        for (auto it = entry->cbegin(); it != entry->cend(); ++it)
            all.append(mappings(it.key(), it.value(), toolIdsByName));
        return all;
    }
    if (const auto listed = entry->constFind(*deviceId); listed != entry->cend())
        return mappings(*deviceId, listed.value(), toolIdsByName);
    return isSpeechMike(deviceId) ? speechMikeFallbackMappings(tools) : QList<ButtonMapping>{};
}

QList<ButtonMapping> ProfileTemplates::mappings(const QString& deviceId, const QList<DefaultMappingEntry>& entries,
                                                const QHash<QString, QUuid>& toolIdsByName)
{
    QList<ButtonMapping> result;
    for (const DefaultMappingEntry& entry : entries) {
        const auto tool = toolIdsByName.constFind(text::lowercased(entry.toolName));
        if (tool != toolIdsByName.cend())
            result.append(ButtonMapping{QUuid::createUuid(), deviceId, entry.buttonId, tool.value()});
    }
    return result;
}

QList<ButtonMapping> ProfileTemplates::speechMikeFallbackMappings(const QList<RadiologyTool>& tools)
{
    static constexpr std::array<std::pair<const char*, const char*>, 11> table{{
        {"REC", "Mic On/Off"},
        {"PLAY_PAUSE", "First Impression Line"},
        {"FWD", "Report Field Down"},
        {"REW", "Report Field Up"},
        {"EOL", "Exam List"},
        {"INFO", "Sign & Next"},
        {"INS_OVR", "First Highlighted Field"},
        {"F1", "Speech Organization"},
        {"F2", "Submit Speech Organization"},
        {"F3", "Auto Impression"},
        {"F4", "Skip Exam"},
    }};
    const QString deviceId = Device::speechMikeTemplate().id;
    QList<ButtonMapping> result;
    for (const auto& [buttonId, toolName] : table) {
        const QString name = QString::fromUtf8(toolName);
        const auto tool = std::find_if(tools.cbegin(), tools.cend(),
                                       [&](const RadiologyTool& t) { return text::canonicallyEqual(t.name, name); });
        if (tool != tools.cend())
            result.append(ButtonMapping{QUuid::createUuid(), deviceId, QString::fromUtf8(buttonId), tool->id});
    }
    return result;
}

QList<UserProfile> ProfileTemplates::defaultUserProfiles(const QList<PacsProfile>& pacsProfiles)
{
    if (pacsProfiles.isEmpty())
        return {};
    auto chosen = std::find_if(pacsProfiles.cbegin(), pacsProfiles.cend(), [](const PacsProfile& p) {
        return text::lowercased(p.name) == QLatin1String("synthesis");
    });
    if (chosen == pacsProfiles.cend())
        chosen = pacsProfiles.cbegin();
    UserProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = defaultUserProfileName();
    profile.pacsProfileId = chosen->id;
    profile.mappings = defaultMappings(chosen->name, chosen->tools, std::nullopt);
    profile.selectedDeviceId = Device::tartarusTemplate().id;
    return {profile};
}

} // namespace velmor
