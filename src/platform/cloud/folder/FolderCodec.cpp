#include "platform/cloud/folder/FolderCodec.h"

#include "platform/Json.h"
#include "platform/JsonParts.h"

#include <QHash>
#include <QUuid>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace velmor::cloud::folder {

namespace {

QString dateText(const QDateTime& date) { return storedDate(date).toString(Qt::ISODateWithMs); }

QDateTime dateFrom(const QJsonValue& value, const QString& path)
{
    const QDateTime date = QDateTime::fromString(json::toString(value, path), Qt::ISODateWithMs);
    if (!date.isValid())
        json::fail(path, QStringLiteral("not a date"));
    return storedDate(date);
}

QJsonObject encodeField(const FieldValue& value)
{
    return std::visit(
        [](const auto& v) -> QJsonObject {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, QByteArray>)
                return {{"bytes", QString::fromLatin1(v.toBase64())}};
            else if constexpr (std::is_same_v<V, QDateTime>)
                return {{"date", dateText(v)}};
            else if constexpr (std::is_same_v<V, qint64>)
                return {{"int64", QString::number(v)}}; // text: JSON numbers lose 64-bit precision
            else
                return {{"asset", v.filePath}};
        },
        value);
}

FieldValue decodeField(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader field(value, path);
    if (field.has("bytes")) {
        const auto decoded = QByteArray::fromBase64Encoding(field.string("bytes").toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            json::fail(field.pathOf("bytes"), QStringLiteral("not base64"));
        return *decoded;
    }
    if (field.has("date"))
        return dateFrom(field.required("date"), field.pathOf("date"));
    if (field.has("int64")) {
        bool ok = false;
        const qint64 number = field.string("int64").toLongLong(&ok);
        if (!ok)
            json::fail(field.pathOf("int64"), QStringLiteral("not a 64-bit integer"));
        return number;
    }
    if (field.has("asset"))
        return Asset{field.string("asset")};
    json::fail(path, QStringLiteral("unknown field kind"));
}

const char* kindName(Subscription::Kind kind)
{
    switch (kind) {
    case Subscription::Kind::database:
        return "database";
    case Subscription::Kind::query:
        return "query";
    case Subscription::Kind::recordZone:
        return "recordZone";
    }
    return "database";
}

} // namespace

QByteArray encodeRecord(const Record& record, const QString& modifiedBy)
{
    // Byte fields go into the text as their base64 stands: as JSON strings they
    // would take twice their size again (a profiles payload is many megabytes).
    // The text is made once at its final size, the base64 written into it a slice
    // at a time, so that a save holds no second copy of it.
    const QString mark = QUuid::createUuid().toString(QUuid::Id128);
    QList<QByteArray> spliced;
    QJsonObject fields;
    for (auto it = record.fields().cbegin(); it != record.fields().cend(); ++it) {
        if (const auto* bytes = std::get_if<QByteArray>(&*it)) {
            fields.insert(it.key(), QJsonObject{{"bytes", mark + QString::number(spliced.size())}});
            spliced.append(*bytes);
        } else {
            fields.insert(it.key(), encodeField(*it));
        }
    }
    json::ObjectWriter writer;
    writer.set("recordType", record.recordType())
        .set("recordName", record.recordName())
        .set("recordChangeTag", record.recordChangeTag())
        .set("modifiedBy", modifiedBy)
        .set("fields", fields);
    if (record.modificationDate())
        writer.set("modificationDate", dateText(*record.modificationDate()));
    const QByteArray frame = json::encode(writer.take());
    if (spliced.isEmpty())
        return frame;

    const auto base64Size = [](qsizetype size) { return (size + 2) / 3 * 4; };
    struct Gap {
        qsizetype at;
        qsizetype length;
    };
    QList<Gap> gaps;
    qsizetype size = frame.size();
    for (qsizetype i = 0; i < spliced.size(); ++i) {
        const QByteArray placeholder = mark.toLatin1() + QByteArray::number(i);
        const qsizetype at = frame.indexOf('"' + placeholder + '"') + 1;
        gaps.append({at, placeholder.size()});
        size += base64Size(spliced.at(i).size()) - placeholder.size();
    }
    // In the order they stand in the text.
    QList<qsizetype> order(spliced.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return gaps.at(a).at < gaps.at(b).at; });

    // A whole number of 3-byte groups per slice: the slices' base64 joined is the whole's.
    constexpr qsizetype slice = 3 * 16 * 1024;
    QByteArray text;
    text.reserve(size);
    qsizetype from = 0;
    for (const qsizetype i : order) {
        text.append(QByteArrayView(frame).sliced(from, gaps.at(i).at - from));
        const QByteArray& bytes = spliced.at(i);
        for (qsizetype at = 0; at < bytes.size(); at += slice)
            text.append(QByteArray::fromRawData(bytes.constData() + at, std::min(slice, bytes.size() - at)).toBase64());
        from = gaps.at(i).at + gaps.at(i).length;
    }
    text.append(QByteArrayView(frame).sliced(from));
    return text;
}

