#include "model/BuiltInRemovals.h"

#include "model/ProfileTemplates.h"
#include "platform/Json.h"
#include "platform/Text.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>

#include <algorithm>
#include <iterator>
#include <tuple>
#include <utility>

namespace velmor {

namespace {

using Entry = BuiltInRemovals::Entry;
// The profile's id (null for a profile) and the name in lower case.
using Key = std::pair<QUuid, QString>;

Key keyOf(const Entry& entry) { return {entry.pacsProfileId, text::lowercased(entry.name)}; }

// Profiles first, then by profile id as written (its bytes in order, as its hex digits
// read) and name in any case.
bool before(const Key& a, const Key& b)
{
    const QUuid& x = a.first;
    const QUuid& y = b.first;
    if (x != y) {
        if (x.isNull() || y.isNull())
            return x.isNull();
        return std::tie(x.data1, x.data2, x.data3) != std::tie(y.data1, y.data2, y.data3)
            ? std::tie(x.data1, x.data2, x.data3) < std::tie(y.data1, y.data2, y.data3)
            : std::lexicographical_compare(std::begin(x.data4), std::end(x.data4), std::begin(y.data4),
                                           std::end(y.data4));
    }
    return a.second < b.second;
}

QSet<Key> keysOf(const QList<Entry>& entries)
{
    QSet<Key> keys;
    keys.reserve(entries.size());
    for (const Entry& entry : entries)
        keys.insert(keyOf(entry));
    return keys;
}

bool named(const QString& name, const QString& lowered) { return text::lowercased(name) == lowered; }

const PacsProfile* firstNamed(const QList<PacsProfile>& profiles, const QString& lowered)
{
    const auto it = std::find_if(profiles.cbegin(), profiles.cend(),
                                 [&](const PacsProfile& p) { return named(p.name, lowered); });
    return it == profiles.cend() ? nullptr : &*it;
}

const PacsProfile* withId(const QList<PacsProfile>& profiles, const QUuid& id)
{
    const auto it = std::find_if(profiles.cbegin(), profiles.cend(), [&](const PacsProfile& p) { return p.id == id; });
    return it == profiles.cend() ? nullptr : &*it;
}

QSet<QString> loweredNames(const QList<RadiologyTool>& tools)
{
    QSet<QString> names;
    for (const RadiologyTool& tool : tools)
        names.insert(text::lowercased(tool.name));
    return names;
}

// The names an entry can take away: the built-in profiles' and their tools', lower-cased.
struct BuiltInNames {
    QSet<QString> profiles;
    QSet<QString> tools;
};

BuiltInNames builtInNames()
{
    BuiltInNames names;
    for (const PacsProfile& profile : ProfileTemplates::builtInPacsProfiles()) {
        names.profiles.insert(text::lowercased(profile.name));
        names.tools.unite(loweredNames(profile.tools));
    }
    return names;
}

} // namespace

// In key order, the first of each key kept.
BuiltInRemovals BuiltInRemovals::from(QList<Entry> entries)
{
    QList<std::pair<Key, Entry>> keyed;
    keyed.reserve(entries.size());
    for (Entry& entry : entries) {
        Key key = keyOf(entry);
        keyed.append({std::move(key), std::move(entry)});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return before(a.first, b.first); });
    BuiltInRemovals out;
    out.entries_.reserve(keyed.size());
    for (qsizetype i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed.at(i).first != keyed.at(i - 1).first)
            out.entries_.append(std::move(keyed[i].second));
    }
    return out;
}

bool BuiltInRemovals::holds(const Entry& entry) const
{
    const Key key = keyOf(entry);
    const auto at = std::lower_bound(entries_.cbegin(), entries_.cend(), key,
                                     [](const Entry& e, const Key& k) { return before(keyOf(e), k); });
    return at != entries_.cend() && keyOf(*at) == key;
}

bool BuiltInRemovals::removesPacsProfile(const QString& name) const { return holds({QUuid(), name}); }

bool BuiltInRemovals::removesTool(const QUuid& pacsProfileId, const QString& name) const
{
    return !pacsProfileId.isNull() && holds({pacsProfileId, name});
}

