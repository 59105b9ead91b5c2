#pragma once

// What the two source files of CloudKitIconSync share.

#include "platform/RegularFile.h"
#include "sync/CloudKitIconSync.h"

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

#include <optional>

namespace velmor {

// What is under an icon's name in the icons folder: nothing, or a regular file of an
// icon's size with the hash of its drawing.
struct CloudKitIconSync::Local {
    files::FileStamp stamp;
    std::optional<QByteArray> hash;
    // The drawing, when it was read (a file as it last synced is not).
    std::optional<QByteArray> bytes;
    // Its date, no later than now.
    QDateTime date;
};

// The icon's record: whether it holds a drawing, and whether that could be used.
struct CloudKitIconSync::Remote {
    bool present = false;
    bool usable = false;
    std::optional<QByteArray> hash;
    // The drawing, when it was read (a record as it last synced is not).
    std::optional<QByteArray> document;
    // Its date, a date later than now counting as now.
    QDateTime date;
    bool hasPreview = false;
};

// An error about the record itself (damaged, refused), which needs the user; not a
// conflict, an outage or a missing account, which the next sync gets past.
inline bool isRecordRefusal(const cloud::Error& error)
{
    using Code = cloud::Error::Code;
    switch (error.code()) {
    case Code::internalError:
    case Code::permissionFailure:
    case Code::serverRejectedRequest:
    case Code::assetFileNotFound:
    case Code::invalidArguments:
        return true;
    default:
        return false;
    }
}

inline QDateTime dateOfNs(qint64 ns) { return QDateTime::fromMSecsSinceEpoch(ns / 1'000'000, QTimeZone::utc()); }

} // namespace velmor
