#include "store/SyncChangeSummary.h"

#include "model/Device.h"
#include "platform/Text.h"

#include <QHashFunctions>
#include <QSet>

#include <algorithm>

namespace velmor {

namespace {

const QString kTitle = QStringLiteral("Velmor profiles updated");
const QString kLineSeparator = QStringLiteral("; ");
const QString kUnknown = QStringLiteral("Unknown");
const QString kUnknownTool = QStringLiteral("Unknown Tool");
constexpr qsizetype kShownNames = 3;
constexpr qsizetype kShownMappingLines = 3;

// By id, the first profile of a repeated id kept.
template <typename Profile>
QHash<QUuid, Profile> indexById(const QList<Profile>& profiles)
{
    QHash<QUuid, Profile> index;
    for (const Profile& profile : profiles) {
        if (!index.contains(profile.id))
            index.insert(profile.id, profile);
    }
    return index;
}

// Each machine makes its built-in profiles, and their tools, with ids of its own.
QList<RadiologyTool> withoutIds(QList<RadiologyTool> tools)
{
    for (RadiologyTool& tool : tools)
        tool.id = QUuid();
    return tools;
}

// The same PACS profile in all but ids.
bool sameContent(const PacsProfile& a, const PacsProfile& b)
{
    return a.name == b.name && a.defaultLightingHex == b.defaultLightingHex && withoutIds(a.tools) == withoutIds(b.tools);
}

// The button mappings of a user profile by button, each to its tool's name where
// `pacs` knows the tool, else to the tool's id.
QHash<std::pair<QString, QString>, QString> toolsByButton(const UserProfile& profile,
                                                         const QHash<QUuid, PacsProfile>& pacs)
{
    QHash<std::pair<QString, QString>, QString> tools;
    for (const ButtonMapping& mapping : profile.mappings) {
        const std::optional<QString> name = SyncChangeSummary::toolName(mapping.toolId, profile.pacsProfileId, pacs, {});
        tools.insert({mapping.deviceId, mapping.buttonId}, name.value_or(mapping.toolId.toString()));
    }
    return tools;
}

template <typename Profile, typename SameContent>
SyncChangeSummary::NameChanges profileChanges(const QList<Profile>& current, const QList<Profile>& incoming,
                                              SameContent sameContent)
{
    const QHash<QUuid, Profile> before = indexById(current);
    const QHash<QUuid, Profile> after = indexById(incoming);
    SyncChangeSummary::NameChanges changes;
    // In list order, the first profile of a repeated id, so that pairing by name is stable.
    QList<Profile> added;
    QList<Profile> removed;
    QSet<QUuid> seen;
    for (const Profile& profile : incoming) {
        if (seen.contains(profile.id))
            continue;
        seen.insert(profile.id);
        const auto old = before.constFind(profile.id);
        if (old == before.cend())
            added.append(profile);
        else if (!(*old == profile))
            changes.updated.append(profile.name);
    }
    seen.clear();
    for (const Profile& profile : current) {
        if (seen.contains(profile.id))
            continue;
        seen.insert(profile.id);
        if (!after.contains(profile.id))
            removed.append(profile);
    }
    // A profile added under the name of one removed takes its place for the user:
    // the same built-in profile from another machine, or one the store made again.
    // Exact names pair first, then names in any case.
    for (const bool anyCase : {false, true}) {
        for (auto profile = added.begin(); profile != added.end();) {
            const auto key = [anyCase](const QString& name) { return anyCase ? text::lowercased(name) : name; };
            const auto namesake = std::find_if(removed.begin(), removed.end(), [&](const Profile& old) {
                return key(old.name) == key(profile->name);
            });
            if (namesake == removed.end()) {
                ++profile;
                continue;
            }
            if (!sameContent(*namesake, *profile))
                changes.updated.append(profile->name);
            removed.erase(namesake);
            profile = added.erase(profile);
        }
    }
    for (const Profile& profile : std::as_const(added))
        changes.added.append(profile.name);
    for (const Profile& profile : std::as_const(removed))
        changes.removed.append(profile.name);
    // Plain order settles ties of the localized sort later.
    changes.added.sort();
    changes.updated.sort();
    changes.removed.sort();
    return changes;
}

template <typename Profile>
QString nameOf(const QList<Profile>& profiles, const QUuid& id)
{
    const auto it = std::find_if(profiles.cbegin(), profiles.cend(), [&](const Profile& p) { return p.id == id; });
    return it == profiles.cend() ? kUnknown : it->name;
}

void appendNameLines(QStringList& lines, const QString& kind, const SyncChangeSummary::NameChanges& changes)
{
    const auto add = [&](const char* what, const QStringList& names) {
        if (!names.isEmpty())
            lines.append(kind + QLatin1String(what) + SyncChangeSummary::formatNameList(names));
    };
    add(" added: ", changes.added);
    add(" updated: ", changes.updated);
    add(" removed: ", changes.removed);
}

QList<SyncChangeSummary::MappingKey> sortedKeys(const QHash<SyncChangeSummary::MappingKey, ButtonMapping>& byKey)
{
    QList<SyncChangeSummary::MappingKey> keys = byKey.keys();
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return a.deviceId != b.deviceId ? a.deviceId < b.deviceId : a.buttonId < b.buttonId;
    });
    return keys;
}

