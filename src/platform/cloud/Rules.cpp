#include "platform/cloud/Rules.h"

#include "platform/FileNames.h"

#include <QRandomGenerator>

namespace velmor::cloud::rules {

std::optional<Error> checkName(const QString& name, const QString& what)
{
    if (isPlainFileName(name))
        return std::nullopt;
    return Error(Error::Code::invalidArguments, QStringLiteral("The %1 “%2” is not a valid name.").arg(what, name));
}

std::optional<Error> checkSavable(const Record& record)
{
    if (auto error = checkName(record.recordName(), QStringLiteral("record name")))
        return error;
    if (record.recordType().isEmpty())
        return Error(Error::Code::invalidArguments,
                     QStringLiteral("The record “%1” has no record type.").arg(record.recordName()));
    for (auto it = record.fields().cbegin(); it != record.fields().cend(); ++it) {
        if (std::holds_alternative<Asset>(*it)) {
            if (auto error = checkName(it.key(), QStringLiteral("asset field")))
                return error;
        }
        if (const auto* date = std::get_if<QDateTime>(&*it); date && !date->isValid())
            return Error(Error::Code::invalidArguments,
                         QStringLiteral("The field “%1” holds an invalid date.").arg(it.key()));
    }
    return std::nullopt;
}

std::optional<Error> checkSavable(const Subscription& subscription)
{
    return checkName(subscription.subscriptionID, QStringLiteral("subscription id"));
}

std::optional<Error> checkChangeTag(const std::optional<QString>& storedTag, const Record& record)
{
    if (!storedTag || *storedTag == record.recordChangeTag())
        return std::nullopt;
    return Error(Error::Code::serverRecordChanged,
                 QStringLiteral("The record “%1” was changed by another client.").arg(record.recordName()));
}

QString newChangeTag()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, u'0');
}

Error unknownRecord(const QString& recordName)
{
    return Error(Error::Code::unknownItem, QStringLiteral("The record “%1” does not exist.").arg(recordName));
}

Error unknownSubscription(const QString& subscriptionID)
{
    return Error(Error::Code::unknownItem,
                 QStringLiteral("The subscription “%1” does not exist.").arg(subscriptionID));
}

} // namespace velmor::cloud::rules