namespace {

// `text` is the object {"bytes": "<base64>"} and its string has no escapes: the
// base64 as it stands in the text.
std::optional<QByteArray> plainBytesText(const QByteArray& text)
{
    const std::optional<QList<json::Member>> members = json::splitObject(text);
    if (!members || members->size() != 1 || members->first().key != QLatin1String("bytes"))
        return std::nullopt;
    const QByteArray& value = members->first().value;
    if (!value.startsWith('"') || value.contains('\\'))
        return std::nullopt;
    return QByteArray::fromRawData(value.constData() + 1, value.size() - 2);
}

QByteArray decodeBase64(const QByteArray& base64, const QString& path)
{
    auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        json::fail(path + QStringLiteral(".bytes"), QStringLiteral("not base64"));
    return std::move(*decoded);
}

FieldValue decodeFieldText(const QByteArray& text, const QString& path)
{
    if (const std::optional<QByteArray> base64 = plainBytesText(text))
        return decodeBase64(*base64, path);
    return decodeField(json::parse(text), path);
}

// The root's members but "fields", parsed; the text of "fields" when it is an
// object, which the caller takes a field at a time.
struct SplitRecord {
    QJsonObject root;
    std::optional<QByteArray> fields;
};

std::optional<SplitRecord> splitRecord(const QByteArray& bytes)
{
    const std::optional<QList<json::Member>> members = json::splitObject(bytes);
    if (!members)
        return std::nullopt;
    SplitRecord split;
    // A later member of the same name wins, as in a parsed object.
    for (const json::Member& member : *members) {
        if (member.key == QLatin1String("fields")) {
            split.fields.reset();
            if (member.value.startsWith('{')) {
                split.fields = member.value;
                split.root.insert(member.key, QJsonObject());
                continue;
            }
        }
        split.root.insert(member.key, json::parse(member.value));
    }
    return split;
}

Record decodeParsedRecord(const QJsonValue& value)
{
    const json::ObjectReader root(value, QString());
    Record record(root.string("recordType"), root.string("recordName"));
    const json::ObjectReader fields(root.required("fields"), root.pathOf("fields"));
    for (auto it = fields.raw().constBegin(); it != fields.raw().constEnd(); ++it)
        record.setValue(it.key(), decodeField(it.value(), fields.pathOf(it.key())));
    std::optional<QDateTime> modified;
    if (const auto value = root.optional("modificationDate"))
        modified = dateFrom(*value, root.pathOf("modificationDate"));
    record.setServerMetadata(root.string("recordChangeTag"), modified);
    return record;
}

} // namespace

