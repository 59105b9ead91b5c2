#pragma once

#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace velmor {

// Factory defaults of the profile model, read afresh from the bundle's JSON
// resources on every call. A missing or malformed resource silently gives way
// to its fallback; nothing here throws.
class ProfileTemplates {
public:
    ProfileTemplates() = delete;

    // One line of the "DefaultMappings" resource.
    struct DefaultMappingEntry {
        QString buttonId;
        // Matched against tool names ignoring case.
        QString toolName;

        bool operator==(const DefaultMappingEntry&) const = default;

        QJsonObject toJson() const;
        static DefaultMappingEntry fromJson(const QJsonValue& value, const QString& path = {});
    };

    static QString defaultUserProfileName() { return QStringLiteral("Radiologist - General"); }

    // "Synthesis", "Intelerad", "eUnity", "Change Healthcare", in this order.
    static QStringList builtInPacsProfileNames();
    // The built-in profiles by those names, each with a new id (a fresh seed's).
    static QList<PacsProfile> builtInPacsProfiles();
    // "SynthesisDefaults", else the built-in catalogue.
    static QList<RadiologyTool> synthesisTools();
    // By the lower-cased name, untrimmed.
    static std::optional<QString> defaultLightingHex(const QString& pacsName);

    // New mapping ids on every call. Without a device id: the mappings of every
    // device listed for the PACS name.
    static QList<ButtonMapping> defaultMappings(const QString& pacsName, const QList<RadiologyTool>& tools,
                                                const std::optional<QString>& deviceId);
    // `toolIdsByName` is keyed by lower-cased tool name; entries naming no tool are skipped.
    static QList<ButtonMapping> mappings(const QString& deviceId, const QList<DefaultMappingEntry>& entries,
                                         const QHash<QString, QUuid>& toolIdsByName);
    // The SpeechMike's fixed table; tool names must match exactly.
    static QList<ButtonMapping> speechMikeFallbackMappings(const QList<RadiologyTool>& tools);
    // Zero or one profile "Radiologist - General", bound to "Synthesis" (any case) or else the first.
    static QList<UserProfile> defaultUserProfiles(const QList<PacsProfile>& pacsProfiles);
};

} // namespace velmor
