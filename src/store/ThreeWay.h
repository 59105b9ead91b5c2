#pragma once

#include <QHash>
#include <QList>
#include <QSet>

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

namespace velmor::threeWay {

// What became of one thing changed apart, and whether both sides changed it differently.
template <typename T>
struct Merged {
    T value;
    bool conflict = false;
};

// One value changed apart, `same` telling two versions of it apart: a change made on
// one side stays, the same change on both is one, and different changes on both are a
// conflict that the later side wins. No base: every difference is a conflict.
template <typename T, typename Same>
Merged<T> pick(const T* base, const T& local, const T& remote, bool localIsLater, Same same)
{
    if (same(local, remote))
        return {remote, false};
    if (base && same(local, *base))
        return {remote, false};
    if (base && same(remote, *base))
        return {local, false};
    return {localIsLater ? local : remote, true};
}

// Lists of things changed apart, matched by key, each thing present on both sides
// merged by `mergeBoth(base or nullptr, local, remote) → Merged`:
// - on one side only: added there (no base) it stays; deleted on the other side, it
//   goes when it is as it was (`same` as the base) and stays when it was changed;
// - on neither side: deleted on both.
// The result keeps the remote's order, with this side's own after it in their order.
// A key held twice in one list is matched by its first; the others stay as they are.
template <typename Item, typename KeyOf, typename Same, typename MergeBoth>
Merged<QList<Item>> mergeKeyed(const QList<Item>& base, const QList<Item>& local, const QList<Item>& remote,
                               KeyOf keyOf, Same same, MergeBoth mergeBoth)
{
    using Key = decltype(keyOf(std::declval<const Item&>()));
    const auto index = [&keyOf](const QList<Item>& items) {
        QHash<Key, const Item*> byKey;
        for (const Item& item : items) {
            if (const Key key = keyOf(item); !byKey.contains(key))
                byKey.insert(key, &item);
        }
        return byKey;
    };
    const QHash<Key, const Item*> baseByKey = index(base);
    const QHash<Key, const Item*> localByKey = index(local);
    const QHash<Key, const Item*> remoteByKey = index(remote);

    Merged<QList<Item>> out;
    out.value.reserve(std::max(local.size(), remote.size()));
    const auto onOneSide = [&](const Item& item) {
        const Item* was = baseByKey.value(keyOf(item));
        if (!was || !same(*was, item))
            out.value.append(item);
    };
    for (const Item& theirs : remote) {
        const Key key = keyOf(theirs);
        if (remoteByKey.value(key) != &theirs) {
            out.value.append(theirs);
            continue;
        }
        const Item* ours = localByKey.value(key);
        if (!ours) {
            onOneSide(theirs);
            continue;
        }
        Merged<Item> both = mergeBoth(baseByKey.value(key), *ours, theirs);
        out.conflict = out.conflict || both.conflict;
        out.value.append(std::move(both.value));
    }
    for (const Item& ours : local) {
        const Key key = keyOf(ours);
        if (localByKey.value(key) != &ours) {
            if (!remoteByKey.contains(key))
                out.value.append(ours);
            continue;
        }
        if (!remoteByKey.contains(key))
            onOneSide(ours);
    }
    return out;
}

} // namespace velmor::threeWay
