#include "platform/cloud/Record.h"


namespace velmor::cloud {

std::optional<FieldValue> Record::value(const QString& key) const
{
    const auto it = fields_.constFind(key);
    if (it == fields_.constEnd())
        return std::nullopt;
    return *it;
}

void Record::setValue(const QString& key, FieldValue value)
{
    if (auto* date = std::get_if<QDateTime>(&value))
        *date = storedDate(*date);
    fields_.insert(key, std::move(value));
}

void Record::setServerMetadata(QString changeTag, std::optional<QDateTime> modificationDate)
{
    changeTag_ = std::move(changeTag);
    modificationDate_ = modificationDate ? std::optional(storedDate(*modificationDate)) : std::nullopt;
}

QDateTime storedDate(const QDateTime& date)
{
    if (!date.isValid())
        return date;
    return QDateTime::fromMSecsSinceEpoch(date.toMSecsSinceEpoch(), Qt::UTC);
}

} // namespace velmor::cloud
