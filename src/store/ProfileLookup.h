#pragma once

#include <QList>
#include <QSet>
#include <QUuid>

#include <algorithm>

namespace velmor {

// Index of the first element with `id` (profiles, tools), or -1.
template <typename T>
qsizetype indexOfId(const QList<T>& items, const QUuid& id)
{
    const auto it = std::find_if(items.cbegin(), items.cend(), [&](const T& item) { return item.id == id; });
    return it == items.cend() ? -1 : std::distance(items.cbegin(), it);
}

// The first element with `id`, or nullptr. Valid until the list changes.
template <typename T>
const T* findById(const QList<T>& items, const QUuid& id)
{
    const qsizetype index = indexOfId(items, id);
    return index < 0 ? nullptr : &items.at(index);
}

// The ids of all `items`.
template <typename T>
QSet<QUuid> idsOf(const QList<T>& items)
{
    QSet<QUuid> ids;
    for (const T& item : items)
        ids.insert(item.id);
    return ids;
}

} // namespace velmor