// Parsed whole, a record's text would hold a byte field three times at once (the
// text, the parsed string, a UTF-16 copy of it): the root and each field are
// parsed apart, and byte fields decoded straight from the text, the largest in
// the text's own memory once nothing else reads the text.
Record decodeRecord(QByteArray bytes)
{
    const std::optional<SplitRecord> split = splitRecord(bytes);
    if (!split)
        return decodeParsedRecord(json::parse(bytes)); // the parser says what is wrong
    Record record = decodeParsedRecord(split->root);
    if (!split->fields)
        return record;
    const std::optional<QList<json::Member>> fields = json::splitObject(*split->fields);
    if (!fields) {
        // Nothing split could read: the parser decides, as for a whole record.
        QJsonObject root = split->root;
        root.insert(QStringLiteral("fields"), json::parse(*split->fields));
        return decodeParsedRecord(root);
    }

    // A later member of the same name wins, as in a parsed object.
    QHash<QString, qsizetype> last;
    for (qsizetype i = 0; i < fields->size(); ++i)
        last.insert(fields->at(i).key, i);
    struct Largest {
        QString key;
        QByteArray base64; // a view into `bytes`
    };
    std::optional<Largest> largest;
    for (qsizetype i = 0; i < fields->size(); ++i) {
        const json::Member& field = fields->at(i);
        if (last.value(field.key) != i)
            continue;
        const std::optional<QByteArray> base64 = plainBytesText(field.value);
        if (!base64 || (largest && largest->base64.size() >= base64->size())) {
            record.setValue(field.key, decodeFieldText(field.value, QStringLiteral("fields.") + field.key));
            continue;
        }
        if (largest)
            record.setValue(largest->key, decodeBase64(largest->base64, QStringLiteral("fields.") + largest->key));
        largest = Largest{field.key, *base64};
    }
    if (!largest)
        return record;
    if (!bytes.isDetached()) { // shared with the caller: decoded into memory of its own
        record.setValue(largest->key, decodeBase64(largest->base64, QStringLiteral("fields.") + largest->key));
        return record;
    }
    // The base64 moved to the front and decoded where it stands: decoding never
    // writes ahead of what it reads, and the memory the text held is all it needs.
    const qsizetype from = largest->base64.constData() - bytes.constData();
    const qsizetype length = largest->base64.size();
    char* const data = bytes.data();
    std::memmove(data, data + from, length);
    bytes.truncate(length);
    auto decoded = QByteArray::fromBase64Encoding(std::move(bytes), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        json::fail(QStringLiteral("fields.") + largest->key + QStringLiteral(".bytes"), QStringLiteral("not base64"));
    QByteArray payload = std::move(*decoded);
    payload.squeeze(); // gives back the rest of the text's memory
    record.setValue(largest->key, std::move(payload));
    return record;
}

RecordStamp decodeStamp(const QByteArray& bytes)
{
    // The fields (a payload of many megabytes) are left unparsed: a fetch checks them.
    const std::optional<SplitRecord> split = splitRecord(bytes);
    const json::ObjectReader root(split ? QJsonValue(split->root) : json::parse(bytes), QString());
    return {root.string("recordName"), root.string("recordChangeTag"), root.string("recordType")};
}

QByteArray encodeSubscription(const Subscription& s)
{
    json::ObjectWriter writer;
    writer.set("subscriptionID", s.subscriptionID)
        .set("kind", QString::fromLatin1(kindName(s.kind)))
        .set("options", static_cast<int>(s.options.toInt()))
        .setOptional("recordType", s.recordType)
        .setOptional("predicate", s.predicate);
    if (s.notificationInfo) {
        json::ObjectWriter info;
        info.set("shouldSendContentAvailable", s.notificationInfo->shouldSendContentAvailable)
            .setOptional("alertBody", s.notificationInfo->alertBody);
        writer.set("notificationInfo", info.take());
    }
    return json::encode(writer.take());
}

Subscription decodeSubscription(const QByteArray& bytes)
{
    const json::ObjectReader root(json::parse(bytes), QString());
    Subscription s;
    s.subscriptionID = root.string("subscriptionID");
    const QString kind = root.string("kind");
    if (kind == QLatin1String("database"))
        s.kind = Subscription::Kind::database;
    else if (kind == QLatin1String("query"))
        s.kind = Subscription::Kind::query;
    else if (kind == QLatin1String("recordZone"))
        s.kind = Subscription::Kind::recordZone;
    else
        json::fail(root.pathOf("kind"), QStringLiteral("unknown subscription kind"));
    s.options = Subscription::Options::fromInt(root.integer<int>("options"));
    s.recordType = root.optionalString("recordType");
    s.predicate = root.optionalString("predicate");
    if (root.has("notificationInfo")) {
        const json::ObjectReader info(root.required("notificationInfo"), root.pathOf("notificationInfo"));
        s.notificationInfo = NotificationInfo{info.boolean("shouldSendContentAvailable"),
                                              info.optionalString("alertBody")};
    }
    return s;
}

QByteArray encodeAccount(const QString& userRecordName)
{
    return json::encode(json::ObjectWriter().set("userRecordName", userRecordName).take());
}

QString decodeAccount(const QByteArray& bytes)
{
    const json::ObjectReader root(json::parse(bytes), QString());
    const QString name = root.string("userRecordName");
    if (name.isEmpty())
        json::fail(root.pathOf("userRecordName"), QStringLiteral("empty"));
    return name;
}

} // namespace velmor::cloud::folder
