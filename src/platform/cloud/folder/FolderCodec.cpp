#include "platform/cloud/folder/FolderCodec.h"

#include "platform/Json.h"

#include <QUuid>

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
    const QString mark = QUuid::createUuid().toString(QUuid::Id128);
    QList<QByteArray> spliced;
    QJsonObject fields;
    for (auto it = record.fields().cbegin(); it != record.fields().cend(); ++it) {
        if (const auto* bytes = std::get_if<QByteArray>(&*it)) {
            fields.insert(it.key(), QJsonObject{{"bytes", mark + QString::number(spliced.size())}});
            spliced.append(bytes->toBase64());
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
    QByteArray text = json::encode(writer.take());
    for (qsizetype i = 0; i < spliced.size(); ++i) {
        const QByteArray placeholder = '"' + mark.toLatin1() + QByteArray::number(i) + '"';
        text.replace(text.indexOf(placeholder) + 1, placeholder.size() - 2, spliced.at(i));
    }
    return text;
}

Record decodeRecord(const QByteArray& bytes)
{
    const json::ObjectReader root(json::parse(bytes), QString());
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

RecordStamp decodeStamp(const QByteArray& bytes)
{
    const json::ObjectReader root(json::parse(bytes), QString());
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
