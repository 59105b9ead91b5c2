#include "sync/IconSpellings.h"

#include "model/CustomIcon.h"

#include <QDir>

#include <algorithm>

namespace velmor {

IconSpellings::IconSpellings(const QStringList& entries)
{
    for (const QString& entry : entries)
        if (isCustomIconFileName(entry))
            byRecord_[entry.chopped(4)].append(entry);
    for (auto it = byRecord_.begin(); it != byRecord_.end(); ++it) {
        if (it->size() < 2)
            continue;
        const QStringList order = customIconFileSpellings(it.key() + QStringLiteral(".svg"));
        std::sort(it->begin(), it->end(),
                  [&](const QString& a, const QString& b) { return order.indexOf(a) < order.indexOf(b); });
    }
}

IconSpellings IconSpellings::inFolder(const QString& folder)
{
    return IconSpellings(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot));
}

std::optional<QString> IconSpellings::fileOf(const QString& recordName) const
{
    const auto found = byRecord_.constFind(recordName);
    if (found == byRecord_.cend())
        return std::nullopt;
    return found->first();
}

QStringList IconSpellings::othersOf(const QString& recordName) const
{
    return byRecord_.value(recordName).mid(1);
}

} // namespace velmor
