#include "sync/RecordLineage.h"

#include "sync/OlderRecords.h"

#include <algorithm>
#include <limits>

namespace velmor::recordLineage {

namespace {

// Change tags are short names; anything else in the field is not one.
constexpr qsizetype maxTagLength = 64;

bool isTag(const QString& tag)
{
    return !tag.isEmpty() && tag.size() <= maxTagLength &&
           std::all_of(tag.cbegin(), tag.cend(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

// `first` then `rest`, each tag once, at most `limit`.
QStringList joined(const QStringList& first, const QStringList& rest, qsizetype limit)
{
    QStringList tags;
    for (const QStringList* list : {&first, &rest}) {
        for (const QString& tag : *list) {
            if (tags.size() == limit)
                return tags;
            if (!tags.contains(tag))
                tags.append(tag);
        }
    }
    return tags;
}

qint64 highestOf(const std::optional<SyncBase::Stamp>& synced)
{
    if (!synced)
        return 0;
    return std::max<qint64>({0, synced->highest.value_or(0), synced->generation.value_or(0)});
}

} // namespace

std::optional<QStringList> replacesOf(const cloud::Record& record)
{
    const std::optional<QByteArray> field = record.bytes(replacesKey);
    if (!field)
        return std::nullopt;
    QStringList tags;
    for (const QByteArray& line : field->split('\n')) {
        const QString tag = QString::fromUtf8(line);
        if (isTag(tag) && !tags.contains(tag))
            tags.append(tag);
        if (tags.size() == maxAncestors)
            break;
    }
    return tags;
}

QString restoresOf(const cloud::Record& record)
{
    const QString tag = QString::fromUtf8(record.bytes(restoresKey).value_or(QByteArray()));
    return isTag(tag) ? tag : QString();
}

Descent descentOf(const cloud::Record& record, const SyncBase::Stamp& synced, const SyncedRecordTags& met)
{
    const QString tag = record.recordChangeTag();
    if (tag == synced.changeTag)
        return Descent::same;
    // Every save gets a new tag: one this computer met before is a copy put back.
    if (synced.seen.contains(tag) || synced.replaces.value_or(QStringList()).contains(tag) ||
        met.holds(synced.account, tag))
        return Descent::restore;
    const std::optional<QStringList> replaces = replacesOf(record);
    if (replaces && replaces->contains(synced.changeTag))
        return Descent::follows;
    const QString restores = restoresOf(record);
    if (!restores.isEmpty() && restores != synced.restores)
        return Descent::restore;
    if (replaces)
        return Descent::apart;
    // Names no history. Another record under this computer's number (a writer that kept or
    // reused it) holds another state than this computer's; a lower one is a copy put back.
    const std::optional<qint64> generation = plausibleGeneration(record, synced);
    if (generation && synced.generation && *generation <= *synced.generation)
        return *generation < *synced.generation ? Descent::restore : Descent::apart;
    return Descent::unknown;
}

QStringList tagsOf(const SyncBase::Stamp& stamp)
{
    return QStringList{stamp.changeTag} + stamp.seen + stamp.replaces.value_or(QStringList());
}

std::optional<qint64> plausibleGeneration(const cloud::Record& record, const std::optional<SyncBase::Stamp>& synced)
{
    const std::optional<qint64> generation = olderRecords::generationOf(record);
    if (!generation || *generation < 0 || *generation - highestOf(synced) > maxGenerationStep)
        return std::nullopt;
    return generation;
}

void stampUpload(cloud::Record& upload, const std::optional<SyncBase::Stamp>& synced,
                 const std::optional<cloud::Record>& current)
{
    const qint64 last =
        std::max(highestOf(synced), current ? plausibleGeneration(*current, synced).value_or(0) : qint64(0));
    upload.setValue(olderRecords::generationKey, last < std::numeric_limits<qint64>::max() ? last + 1 : last);
    QStringList replaces;
    if (synced)
        replaces = joined({synced->changeTag}, synced->replaces.value_or(QStringList()), maxAncestors);
    else if (current && !current->recordChangeTag().isEmpty())
        replaces = joined({current->recordChangeTag()}, replacesOf(*current).value_or(QStringList()), maxAncestors);
    upload.setValue(replacesKey, replaces.join(u'\n').toUtf8());
    if (synced && !synced->restores.isEmpty())
        upload.setValue(restoresKey, synced->restores.toUtf8());
    else
        upload.removeValue(restoresKey);
}

SyncBase::Stamp stampAfter(const QString& account, const cloud::Record& record, const std::optional<QDateTime>& date,
                           const std::optional<SyncBase::Stamp>& previous, bool restore)
{
    SyncBase::Stamp stamp;
    stamp.account = account;
    stamp.changeTag = record.recordChangeTag();
    stamp.generation = plausibleGeneration(record, previous);
    stamp.date = date;
    stamp.replaces = replacesOf(record);
    stamp.highest = std::max(highestOf(previous), stamp.generation.value_or(0));
    const QString marker = restoresOf(record);
    if (previous && previous->account == account) {
        const QStringList before = previous->changeTag == stamp.changeTag ? QStringList() : QStringList{previous->changeTag};
        stamp.seen = joined(before, previous->seen, maxSeen + 1);
        stamp.seen.removeAll(stamp.changeTag);
        stamp.seen = stamp.seen.mid(0, maxSeen);
        stamp.restores = previous->restores;
        // Taken otherwise than as a restore, it holds this computer's state too (it follows
        // it, or was merged with it): what that state came from stays named.
        if (!restore && !before.isEmpty())
            stamp.replaces = joined(before, stamp.replaces.value_or(QStringList()) +
                                                previous->replaces.value_or(QStringList()), maxAncestors);
    }
    if (restore)
        stamp.restores = !marker.isEmpty() && marker != stamp.restores ? marker : stamp.changeTag;
    else if (!marker.isEmpty())
        stamp.restores = marker;
    return stamp;
}

SyncBase::Stamp stampOver(const SyncBase::Stamp& synced, const cloud::Record& record)
{
    SyncBase::Stamp stamp = synced;
    if (record.recordChangeTag() == synced.changeTag)
        return stamp;
    stamp.changeTag = record.recordChangeTag();
    // What goes up holds this computer's state and the record's: it descends from both.
    stamp.replaces = joined({synced.changeTag},
                            replacesOf(record).value_or(QStringList()) + synced.replaces.value_or(QStringList()),
                            maxAncestors);
    stamp.seen = joined({synced.changeTag}, synced.seen, maxSeen);
    stamp.highest = std::max(highestOf(synced), plausibleGeneration(record, synced).value_or(0));
    return stamp;
}

} // namespace velmor::recordLineage
