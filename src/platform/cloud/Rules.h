#pragma once

#include "platform/cloud/Error.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/Subscription.h"

#include <optional>

// What every database backend checks the same way.
namespace velmor::cloud::rules {

// Names that become file names (record names, asset field keys) must be plain
// file names, the record type must be set and dates valid. None when `record` may be saved.
std::optional<Error> checkSavable(const Record& record);
std::optional<Error> checkSavable(const Subscription& subscription);
std::optional<Error> checkName(const QString& name, const QString& what);

// A save goes ahead only while the stored record (if any) still carries the saved
// record's change tag; a record without a tag must not exist yet.
std::optional<Error> checkChangeTag(const std::optional<QString>& storedTag, const Record& record);

QString newChangeTag();

Error unknownRecord(const QString& recordName);
Error unknownSubscription(const QString& subscriptionID);

} // namespace velmor::cloud::rules
