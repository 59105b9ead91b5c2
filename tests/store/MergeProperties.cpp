#include "MergeProperties.h"

#include "store/ProfileLookup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace velmor::test::mergeProperties {

namespace {

using Button = std::pair<QString, QString>;

QMap<Button, QUuid> toolsByButton(const UserProfile& profile)
{
    QMap<Button, QUuid> tools;
    for (const ButtonMapping& mapping : profile.mappings)
        tools.insert({mapping.deviceId, mapping.buttonId}, mapping.toolId);
    return tools;
}

const RadiologyTool* toolOf(const PacsProfile* profile, const QUuid& id)
{
    return profile ? findById(profile->tools, id) : nullptr;
}

QString label(const QString& sideName, const QString& kind, const QString& name, const QUuid& id)
{
    return QStringLiteral("%1's %2 \"%3\" %4").arg(sideName, kind, name, id.toString(QUuid::WithoutBraces).left(8));
}

bool lostHas(const ProfileMerge::Result& result, const PacsProfile& profile)
{
    return result.lostPacsProfiles.contains(profile);
}

bool lostHas(const ProfileMerge::Result& result, const UserProfile& profile)
{
    return std::any_of(result.lostUserProfiles.cbegin(), result.lostUserProfiles.cend(),
                       [&](const ProfileMerge::LostUserProfile& lost) { return lost.profile == profile; });
}

// What of `ours` (changed from `was`, absent when new) the merged profile
// lacks.
QStringList missingFrom(const PacsProfile& ours, const PacsProfile* was, const PacsProfile& merged)
{
    QStringList missing;
    if ((!was || was->name != ours.name) && merged.name != ours.name)
        missing << "its name";
    if ((!was || was->defaultLightingHex != ours.defaultLightingHex) &&
        merged.defaultLightingHex != ours.defaultLightingHex)
        missing << "its default lighting";
    for (const RadiologyTool& tool : ours.tools) {
        const RadiologyTool* before = toolOf(was, tool.id);
        const RadiologyTool* now = toolOf(&merged, tool.id);
        if ((!before || !(*before == tool)) && (!now || !(*now == tool)))
            missing << QStringLiteral("tool \"%1\"").arg(tool.name);
    }
    return missing;
}

QStringList missingFrom(const UserProfile& ours, const UserProfile* was, const UserProfile& merged)
{
    QStringList missing;
    const auto changed = [was](auto field) { return !was || field(*was); };
    if (changed([&](const UserProfile& p) { return p.name != ours.name; }) && merged.name != ours.name)
        missing << "its name";
    if (changed([&](const UserProfile& p) { return p.pacsProfileId != ours.pacsProfileId; }) &&
        merged.pacsProfileId != ours.pacsProfileId)
        missing << "its PACS profile";
    if (changed([&](const UserProfile& p) { return p.selectedDeviceId != ours.selectedDeviceId; }) &&
        merged.selectedDeviceId != ours.selectedDeviceId)
        missing << "its selected device";
    if (changed([&](const UserProfile& p) { return p.lightingHex != ours.lightingHex; }) &&
        merged.lightingHex != ours.lightingHex)
        missing << "its lighting";
    const QMap<Button, QUuid> before = was ? toolsByButton(*was) : QMap<Button, QUuid>();
    const QMap<Button, QUuid> now = toolsByButton(merged);
    for (const ButtonMapping& mapping : ours.mappings) {
        const Button button{mapping.deviceId, mapping.buttonId};
        if (before.value(button) != mapping.toolId && now.value(button) != mapping.toolId)
            missing << QStringLiteral("mapping %1/%2").arg(mapping.deviceId, mapping.buttonId);
    }
    return missing;
}

QJsonObject canonical(PacsProfile profile);
QJsonObject canonical(UserProfile profile);

template <typename Profile>
QStringList keptProfiles(const QList<Profile>& base, const QList<Profile>& side, const QList<Profile>& merged,
                         const ProfileMerge::Result& result, const QString& sideName, const QString& kind)
{
    QStringList problems;
    for (const Profile& ours : side) {
        const Profile* was = findById(base, ours.id);
        // Changed means changed at the merge's grain: mapping ids and list order aside.
        if ((was && canonical(*was) == canonical(ours)) || lostHas(result, ours))
            continue;
        const Profile* now = findById(merged, ours.id);
        if (!now) {
            problems << label(sideName, kind, ours.name, ours.id) + " is neither merged nor lost";
            continue;
        }
        if (const QStringList missing = missingFrom(ours, was, *now); !missing.isEmpty())
            problems << label(sideName, kind, ours.name, ours.id) + " lost, not kept: " + missing.join(", ");
    }
    return problems;
}

template <typename Profile> QStringList repeatedIds(const QList<Profile>& profiles, const QString& kind)
{
    QSet<QUuid> seen;
    QStringList problems;
    for (const Profile& profile : profiles) {
        if (seen.contains(profile.id))
            problems << QStringLiteral("two %1s share the id of \"%2\"").arg(kind, profile.name);
        seen.insert(profile.id);
    }
    return problems;
}

QJsonObject canonical(PacsProfile profile)
{
    std::sort(profile.tools.begin(), profile.tools.end(),
              [](const RadiologyTool& a, const RadiologyTool& b) { return a.id < b.id; });
    return profile.toJson();
}

QJsonObject canonical(UserProfile profile)
{
    for (ButtonMapping& mapping : profile.mappings)
        mapping.id = QUuid();
    std::sort(profile.mappings.begin(), profile.mappings.end(), [](const ButtonMapping& a, const ButtonMapping& b) {
        return std::tie(a.deviceId, a.buttonId) < std::tie(b.deviceId, b.buttonId);
    });
    return profile.toJson();
}

template <typename Profile> QMap<QUuid, QJsonObject> canonicalById(const QList<Profile>& profiles)
{
    QMap<QUuid, QJsonObject> byId;
    for (const Profile& profile : profiles)
        byId.insert(profile.id, canonical(profile));
    return byId;
}

template <typename Profile> QJsonArray jsonOf(const QList<Profile>& profiles)
{
    QJsonArray array;
    for (const Profile& profile : profiles)
        array.append(profile.toJson());
    return array;
}

} // namespace

