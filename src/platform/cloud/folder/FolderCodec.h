#pragma once

#include "platform/cloud/Record.h"
#include "platform/cloud/Subscription.h"

#include <QByteArray>
#include <QString>

// The JSON files of a folder database. Decoding throws json::DecodeError.
namespace velmor::cloud::folder {

// Asset values are written and read as they stand: the caller turns them into
// file names in the record's asset folder and back.
QByteArray encodeRecord(const Record& record, const QString& modifiedBy);
// A text handed over whole (moved, not shared) becomes the memory of its largest
// byte field: a record of many megabytes is never held twice.
Record decodeRecord(QByteArray bytes);

// The name, change tag and type of a record file, read without decoding its fields.
struct RecordStamp {
    QString recordName;
    QString changeTag;
    QString recordType;
    bool operator==(const RecordStamp&) const = default;
};
RecordStamp decodeStamp(const QByteArray& bytes);

QByteArray encodeSubscription(const Subscription& subscription);
Subscription decodeSubscription(const QByteArray& bytes);

QByteArray encodeAccount(const QString& userRecordName);
QString decodeAccount(const QByteArray& bytes);

} // namespace velmor::cloud::folder
