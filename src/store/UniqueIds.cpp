#include "store/UniqueIds.h"

#include "store/ProfileLookup.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace velmor {

namespace {

// Gives the later holders of a repeated id, over one or more lists of one kind, ids
// derived from the one they repeat: "the n-th holder of X" is the same id everywhere.
class Renamer {
public:
    // `held`: every id of that kind, so that no derived id takes one of them.
    explicit Renamer(QSet<QUuid> held) : held_(std::move(held)) { seen_.reserve(held_.size()); }

    // Renames in `items`, written only where an id changes; `renamed(index, repeated id)`.
    template <typename T, typename Renamed>
    void rename(QList<T>& items, Renamed renamed)
    {
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QUuid id = std::as_const(items).at(i).id;
            if (!seen_.contains(id)) {
                seen_.insert(id);
                continue;
            }
            items[i].id = derivedId(id);
            renamed(i, id);
            changed_ = true;
        }
    }
    template <typename T>
    void rename(QList<T>& items)
    {
        rename(items, [](qsizetype, const QUuid&) {});
    }
    bool changed() const { return changed_; }

private:
    QUuid derivedId(const QUuid& repeated)
    {
        int& copy = copies_[repeated];
        for (copy = std::max(copy + 1, 2);; ++copy) {
            const QUuid id = QUuid::createUuidV5(repeated, QStringLiteral("copy\n%1").arg(copy));
            if (!held_.contains(id)) {
                held_.insert(id);
                seen_.insert(id);
                return id;
            }
        }
    }

    QSet<QUuid> held_;
    QSet<QUuid> seen_;
    QHash<QUuid, int> copies_;
    bool changed_ = false;
};

int toolsNamed(const UserProfile& user, const PacsProfile& pacs)
{
    const QSet<QUuid> tools = idsOf(pacs.tools);
    return int(std::count_if(user.mappings.cbegin(), user.mappings.cend(),
                             [&](const ButtonMapping& mapping) { return tools.contains(mapping.toolId); }));
}

// A user profile bound to a PACS profile id that several held meant the one whose
// tools its mappings name most; `holders` lists each such id's holders, first first.
void rebindUsers(LoadResult& profiles, const QHash<QUuid, QList<qsizetype>>& holders)
{
    const QList<PacsProfile>& pacs = profiles.pacsProfiles;
    for (qsizetype u = 0; u < profiles.userProfiles.size(); ++u) {
        const UserProfile& user = std::as_const(profiles.userProfiles).at(u);
        const auto candidates = holders.constFind(user.pacsProfileId);
        if (candidates == holders.cend())
            continue;
        int most = -1;
        QUuid bound;
        for (const qsizetype p : *candidates) {
            if (const int named = toolsNamed(user, pacs.at(p)); named > most) {
                most = named;
                bound = pacs.at(p).id;
            }
        }
        if (bound != user.pacsProfileId)
            profiles.userProfiles[u].pacsProfileId = bound;
    }
}

QSet<QUuid> mappingIds(const QList<UserProfile>& users)
{
    QSet<QUuid> ids;
    for (const UserProfile& user : users)
        ids.unite(idsOf(user.mappings));
    return ids;
}

} // namespace

bool makeIdsUnique(LoadResult& profiles)
{
    Renamer pacs(idsOf(profiles.pacsProfiles));
    QHash<QUuid, QList<qsizetype>> holders;
    pacs.rename(profiles.pacsProfiles, [&](qsizetype index, const QUuid& repeated) {
        QList<qsizetype>& list = holders[repeated];
        if (list.isEmpty())
            list.append(indexOfId(std::as_const(profiles.pacsProfiles), repeated));
        list.append(index);
    });
    rebindUsers(profiles, holders);

    Renamer users(idsOf(profiles.userProfiles));
    users.rename(profiles.userProfiles);

    bool toolsChanged = false;
    for (qsizetype p = 0; p < profiles.pacsProfiles.size(); ++p) {
        const QList<RadiologyTool>& tools = std::as_const(profiles.pacsProfiles).at(p).tools;
        QSet<QUuid> ids = idsOf(tools);
        if (ids.size() == tools.size())
            continue;
        Renamer renamer(std::move(ids));
        renamer.rename(profiles.pacsProfiles[p].tools);
        toolsChanged = true;
    }

    Renamer mappings(mappingIds(profiles.userProfiles));
    for (qsizetype u = 0; u < profiles.userProfiles.size(); ++u) {
        // A shared copy: the profile is written only when one of its mappings is renamed.
        QList<ButtonMapping> list = std::as_const(profiles.userProfiles).at(u).mappings;
        bool renamed = false;
        mappings.rename(list, [&renamed](qsizetype, const QUuid&) { renamed = true; });
        if (renamed)
            profiles.userProfiles[u].mappings = std::move(list);
    }
    return pacs.changed() || users.changed() || toolsChanged || mappings.changed();
}

} // namespace velmor
