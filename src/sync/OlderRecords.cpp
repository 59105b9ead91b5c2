#include "sync/OlderRecords.h"

#include "sync/SyncTexts.h"

#include <QDir>


namespace velmor::olderRecords {

namespace {

QString dateText(const std::optional<QDateTime>& date)
{
    return date ? date->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("undated");
}

} // namespace

std::optional<qint64> generationOf(const cloud::Record& record) { return record.integer(generationKey); }

bool isOlder(const cloud::Record& record, const std::optional<QDateTime>& date, const SyncBase::Stamp& synced)
{
    if (record.recordChangeTag() == synced.changeTag)
        return false;
    const std::optional<qint64> generation = generationOf(record);
    // A negative number is none: it never makes honest records look older.
    if (generation && *generation >= 0 && synced.generation)
        return *generation < *synced.generation;
    return date && synced.date && *date < *synced.date;
}

QString takenText(const std::optional<QDateTime>& date, const SyncBase::Stamp& synced, const QString& folder,
                  const QStringList& files)
{
    const QString kept = QStringLiteral("This computer's versions of the profiles they change are kept in “%1”: %2.")
                             .arg(QDir::toNativeSeparators(folder), synctext::quotedKeptList(files));
    if (date && synced.date && *date >= *synced.date)
        return QStringLiteral("The profiles in iCloud (dated %1) come from earlier ones put back (a restore): they "
                              "are taken. ")
                   .arg(dateText(date)) +
               kept;
    return QStringLiteral("The profiles in iCloud (dated %1) are older than the ones this computer last synced "
                          "(dated %2): they are taken as a restore. ")
               .arg(dateText(date), dateText(synced.date)) +
           kept;
}

} // namespace velmor::olderRecords