QString quoted(const QString& name) { return u'"' + text::shortenedName(name) + u'"'; }

} // namespace

size_t qHash(const SyncChangeSummary::MappingKey& key, size_t seed) noexcept
{
    return qHashMulti(seed, key.deviceId, key.buttonId);
}

std::optional<SyncChangeSummary::Notice> SyncChangeSummary::summarize(const LoadResult& current,
                                                                      const LoadResult& incoming)
{
    QStringList lines;
    appendNameLines(lines, QStringLiteral("PACS profiles"),
                    pacsProfileChanges(current.pacsProfiles, incoming.pacsProfiles));
    appendNameLines(lines, QStringLiteral("User profiles"),
                    userProfileChanges(current.userProfiles, incoming.userProfiles, current.pacsProfiles,
                                       incoming.pacsProfiles));

    const QStringList mappingLines = mappingChangeLines(current, incoming);
    lines.append(mappingLines.mid(0, kShownMappingLines));
    if (mappingLines.size() > kShownMappingLines) {
        lines.append(u'+' + QString::number(mappingLines.size() - kShownMappingLines) +
                     QStringLiteral(" more mapping changes"));
    }

    // A profile that only changed its id (see profileChanges) is still the active one.
    const auto activeLine = [&](const QString& label, const auto& before, const auto& after,
                                const std::optional<QUuid>& beforeId, const std::optional<QUuid>& afterId) {
        if (!afterId || afterId == beforeId)
            return;
        const QString name = nameOf(after, *afterId);
        if (!beforeId || name != nameOf(before, *beforeId))
            lines.append(label + text::shortenedName(name));
    };
    activeLine(QStringLiteral("Active PACS profile: "), current.pacsProfiles, incoming.pacsProfiles,
               current.activePacsProfileId, incoming.activePacsProfileId);
    activeLine(QStringLiteral("Active user profile: "), current.userProfiles, incoming.userProfiles,
               current.activeUserProfileId, incoming.activeUserProfileId);

    if (lines.isEmpty())
        return std::nullopt;
    return Notice{kTitle, lines.join(kLineSeparator)};
}

SyncChangeSummary::NameChanges SyncChangeSummary::pacsProfileChanges(const QList<PacsProfile>& current,
                                                                     const QList<PacsProfile>& incoming)
{
    return profileChanges(current, incoming, [](const PacsProfile& a, const PacsProfile& b) { return sameContent(a, b); });
}

SyncChangeSummary::NameChanges SyncChangeSummary::userProfileChanges(const QList<UserProfile>& current,
                                                                     const QList<UserProfile>& incoming,
                                                                     const QList<PacsProfile>& currentPacs,
                                                                     const QList<PacsProfile>& incomingPacs)
{
    const QHash<QUuid, PacsProfile> pacsBefore = indexById(currentPacs);
    const QHash<QUuid, PacsProfile> pacsAfter = indexById(incomingPacs);
    return profileChanges(current, incoming, [&](const UserProfile& a, const UserProfile& b) {
        return a.name == b.name && a.lightingHex == b.lightingHex &&
               toolsByButton(a, pacsBefore) == toolsByButton(b, pacsAfter);
    });
}

QString SyncChangeSummary::formatNameList(const QStringList& names)
{
    QStringList kept;
    for (const QString& name : names) {
        const QString trimmed = text::shortenedName(name).trimmed();
        if (!trimmed.isEmpty())
            kept.append(trimmed);
    }
    if (kept.isEmpty())
        return kUnknown;
    text::sortLocalized(kept, [](const QString& name) -> const QString& { return name; });
    QString result = kept.mid(0, kShownNames).join(QStringLiteral(", "));
    if (kept.size() > kShownNames)
        result += QStringLiteral(" +") + QString::number(kept.size() - kShownNames) + QStringLiteral(" more");
    return result;
}

