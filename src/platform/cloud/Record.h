#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace velmor::cloud {

// A file stored with a record. Saving copies the file into the database; a
// fetched record's asset names the database's copy, to be read or copied, not changed.
struct Asset {
    QString filePath;
    bool operator==(const Asset&) const = default;
};

// The four kinds of field a record holds. Dates keep millisecond precision.
using FieldValue = std::variant<QByteArray, QDateTime, qint64, Asset>;

// One record of a cloud database: a type, a name unique in the database, the
// change tag and modification date the database gave it at its last save (none
// before the first), and named fields.
class Record {
public:
    Record() = default;
    Record(QString recordType, QString recordName)
        : recordType_(std::move(recordType)), recordName_(std::move(recordName))
    {
    }

    const QString& recordType() const { return recordType_; }
    const QString& recordName() const { return recordName_; }
    // Empty until the record has been saved.
    const QString& recordChangeTag() const { return changeTag_; }
    const std::optional<QDateTime>& modificationDate() const { return modificationDate_; }

    std::optional<FieldValue> value(const QString& key) const;
    // The field when it holds that kind of value; none otherwise.
    std::optional<QByteArray> bytes(const QString& key) const { return valueAs<QByteArray>(key); }
    std::optional<QDateTime> date(const QString& key) const { return valueAs<QDateTime>(key); }
    std::optional<qint64> integer(const QString& key) const { return valueAs<qint64>(key); }
    std::optional<Asset> asset(const QString& key) const { return valueAs<Asset>(key); }

    void setValue(const QString& key, FieldValue value);
    void removeValue(const QString& key) { fields_.remove(key); }
    QStringList keys() const { return fields_.keys(); }
    const QMap<QString, FieldValue>& fields() const { return fields_; }

    // For databases: what the server keeps about the saved record.
    void setServerMetadata(QString changeTag, std::optional<QDateTime> modificationDate);

    bool operator==(const Record&) const = default;

private:
    template <typename T>
    std::optional<T> valueAs(const QString& key) const
    {
        const auto it = fields_.constFind(key);
        if (it == fields_.constEnd() || !std::holds_alternative<T>(*it))
            return std::nullopt;
        return std::get<T>(*it);
    }

    QString recordType_;
    QString recordName_;
    QString changeTag_;
    std::optional<QDateTime> modificationDate_;
    QMap<QString, FieldValue> fields_;
};

// A date at the precision every database keeps: UTC, whole milliseconds.
QDateTime storedDate(const QDateTime& date);

} // namespace velmor::cloud