BuiltInRemovals BuiltInRemovals::noted(const QList<PacsProfile>& before, const QList<PacsProfile>& after) const
{
    QList<Entry> out = entries_;
    std::optional<QList<PacsProfile>> builtIns;
    for (const QString& name : ProfileTemplates::builtInPacsProfileNames()) {
        const QString lowered = text::lowercased(name);
        const PacsProfile* now = firstNamed(after, lowered);
        if (!now) {
            if (firstNamed(before, lowered))
                out.append({QUuid(), name});
            continue;
        }
        const PacsProfile* was = withId(before, now->id);
        if (!was || was->tools.isSharedWith(now->tools))
            continue;
        const QSet<QString> lost = loweredNames(was->tools) - loweredNames(now->tools);
        if (lost.isEmpty())
            continue;
        if (!builtIns)
            builtIns = ProfileTemplates::builtInPacsProfiles();
        const PacsProfile* builtIn = firstNamed(*builtIns, lowered);
        for (const RadiologyTool& tool : builtIn ? builtIn->tools : QList<RadiologyTool>()) {
            if (lost.contains(text::lowercased(tool.name)))
                out.append({now->id, tool.name});
        }
    }
    return from(std::move(out)).pruned(after);
}

BuiltInRemovals BuiltInRemovals::pruned(const QList<PacsProfile>& pacs) const
{
    if (entries_.isEmpty())
        return *this;
    const BuiltInNames builtIns = builtInNames();
    QSet<QString> profileNames;
    QHash<QUuid, const PacsProfile*> byId;
    for (const PacsProfile& profile : pacs) {
        profileNames.insert(text::lowercased(profile.name));
        if (!byId.contains(profile.id))
            byId.insert(profile.id, &profile);
    }
    QHash<QUuid, QSet<QString>> toolNames;
    const auto holdsTool = [&](const PacsProfile& profile, const QString& lowered) {
        auto names = toolNames.find(profile.id);
        if (names == toolNames.end())
            names = toolNames.insert(profile.id, loweredNames(profile.tools));
        return names->contains(lowered);
    };
    BuiltInRemovals out;
    for (const Entry& entry : entries_) {
        const QString lowered = text::lowercased(entry.name);
        if (entry.pacsProfileId.isNull()) {
            if (builtIns.profiles.contains(lowered) && !profileNames.contains(lowered))
                out.entries_.append(entry);
            continue;
        }
        const PacsProfile* profile = byId.value(entry.pacsProfileId);
        if (builtIns.tools.contains(lowered) && profile && !holdsTool(*profile, lowered))
            out.entries_.append(entry);
    }
    return out;
}

BuiltInRemovals BuiltInRemovals::merged(const BuiltInRemovals& base, const BuiltInRemovals& local,
                                        const BuiltInRemovals& remote)
{
    // A side without entries says nothing of removals, and the base's stand for it: an
    // older Velmor writes no list, and this one empties its list only for built-ins that
    // are there again, which the merged profiles then hold (the caller prunes).
    const BuiltInRemovals& ours = local.isEmpty() ? base : local;
    const BuiltInRemovals& theirs = remote.isEmpty() ? base : remote;
    const QSet<Key> inBase = keysOf(base.entries_);
    const QSet<Key> inOurs = keysOf(ours.entries_);
    const QSet<Key> inTheirs = keysOf(theirs.entries_);
    QList<Entry> out;
    for (const auto& [side, other] : {std::pair(&theirs, &inOurs), std::pair(&ours, &inTheirs)}) {
        for (const Entry& entry : side->entries_) {
            if (const Key key = keyOf(entry); other->contains(key) || !inBase.contains(key))
                out.append(entry);
        }
    }
    return from(std::move(out));
}

QJsonObject BuiltInRemovals::toJson() const
{
    QJsonArray profiles;
    QJsonArray tools;
    for (const Entry& entry : entries_) {
        if (entry.pacsProfileId.isNull())
            profiles.append(entry.name);
        else
            tools.append(json::ObjectWriter().set("name", entry.name).set("pacsProfileId", entry.pacsProfileId).take());
    }
    json::ObjectWriter writer;
    if (!profiles.isEmpty())
        writer.set("pacsProfiles", profiles);
    if (!tools.isEmpty())
        writer.set("tools", tools);
    return writer.take();
}

BuiltInRemovals BuiltInRemovals::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    QList<Entry> entries;
    const auto each = [&reader](json::Key key, const auto& read) {
        const std::optional<QJsonArray> items = reader.optionalArray(key);
        for (qsizetype i = 0; items && i < items->size(); ++i)
            read(items->at(i), reader.pathOf(key) + '[' + QString::number(i) + ']');
    };
    each("pacsProfiles", [&](const QJsonValue& item, const QString& at) {
        entries.append({QUuid(), json::toString(item, at)});
    });
    each("tools", [&](const QJsonValue& item, const QString& at) {
        const json::ObjectReader tool(item, at);
        const QUuid pacsProfileId = tool.uuid("pacsProfileId");
        if (pacsProfileId.isNull())
            json::fail(tool.pathOf("pacsProfileId"), QStringLiteral("a null id"));
        entries.append({pacsProfileId, tool.string("name")});
    });
    return from(std::move(entries));
}

} // namespace velmor