QStringList SyncChangeSummary::mappingChangeLines(const LoadResult& from, const LoadResult& to)
{
    const QHash<QUuid, UserProfile> usersBefore = indexById(from.userProfiles);
    const QHash<QUuid, PacsProfile> pacsBefore = indexById(from.pacsProfiles);
    const QHash<QUuid, PacsProfile> pacsAfter = indexById(to.pacsProfiles);

    QList<MappingChange> changes;
    QSet<QUuid> visited;
    for (const UserProfile& incoming : to.userProfiles) {
        const auto stored = usersBefore.constFind(incoming.id);
        if (stored == usersBefore.cend() || visited.contains(incoming.id))
            continue;
        visited.insert(incoming.id);

        const auto toolText = [&](const QUuid& toolId) {
            return quoted(toolName(toolId, incoming.pacsProfileId, pacsAfter, pacsBefore).value_or(kUnknownTool));
        };
        const auto before = mappingsByKey(stored->mappings);
        const auto after = mappingsByKey(incoming.mappings);
        for (const MappingKey& key : sortedKeys(after)) {
            const ButtonMapping& mapping = after.value(key);
            const auto old = before.constFind(key);
            if (old == before.cend()) {
                changes.append({incoming.name, buttonDisplayName(key.deviceId, key.buttonId) +
                                                   QStringLiteral(" mapped to ") + toolText(mapping.toolId)});
            } else if (old->toolId != mapping.toolId) {
                changes.append({incoming.name, buttonDisplayName(key.deviceId, key.buttonId) +
                                                   QStringLiteral(" remapped to ") + toolText(mapping.toolId)});
            }
        }
        for (const MappingKey& key : sortedKeys(before)) {
            if (!after.contains(key))
                changes.append({incoming.name, buttonDisplayName(key.deviceId, key.buttonId) +
                                                   QStringLiteral(" unmapped")});
        }
    }
    if (changes.isEmpty())
        return {};

    text::sortLocalized(changes, &MappingChange::detail);
    QStringList profileNames;
    for (const MappingChange& change : changes) {
        if (!profileNames.contains(change.profileName))
            profileNames.append(change.profileName);
    }
    const bool prefixed = profileNames.size() >= 2;
    QStringList lines;
    for (const MappingChange& change : changes)
        lines.append(prefixed ? text::shortenedName(change.profileName) + QStringLiteral(": ") + change.detail
                              : change.detail);
    return lines;
}

QHash<SyncChangeSummary::MappingKey, ButtonMapping> SyncChangeSummary::mappingsByKey(
    const QList<ButtonMapping>& mappings)
{
    QHash<MappingKey, ButtonMapping> byKey;
    for (const ButtonMapping& mapping : mappings)
        byKey.insert(MappingKey{mapping.deviceId, mapping.buttonId}, mapping);
    return byKey;
}

std::optional<QString> SyncChangeSummary::toolName(const QUuid& toolId, const QUuid& pacsProfileId,
                                                   const QHash<QUuid, PacsProfile>& primary,
                                                   const QHash<QUuid, PacsProfile>& fallback)
{
    for (const auto* profiles : {&primary, &fallback}) {
        const auto profile = profiles->constFind(pacsProfileId);
        if (profile == profiles->cend())
            continue;
        const auto tool = std::find_if(profile->tools.cbegin(), profile->tools.cend(),
                                       [&](const RadiologyTool& t) { return t.id == toolId; });
        if (tool != profile->tools.cend())
            return tool->name;
    }
    return std::nullopt;
}

QString SyncChangeSummary::buttonDisplayName(const QString& deviceId, const QString& buttonId)
{
    QString label = buttonId;
    const Device* templates[] = {&Device::tartarusTemplate(), &Device::mouseTemplate(), &Device::speechMikeTemplate()};
    for (const Device* device : templates) {
        if (device->id != deviceId)
            continue;
        const auto button = std::find_if(device->buttons.cbegin(), device->buttons.cend(),
                                         [&](const DeviceButton& b) { return b.id == buttonId; });
        if (button != device->buttons.cend())
            label = button->displayLabel;
        break;
    }
    label = text::shortenedName(label).trimmed();
    if (label.isEmpty())
        return QStringLiteral("Button ") + text::shortenedName(buttonId);
    if (text::lowercased(label).startsWith(QStringLiteral("button ")))
        return label;
    return QStringLiteral("Button ") + label;
}

} // namespace velmor
