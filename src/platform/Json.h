#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QUuid>

#include <concepts>
#include <cstddef>
#include <limits>
#include <optional>
#include <stdexcept>

// JSON conventions shared by every stored value: optionals left out when absent,
// absent and null alike on reading, a missing or null required key fails the
// value, unknown keys ignored, UUIDs written upper-case, whole numbers checked
// against their type's range, documents pretty-printed with sorted keys. A
// leading UTF-8 byte-order mark is accepted on reading and never written.
//
// Paths in error messages are built only when something fails: a value that
// does not decode is decoded again with its path, to name it.
namespace velmor::json {

// A value that could not be decoded; what() names the key path and the reason.
class DecodeError : public std::runtime_error {
public:
    explicit DecodeError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

[[noreturn]] void fail(const QString& path, const QString& reason);

// Some editors start UTF-8 files with it; it is skipped on reading.
inline constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

// Pretty-printed, keys sorted.
QByteArray encode(const QJsonObject& object);
QByteArray encode(const QJsonArray& array);
// Any JSON text (object, array or a bare value), after an optional UTF-8
// byte-order mark; throws DecodeError on bad syntax.
QJsonValue parse(const QByteArray& bytes);

QString uuidText(const QUuid& uuid);
// The 36-character hyphenated form in either letter case, nothing else.
std::optional<QUuid> parseUuid(QStringView text);

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

// The name of an object member: a string literal, looked up as it is, or any text.
class Key {
public:
    template <std::size_t N>
    constexpr Key(const char (&literal)[N]) : literal_(literal, N - 1)
    {
    }
    // `text` must outlive the key (a key lives for one call).
    Key(const QString& text) : text_(&text) {}

    QJsonValue in(const QJsonObject& object) const { return text_ ? object.value(*text_) : object.value(literal_); }
    QString toString() const { return text_ ? *text_ : QString(literal_); }

private:
    QLatin1StringView literal_;
    const QString* text_ = nullptr;
};

// Reads the keys of one JSON object.
class ObjectReader {
public:
    // Fails unless `value` is an object.
    ObjectReader(const QJsonValue& value, QString path);

    // Present and not null.
    bool has(Key key) const;
    // The value of a present, non-null key; fails otherwise.
    QJsonValue required(Key key) const;
    std::optional<QJsonValue> optional(Key key) const;
    QString pathOf(Key key) const;

    QString string(Key key) const { return convert(key, &toString); }
    bool boolean(Key key) const { return convert(key, &toBool); }
    double number(Key key) const { return convert(key, &toDouble); }
    QUuid uuid(Key key) const;
    QJsonArray array(Key key) const { return convert(key, &toArray); }
    QJsonObject object(Key key) const { return convert(key, &toObject); }
    template <std::integral I>
    I integer(Key key) const
    {
        return convert(key, &toInteger<I>);
    }

    std::optional<QString> optionalString(Key key) const { return map(key, &toString); }
    std::optional<bool> optionalBool(Key key) const { return map(key, &toBool); }
    std::optional<double> optionalNumber(Key key) const { return map(key, &toDouble); }
    std::optional<QUuid> optionalUuid(Key key) const;
    std::optional<QJsonArray> optionalArray(Key key) const { return map(key, &toArray); }
    template <std::integral I>
    std::optional<I> optionalInteger(Key key) const
    {
        return map(key, &toInteger<I>);
    }

    // Nested values decode through T::fromJson(value, path).
    template <typename T>
    T decode(Key key) const
    {
        return convert(key, &T::fromJson);
    }
    template <typename T>
    std::optional<T> decodeOptional(Key key) const
    {
        return map(key, &T::fromJson);
    }
    template <typename T>
    QList<T> decodeList(Key key) const
    {
        return convert(key, &decodeArray<T>);
    }

    const QJsonObject& raw() const { return object_; }

    template <typename T>
    static QList<T> decodeArray(const QJsonValue& value, const QString& path)
    {
        const QJsonArray items = toArray(value, path);
        QList<T> result;
        result.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QJsonValue item = items.at(i);
            try {
                result.append(T::fromJson(item, {}));
            } catch (const DecodeError&) {
                result.append(T::fromJson(item, path + '[' + QString::number(i) + ']'));
            }
        }
        return result;
    }

private:
    template <typename R>
    R convert(Key key, R (*convert)(const QJsonValue&, const QString&)) const
    {
        const QJsonValue v = required(key);
        try {
            return convert(v, {});
        } catch (const DecodeError&) {
            return convert(v, pathOf(key));
        }
    }
    template <typename R>
    std::optional<R> map(Key key, R (*convert)(const QJsonValue&, const QString&)) const
    {
        const auto v = optional(key);
        if (!v)
            return std::nullopt;
        try {
            return convert(*v, {});
        } catch (const DecodeError&) {
            return convert(*v, pathOf(key));
        }
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
