#include "sync/OlderRecords.h"

#include "sync/SyncTexts.h"

#include <QDir>

#include <limits>

namespace velmor::olderRecords {

namespace {

QString dateText(const std::optional<QDateTime>& date)
{
    return date ? date->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("undated");
}

} // namespace

std::optional<qint64> generationOf(const cloud::Record& record) { return record.integer(generationKey); }

qint64 next(std::optional<qint64> base, std::optional<qint64> seen)
{
    const qint64 last = std::max(base.value_or(0), seen.value_or(0));
    // Anyone can write the folder: the largest number stays the largest.
    return last < std::numeric_limits<qint64>::max() ? last + 1 : last;
}

bool isOlder(const cloud::Record& record, const std::optional<QDateTime>& date, const SyncBase::Stamp& synced)
{
    if (record.recordChangeTag() == synced.changeTag)
        return false;
    const std::optional<qint64> generation = generationOf(record);
    if (generation && synced.generation)
        return *generation < *synced.generation;
    return date && synced.date && *date < *synced.date;
}

QString takenText(const std::optional<QDateTime>& date, const SyncBase::Stamp& synced, const QString& folder,
                  const QStringList& files)
{
    return QStringLiteral("The profiles in iCloud (dated %1) are older than the ones this computer last synced "
                          "(dated %2): they are taken as a restore. This computer's versions of the profiles they "
                          "change are kept in “%3”: %4.")
        .arg(dateText(date), dateText(synced.date), QDir::toNativeSeparators(folder), synctext::quotedList(files));
}

} // namespace velmor::olderRecords
