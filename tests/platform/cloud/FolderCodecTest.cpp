#include "platform/Json.h"
#include "platform/cloud/folder/FolderCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::cloud::folder;

namespace {

QByteArray bytesOfLength(qsizetype length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}

// A text of its own, as a file read gives it: the decoder may reuse its memory.
QByteArray owned(const QByteArray& text) { return QByteArray(text.constData(), text.size()); }

// Either way of handing the text over fails alike.
QString reason(const QByteArray& text)
{
    QStringList reasons;
    for (const bool handedOver : {false, true}) {
        try {
            handedOver ? decodeRecord(owned(text)) : decodeRecord(text);
            reasons.append("decoded");
        } catch (const json::DecodeError& error) {
            reasons.append(error.message());
        }
    }
    return reasons.at(0) == reasons.at(1) ? reasons.at(0) : reasons.join(" / ");
}

// Byte fields of every length around a 3-byte group and the slices the base64 is
// written in go into the text as one base64 string each, and come back whole.
TEST(FolderCodec, ByteFieldsOfAnyLengthGoIntoTheTextAsBase64AndComeBack)
{
    Record record("VelmorProfiles", "profiles");
    const QList<qsizetype> lengths{0, 1, 2, 3, 4, 3 * 16 * 1024 - 1, 3 * 16 * 1024, 3 * 16 * 1024 * 2 + 1};
    for (qsizetype i = 0; i < lengths.size(); ++i)
        record.setValue(QString("b%1").arg(i), bytesOfLength(lengths.at(i)));
    record.setValue("a", QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, QTimeZone::utc()));
    record.setValue("n", qint64{-5});
    record.setValue("z", Asset{"tag.z"});
    record.setServerMetadata("0123456789abcdef", QDateTime::fromMSecsSinceEpoch(1'700'000'001'000, QTimeZone::utc()));

    const QByteArray text = encodeRecord(record, "CLIENT");
    const QJsonObject fields = QJsonDocument::fromJson(text).object().value("fields").toObject();
    for (qsizetype i = 0; i < lengths.size(); ++i)
        EXPECT_EQ(fields.value(QString("b%1").arg(i)).toObject().value("bytes").toString().toLatin1(),
                  bytesOfLength(lengths.at(i)).toBase64())
            << lengths.at(i);
    EXPECT_EQ(fields.value("n"), QJsonObject({{"int64", "-5"}}));
    EXPECT_EQ(decodeRecord(text), record);
    const Record handedOver = decodeRecord(owned(text));
    EXPECT_EQ(handedOver, record);
    const QByteArray largest = *handedOver.bytes(QString("b%1").arg(lengths.size() - 1));
    EXPECT_LE(largest.capacity(), largest.size() + 64) << "the text's memory beyond the field is given back";
    EXPECT_EQ(decodeStamp(text), (RecordStamp{"profiles", "0123456789abcdef", "VelmorProfiles"}));
}

// What another client or a hand may write reads as a parser reads it: escapes in
// the base64, a field with more keys, a later member of the same name; what is
// wrong is named as before.
TEST(FolderCodec, RecordTextsInOtherFormsReadAsTheParserReadsThem)
{
    const auto recordText = [](const QByteArray& fields, const QByteArray& tail = {}) {
        return R"({"recordType": "T", "recordName": "r", "recordChangeTag": "7", "fields": )" + fields + tail + "}";
    };
    const Record escaped = decodeRecord(recordText(R"({"p": {"bytes": "a\/8="}, "q": {"bytes": "aGk=", "x": 1}})"));
    EXPECT_EQ(escaped.bytes("p"), QByteArray::fromBase64("a/8="));
    EXPECT_EQ(escaped.bytes("q"), "hi");
    const Record later = decodeRecord(recordText(R"({"p": {"bytes": "aGk="}, "p": {"int64": "3"}})",
                                                 R"(, "fields": {"q": {"bytes": "aGk="}})"));
    EXPECT_EQ(later.keys(), QStringList{"q"});
    // The largest byte field is the one decoded last, in the text's memory; the
    // member that wins is the later one all the same.
    const Record mixed = decodeRecord(owned(recordText(
        R"({"p": {"bytes": "YWJjZGVmZ2hpamts"}, "q": {"bytes": "aGk="}, "p": {"bytes": "YWJj"}, "r": {"bytes": "eHl6eHl6"}})")));
    EXPECT_EQ(mixed.bytes("p"), "abc");
    EXPECT_EQ(mixed.bytes("q"), "hi");
    EXPECT_EQ(mixed.bytes("r"), "xyzxyz");
    EXPECT_EQ(decodeRecord(recordText("{}", R"(, "fields": {"q": {"bytes": ""}})")).bytes("q"), "");

    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": "a b="}})")), "fields.p.bytes: not base64");
    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": "aGk="}, "q": {"bytes": "aGk=aGk="}})")),
              "fields.q.bytes: not base64");
    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": "aGk=\n"}})")), "fields.p.bytes: not base64");
    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": 5}})")), "fields.p.bytes: expected a string");
    EXPECT_EQ(reason(recordText("null")), "fields: required key is missing");
    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": "aGk="}, "p": {"bytes": "aGk="})")),
              "the data is not valid JSON");
    EXPECT_EQ(reason(recordText(R"({"p": {"bytes": "aGk="}} , "recordType": 1)")), "recordType: expected a string");
    // The stamp reads the root only; a record without one is no record.
    EXPECT_EQ(decodeStamp(recordText(R"({"p": {"bytes": "aGk="}})")), (RecordStamp{"r", "7", "T"}));
    EXPECT_THROW(decodeStamp(R"({"recordType": "T", "fields": {}})"), json::DecodeError);
}

} // namespace
