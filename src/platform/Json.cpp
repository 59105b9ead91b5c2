#include "platform/Json.h"

#include <QCborValue>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace velmor::json {

void fail(const QString& path, const QString& reason)
{
    throw DecodeError(path.isEmpty() ? reason : path + ": " + reason);
}

QByteArray encode(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Indented); }

QByteArray encode(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Indented); }

namespace {

// Some editors start UTF-8 files with a byte-order mark.
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype byteOrderMarkSize = 3;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::array<bool, 256> byteSet(std::string_view members)
{
    std::array<bool, 256> result{};
    for (const char c : members)
        result[static_cast<unsigned char>(c)] = true;
    return result;
}

// Finds the extent of the values of one level of a JSON text; what lies inside
// a value is left to the parser that parses it.
class Scanner {
public:
    // Scans `text` after its byte-order mark, if it has one.
    explicit Scanner(const QByteArray& text) : p_(text.constData()), end_(p_ + text.size())
    {
        if (text.startsWith(byteOrderMark))
            p_ += byteOrderMarkSize;
    }

    void skipSpace()
    {
        while (p_ != end_ && isSpace(*p_))
            ++p_;
    }
    bool atEnd() const { return p_ == end_; }
    bool take(char c)
    {
        if (p_ == end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }
    bool peek(char c) const { return p_ != end_ && *p_ == c; }

    // The text of the value that starts here; none when there is none.
    std::optional<QByteArray> value()
    {
        const char* const start = p_;
        if (p_ == end_)
            return std::nullopt;
        if (*p_ == '"') {
            if (!skipString())
                return std::nullopt;
        } else if (*p_ == '{' || *p_ == '[') {
            if (!skipContainer())
                return std::nullopt;
        } else {
            while (p_ != end_ && !isSpace(*p_) && *p_ != ',' && *p_ != ']' && *p_ != '}')
                ++p_;
            if (p_ == start)
                return std::nullopt;
        }
        return QByteArray::fromRawData(start, p_ - start);
    }

private:
    // The bytes the container loop stops at; the rest it steps over.
    static constexpr std::array<bool, 256> containerStops = byteSet("\"{}[]");

    void skipUntil(const std::array<bool, 256>& stops)
    {
        while (p_ != end_ && !stops[static_cast<unsigned char>(*p_)])
            ++p_;
    }

    bool skipString()
    {
        for (const char* from = p_ + 1;;) {
            const auto* quote = static_cast<const char*>(std::memchr(from, '"', end_ - from));
            if (!quote)
                return false;
            // Escaped when an odd number of backslashes comes before it.
            const char* before = quote;
            while (before != p_ + 1 && before[-1] == '\\')
                --before;
            from = quote + 1;
            if ((quote - before) % 2 == 0) {
                p_ = from;
                return true;
            }
        }
    }

    bool skipContainer()
    {
        // Deeper nesting is left to a parser of the whole text.
        static constexpr int maxDepth = 512;
        char closers[maxDepth];
        int depth = 0;
        for (;;) {
            skipUntil(containerStops);
            if (p_ == end_)
                return false;
            const char c = *p_;
            if (c == '"') {
                if (!skipString())
                    return false;
                continue;
            }
            ++p_;
            if (c == '{' || c == '[') {
                if (depth == maxDepth)
                    return false;
                closers[depth++] = c == '{' ? '}' : ']';
            } else {
                if (closers[--depth] != c)
                    return false;
                if (depth == 0)
                    return true;
            }
        }
    }

    const char* p_;
    const char* end_;
};

// A member name as the parser reads it: plain printable ASCII directly, anything else through the parser.
std::optional<QString> keyText(const QByteArray& quoted)
{
    const QByteArrayView inner = QByteArrayView(quoted).sliced(1, quoted.size() - 2);
    if (std::all_of(inner.begin(), inner.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; }))
        return QString::fromLatin1(inner);
    try {
        const QJsonValue key = parse(quoted);
        return key.isString() ? std::optional<QString>(key.toString()) : std::nullopt;
    } catch (const DecodeError&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<QList<Member>> splitObject(const QByteArray& text)
{
    Scanner scan(text);
    scan.skipSpace();
    if (!scan.take('{'))
        return std::nullopt;
    QList<Member> members;
    scan.skipSpace();
    if (!scan.take('}')) {
        do {
            scan.skipSpace();
            if (!scan.peek('"'))
                return std::nullopt;
            const std::optional<QByteArray> quoted = scan.value();
            const std::optional<QString> key = quoted ? keyText(*quoted) : std::nullopt;
            scan.skipSpace();
            if (!key || !scan.take(':'))
                return std::nullopt;
            scan.skipSpace();
            std::optional<QByteArray> value = scan.value();
            if (!value)
                return std::nullopt;
            members.append({*key, std::move(*value)});
            scan.skipSpace();
        } while (scan.take(','));
        if (!scan.take('}'))
            return std::nullopt;
    }
    scan.skipSpace();
    return scan.atEnd() ? std::optional<QList<Member>>(std::move(members)) : std::nullopt;
}

std::optional<QList<QByteArray>> splitArray(const QByteArray& text)
{
    Scanner scan(text);
    scan.skipSpace();
    if (!scan.take('['))
        return std::nullopt;
    QList<QByteArray> elements;
    scan.skipSpace();
    if (!scan.take(']')) {
        do {
            scan.skipSpace();
            std::optional<QByteArray> value = scan.value();
            if (!value)
                return std::nullopt;
            elements.append(std::move(*value));
            scan.skipSpace();
        } while (scan.take(','));
        if (!scan.take(']'))
            return std::nullopt;
    }
    scan.skipSpace();
    return scan.atEnd() ? std::optional<QList<QByteArray>>(std::move(elements)) : std::nullopt;
}

QJsonValue parse(const QByteArray& bytes)
{
    const QByteArray text = bytes.startsWith(byteOrderMark) ? bytes.mid(byteOrderMarkSize) : bytes;
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

QString uuidText(const QUuid& uuid) { return uuid.toString(QUuid::WithoutBraces).toUpper(); }

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
