#pragma once

#include "platform/cloud/Record.h"
#include "sync/SyncBase.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// A profiles record put back from before the state this computer last synced (a restored
// backup, a file-sync peer with an old copy): told by its generation, which every upload
// sets one past the record it replaces, else by its date. A clock that runs behind does
// not make a new record older: its generation is still later.
namespace velmor::olderRecords {

inline const QString generationKey = QStringLiteral("generation");

std::optional<qint64> generationOf(const cloud::Record& record);
// One past the later of the two known generations.
qint64 next(std::optional<qint64> base, std::optional<qint64> seen);
// `record` (dated `date`) is another record than `synced`'s, and older than it.
bool isOlder(const cloud::Record& record, const std::optional<QDateTime>& date, const SyncBase::Stamp& synced);
// Tells that such a record was taken and where this computer's versions it replaced are.
QString takenText(const std::optional<QDateTime>& date, const SyncBase::Stamp& synced, const QString& folder,
                  const QStringList& files);

} // namespace velmor::olderRecords
