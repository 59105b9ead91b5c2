#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <concepts>
#include <limits>
#include <optional>
#include <stdexcept>

// JSON conventions shared by every stored value: optionals left out when absent,
// absent and null alike on reading, a missing or null required key fails the
// value, unknown keys ignored, UUIDs written upper-case, whole numbers checked
// against their type's range, documents pretty-printed with sorted keys.
namespace velmor::json {

// A value that could not be decoded; what() names the key path and the reason.
class DecodeError : public std::runtime_error {
public:
    explicit DecodeError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

[[noreturn]] void fail(const QString& path, const QString& reason);

// Pretty-printed, keys sorted.
QByteArray encode(const QJsonObject& object);
QByteArray encode(const QJsonArray& array);
// Any JSON text (object, array or a bare value); throws DecodeError on bad syntax.
QJsonValue parse(const QByteArray& bytes);

QString uuidText(const QUuid& uuid);

// Conversions of single values; `path` names the value in errors.
QString toString(const QJsonValue& value, const QString& path);
bool toBool(const QJsonValue& value, const QString& path);
double toDouble(const QJsonValue& value, const QString& path);
QUuid toUuid(const QJsonValue& value, const QString& path);
QJsonObject toObject(const QJsonValue& value, const QString& path);
QJsonArray toArray(const QJsonValue& value, const QString& path);
// A whole number in [min, max]; 5.0 counts as whole, 5.5 does not.
qint64 toInteger(const QJsonValue& value, const QString& path, qint64 min, qint64 max);

template <std::integral I>
I toInteger(const QJsonValue& value, const QString& path)
{
    static_assert(sizeof(I) < 8 || std::numeric_limits<I>::is_signed, "unsigned 64-bit is not supported");
    return static_cast<I>(toInteger(value, path, std::numeric_limits<I>::min(), std::numeric_limits<I>::max()));
}

// Reads the keys of one JSON object.
class ObjectReader {
public:
    // Fails unless `value` is an object.
    ObjectReader(const QJsonValue& value, QString path);

    // Present and not null.
    bool has(const QString& key) const;
    // The value of a present, non-null key; fails otherwise.
    QJsonValue required(const QString& key) const;
    std::optional<QJsonValue> optional(const QString& key) const;
    QString pathOf(const QString& key) const;

    QString string(const QString& key) const { return toString(required(key), pathOf(key)); }
    bool boolean(const QString& key) const { return toBool(required(key), pathOf(key)); }
    double number(const QString& key) const { return toDouble(required(key), pathOf(key)); }
    QUuid uuid(const QString& key) const { return toUuid(required(key), pathOf(key)); }
    QJsonArray array(const QString& key) const { return toArray(required(key), pathOf(key)); }
    QJsonObject object(const QString& key) const { return toObject(required(key), pathOf(key)); }
    template <std::integral I>
    I integer(const QString& key) const
    {
        return toInteger<I>(required(key), pathOf(key));
    }

    std::optional<QString> optionalString(const QString& key) const { return map(key, &toString); }
    std::optional<bool> optionalBool(const QString& key) const { return map(key, &toBool); }
    std::optional<double> optionalNumber(const QString& key) const { return map(key, &toDouble); }
    std::optional<QUuid> optionalUuid(const QString& key) const { return map(key, &toUuid); }
    std::optional<QJsonArray> optionalArray(const QString& key) const { return map(key, &toArray); }
    template <std::integral I>
    std::optional<I> optionalInteger(const QString& key) const
    {
        const auto v = optional(key);
        return v ? std::optional<I>(toInteger<I>(*v, pathOf(key))) : std::nullopt;
    }

    // Nested values decode through T::fromJson(value, path).
    template <typename T>
    T decode(const QString& key) const
    {
        return T::fromJson(required(key), pathOf(key));
    }
    template <typename T>
    std::optional<T> decodeOptional(const QString& key) const
    {
        const auto v = optional(key);
        return v ? std::optional<T>(T::fromJson(*v, pathOf(key))) : std::nullopt;
    }
    template <typename T>
    QList<T> decodeList(const QString& key) const
    {
        return decodeArray<T>(required(key), pathOf(key));
    }

    const QJsonObject& raw() const { return object_; }

    template <typename T>
    static QList<T> decodeArray(const QJsonValue& value, const QString& path)
    {
        const QJsonArray items = toArray(value, path);
        QList<T> result;
        result.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i)
            result.append(T::fromJson(items.at(i), path + '[' + QString::number(i) + ']'));
        return result;
    }

private:
    template <typename R>
    std::optional<R> map(const QString& key, R (*convert)(const QJsonValue&, const QString&)) const
    {
        const auto v = optional(key);
        return v ? std::optional<R>(convert(*v, pathOf(key))) : std::nullopt;
    }

    QJsonObject object_;
    QString path_;
};

// Builds one JSON object; optionals that are absent are left out.
class ObjectWriter {
public:
    ObjectWriter& set(const QString& key, const QJsonValue& value)
    {
        object_.insert(key, value);
        return *this;
    }
    ObjectWriter& set(const QString& key, const QUuid& uuid) { return set(key, uuidText(uuid)); }
    template <typename T>
    ObjectWriter& setOptional(const QString& key, const std::optional<T>& value)
    {
        if (value)
            set(key, *value);
        return *this;
    }
    QJsonObject take() { return std::move(object_); }

private:
    QJsonObject object_;
};

// Encodes a list of values through T::toJson().
template <typename T>
QJsonArray encodeList(const QList<T>& items)
{
    QJsonArray array;
    for (const auto& item : items)
        array.append(item.toJson());
    return array;
}

} // namespace velmor::json
