#pragma once

#include "platform/cloud/Record.h"
#include "sync/SyncBase.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// A profiles record put back from before the state this computer last synced (a restored
// backup, a file-sync peer with an old copy), where neither side names its history
// (RecordLineage): told by its generation, which every upload sets above every number
// met, else by its date. A clock that runs behind does not make a new record older:
// its generation is still later.
namespace velmor::olderRecords {

inline const QString generationKey = QStringLiteral("generation");

std::optional<qint64> generationOf(const cloud::Record& record);
// `record` (dated `date`) is another record than `synced`'s, and older than it.
bool isOlder(const cloud::Record& record, const std::optional<QDateTime>& date, const SyncBase::Stamp& synced);
// Tells that such a record was taken and where this computer's versions it replaced are.
QString takenText(const std::optional<QDateTime>& date, const SyncBase::Stamp& synced, const QString& folder,
                  const QStringList& files);

} // namespace velmor::olderRecords
