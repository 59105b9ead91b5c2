#include "platform/Json.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>

namespace velmor::json {

void fail(const QString& path, const QString& reason)
{
    throw DecodeError(path.isEmpty() ? reason : path + ": " + reason);
}

QByteArray encode(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Indented); }

QByteArray encode(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Indented); }

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
} // namespace

QJsonValue parse(const QByteArray& bytes)
{
    const QByteArray text = bytes.startsWith(byteOrderMark) ? bytes.mid(qstrlen(byteOrderMark)) : bytes;
    const qsizetype start = std::find_if(text.begin(), text.end(), [](char c) { return !isSpace(c); }) - text.begin();

    QJsonParseError error{};
    if (start < text.size() && (text[start] == '{' || text[start] == '[')) {
        const QJsonDocument document = QJsonDocument::fromJson(text, &error);
        if (error.error != QJsonParseError::NoError)
            fail({}, QStringLiteral("the data is not valid JSON"));
        return document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
    }
    // A bare value (a number, a string) parses as the one element of an array.
    const QJsonDocument document = QJsonDocument::fromJson("[" + text + "\n]", &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().size() != 1)
        fail({}, QStringLiteral("the data is not valid JSON"));
    return document.array().at(0);
}

QString uuidText(const QUuid& uuid)
{
    // Hex digits and hyphens: the bytes' own upper-casing, far cheaper than a string's.
    return QString::fromLatin1(uuid.toByteArray(QUuid::WithoutBraces).toUpper());
}

std::optional<QUuid> parseUuid(QStringView text)
{
    if (text.size() != 36)
        return std::nullopt;
    // 16 bytes from 32 hex digits, hyphens after the 4th, 6th, 8th and 10th byte.
    std::array<uchar, 16> bytes{};
    qsizetype i = 0;
    for (int byte = 0; byte < 16; ++byte) {
        if (byte == 4 || byte == 6 || byte == 8 || byte == 10) {
            if (text[i++] != u'-')
                return std::nullopt;
        }
        int value = 0;
        for (int digit = 0; digit < 2; ++digit) {
            const char16_t c = text[i++].unicode();
            int nibble = -1;
            if (c >= '0' && c <= '9')
                nibble = c - '0';
            else if (c >= 'a' && c <= 'f')
                nibble = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                nibble = c - 'A' + 10;
            if (nibble < 0)
                return std::nullopt;
            value = value << 4 | nibble;
        }
        bytes[byte] = static_cast<uchar>(value);
    }
    return QUuid::fromRfc4122(QByteArrayView(reinterpret_cast<const char*>(bytes.data()), 16));
}

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
    const QString text = toString(value, path);
    const std::optional<QUuid> uuid = parseUuid(text);
    if (!uuid)
        fail(path, QStringLiteral("not a UUID: \"%1\"").arg(text.left(64)));
    return *uuid;
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

bool ObjectReader::has(Key key) const
{
    const QJsonValue v = key.in(object_);
    return !v.isUndefined() && !v.isNull();
}

QJsonValue ObjectReader::required(Key key) const
{
    QJsonValue v = key.in(object_);
    if (v.isUndefined() || v.isNull())
        fail(pathOf(key), QStringLiteral("required key is missing"));
    return v;
}

std::optional<QJsonValue> ObjectReader::optional(Key key) const
{
    QJsonValue v = key.in(object_);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    return v;
}

QUuid ObjectReader::uuid(Key key) const { return convert(key, &toUuid); }

std::optional<QUuid> ObjectReader::optionalUuid(Key key) const { return map(key, &toUuid); }

QString ObjectReader::pathOf(Key key) const { return path_.isEmpty() ? key.toString() : path_ + '.' + key.toString(); }

} // namespace velmor::json