QStringList keepsChangesOf(const LoadResult& base, const LoadResult& side, const ProfileMerge::Result& result,
                           const QString& sideName)
{
    return keptProfiles(base.pacsProfiles, side.pacsProfiles, result.merged.pacsProfiles, result, sideName,
                        QStringLiteral("PACS profile")) +
        keptProfiles(base.userProfiles, side.userProfiles, result.merged.userProfiles, result, sideName,
                     QStringLiteral("user profile"));
}

QStringList referencesAreWhole(const LoadResult& merged)
{
    QStringList problems;
    for (const UserProfile& user : merged.userProfiles) {
        const PacsProfile* bound = findById(merged.pacsProfiles, user.pacsProfileId);
        if (!bound) {
            problems << QStringLiteral("user profile \"%1\" is bound to no PACS profile").arg(user.name);
            continue;
        }
        for (const ButtonMapping& mapping : user.mappings) {
            if (!toolOf(bound, mapping.toolId))
                problems << QStringLiteral("\"%1\" maps %2/%3 to no tool of \"%4\"")
                                .arg(user.name, mapping.deviceId, mapping.buttonId, bound->name);
        }
    }
    return problems;
}

QStringList idsAreUnique(const LoadResult& merged)
{
    return repeatedIds(merged.pacsProfiles, QStringLiteral("PACS profile")) +
        repeatedIds(merged.userProfiles, QStringLiteral("user profile"));
}

QStringList sameProfiles(const LoadResult& first, const LoadResult& second)
{
    QStringList problems;
    if (canonicalById(first.pacsProfiles) != canonicalById(second.pacsProfiles))
        problems << "the PACS profiles differ";
    if (canonicalById(first.userProfiles) != canonicalById(second.userProfiles))
        problems << "the user profiles differ";
    if (first.activePacsProfileId != second.activePacsProfileId ||
        first.activeUserProfileId != second.activeUserProfileId)
        problems << "the active ids differ";
    return problems;
}

QString describe(const LoadResult& result)
{
    const QJsonObject document{
        {"pacsProfiles", jsonOf(result.pacsProfiles)},
        {"userProfiles", jsonOf(result.userProfiles)},
        {"activePacsProfileId", result.activePacsProfileId.value_or(QUuid()).toString(QUuid::WithoutBraces)},
        {"activeUserProfileId", result.activeUserProfileId.value_or(QUuid()).toString(QUuid::WithoutBraces)},
    };
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Compact));
}

} // namespace velmor::test::mergeProperties
