#include "platform/Json.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

#include <cmath>

namespace velmor::json {

void fail(const QString& path, const QString& reason)
{
    throw DecodeError(path.isEmpty() ? reason : path + ": " + reason);
}

QByteArray encode(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Indented); }

QByteArray encode(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Indented); }

QJsonValue parse(const QByteArray& bytes)
{
    // Wrap so that bare values (a number, a string) parse as well.
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson("[" + bytes + "\n]", &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().size() != 1)
        fail({}, QStringLiteral("the data is not valid JSON"));
    return document.array().at(0);
}

QString uuidText(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

namespace {
[[noreturn]] void typeMismatch(const QString& path, const char* expected)
{
    fail(path, QStringLiteral("expected %1").arg(QLatin1String(expected)));
}

void requirePresent(const QJsonValue& value, const QString& path)
{
    if (value.isUndefined() || value.isNull())
        fail(path, QStringLiteral("value is missing"));
}
} // namespace

QString toString(const QJsonValue& value, const QString& path)
{
    requirePresent(value, path);
    if (!value.isString())
        typeMismatch(path, "a string");
    return value.toString();
}

bool toBool(const QJsonValue& value, const QString& path)
{
    requirePresent(value, path);
    if (!value.isBool())
        typeMismatch(path, "a boolean");
    return value.toBool();
}

double toDouble(const QJsonValue& value, const QString& path)
{
    requirePresent(value, path);
    if (!value.isDouble())
        typeMismatch(path, "a number");
    return value.toDouble();
}

QUuid toUuid(const QJsonValue& value, const QString& path)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    const QString text = toString(value, path);
    if (!form.match(text).hasMatch())
        fail(path, QStringLiteral("not a UUID: \"%1\"").arg(text.left(64)));
    return QUuid::fromString(text);
}

QJsonObject toObject(const QJsonValue& value, const QString& path)
{
    requirePresent(value, path);
    if (!value.isObject())
        typeMismatch(path, "an object");
    return value.toObject();
}

QJsonArray toArray(const QJsonValue& value, const QString& path)
{
    requirePresent(value, path);
    if (!value.isArray())
        typeMismatch(path, "an array");
    return value.toArray();
}

qint64 toInteger(const QJsonValue& value, const QString& path, qint64 min, qint64 max)
{
    requirePresent(value, path);
    if (!value.isDouble())
        typeMismatch(path, "a whole number");
    // Qt keeps integer literals exact as 64-bit integers; anything else arrives as a double.
    const QCborValue cbor = QCborValue::fromJsonValue(value);
    qint64 whole = 0;
    if (cbor.isInteger()) {
        whole = cbor.toInteger();
    } else {
        const double d = value.toDouble();
        // 2^63 itself is out of range, so compare against it with <.
        if (!std::isfinite(d) || std::trunc(d) != d || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
            fail(path, QStringLiteral("not a whole number in range"));
        whole = static_cast<qint64>(d);
    }
    if (whole < min || whole > max)
        fail(path, QStringLiteral("%1 is out of range").arg(whole));
    return whole;
}

ObjectReader::ObjectReader(const QJsonValue& value, QString path)
    : object_(toObject(value, path)), path_(std::move(path))
{
}

bool ObjectReader::has(const QString& key) const
{
    const QJsonValue v = object_.value(key);
    return !v.isUndefined() && !v.isNull();
}

QJsonValue ObjectReader::required(const QString& key) const
{
    const QJsonValue v = object_.value(key);
    if (v.isUndefined() || v.isNull())
        fail(pathOf(key), QStringLiteral("required key is missing"));
    return v;
}

std::optional<QJsonValue> ObjectReader::optional(const QString& key) const
{
    if (!has(key))
        return std::nullopt;
    return object_.value(key);
}

QString ObjectReader::pathOf(const QString& key) const { return path_.isEmpty() ? key : path_ + '.' + key; }

} // namespace velmor::json
