#include "model/BuiltInRemovals.h"

#include "model/ProfileTemplates.h"
#include "platform/Json.h"
#include "platform/Text.h"

#include <QJsonArray>
#include <QSet>

#include <algorithm>
#include <utility>

namespace velmor {

namespace {

using Entry = BuiltInRemovals::Entry;

// Profiles first, then by profile and name in any case.
std::pair<QString, QString> keyOf(const Entry& entry)
{
    return {entry.pacsProfileId.isNull() ? QString() : json::uuidText(entry.pacsProfileId),
            text::lowercased(entry.name)};
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

bool holdsTool(const PacsProfile& profile, const QString& lowered)
{
    return std::any_of(profile.tools.cbegin(), profile.tools.cend(),
                       [&](const RadiologyTool& t) { return named(t.name, lowered); });
}

QSet<QString> loweredNames(const QList<RadiologyTool>& tools)
{
    QSet<QString> names;
    for (const RadiologyTool& tool : tools)
        names.insert(text::lowercased(tool.name));
    return names;
}

} // namespace

bool BuiltInRemovals::removesPacsProfile(const QString& name) const
{
    const QString lowered = text::lowercased(name);
    return std::any_of(entries_.cbegin(), entries_.cend(),
                       [&](const Entry& e) { return e.pacsProfileId.isNull() && named(e.name, lowered); });
}

bool BuiltInRemovals::removesTool(const QUuid& pacsProfileId, const QString& name) const
{
    if (pacsProfileId.isNull())
        return false;
    const QString lowered = text::lowercased(name);
    return std::any_of(entries_.cbegin(), entries_.cend(),
                       [&](const Entry& e) { return e.pacsProfileId == pacsProfileId && named(e.name, lowered); });
}

void BuiltInRemovals::insert(Entry entry)
{
    const auto key = keyOf(entry);
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), key,
                                     [](const Entry& e, const auto& k) { return keyOf(e) < k; });
    if (at == entries_.end() || keyOf(*at) != key)
        entries_.insert(at, std::move(entry));
}

BuiltInRemovals BuiltInRemovals::noted(const QList<PacsProfile>& before, const QList<PacsProfile>& after) const
{
    BuiltInRemovals out = *this;
    std::optional<QList<PacsProfile>> builtIns;
    for (const QString& name : ProfileTemplates::builtInPacsProfileNames()) {
        const QString lowered = text::lowercased(name);
        const PacsProfile* now = firstNamed(after, lowered);
        if (!now) {
            if (firstNamed(before, lowered))
                out.insert({QUuid(), name});
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
                out.insert({now->id, tool.name});
        }
    }
    return out.pruned(after);
}

BuiltInRemovals BuiltInRemovals::pruned(const QList<PacsProfile>& pacs) const
{
    BuiltInRemovals out;
    for (const Entry& entry : entries_) {
        const QString lowered = text::lowercased(entry.name);
        if (entry.pacsProfileId.isNull()) {
            if (!firstNamed(pacs, lowered))
                out.entries_.append(entry);
            continue;
        }
        if (const PacsProfile* profile = withId(pacs, entry.pacsProfileId); profile && !holdsTool(*profile, lowered))
            out.entries_.append(entry);
    }
    return out;
}

BuiltInRemovals BuiltInRemovals::merged(const BuiltInRemovals& base, const BuiltInRemovals& local,
                                        const BuiltInRemovals& remote)
{
    const auto holds = [](const BuiltInRemovals& side, const Entry& entry) {
        const auto key = keyOf(entry);
        return std::any_of(side.entries_.cbegin(), side.entries_.cend(),
                           [&](const Entry& e) { return keyOf(e) == key; });
    };
    BuiltInRemovals out;
    for (const BuiltInRemovals* side : {&remote, &local}) {
        const BuiltInRemovals& other = side == &remote ? local : remote;
        for (const Entry& entry : side->entries_) {
            if (holds(other, entry) || !holds(base, entry))
                out.insert(entry);
        }
    }
    return out;
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
    BuiltInRemovals removals;
    const auto each = [&reader](json::Key key, const auto& read) {
        const std::optional<QJsonArray> items = reader.optionalArray(key);
        for (qsizetype i = 0; items && i < items->size(); ++i)
            read(items->at(i), reader.pathOf(key) + '[' + QString::number(i) + ']');
    };
    each("pacsProfiles", [&](const QJsonValue& item, const QString& at) {
        removals.insert({QUuid(), json::toString(item, at)});
    });
    each("tools", [&](const QJsonValue& item, const QString& at) {
        const json::ObjectReader tool(item, at);
        const QUuid pacsProfileId = tool.uuid("pacsProfileId");
        if (pacsProfileId.isNull())
            json::fail(tool.pathOf("pacsProfileId"), QStringLiteral("a null id"));
        removals.insert({pacsProfileId, tool.string("name")});
    });
    return removals;
}

} // namespace velmor
