#include "platform/Json.h"
#include "platform/JsonParts.h"
#include "platform/JsonWriter.h"

#include <QJsonDocument>

#include <cmath>

#include <gtest/gtest.h>

using namespace velmor;
using json::DecodeError;

namespace {
QJsonValue parsed(const char* text) { return json::parse(QByteArray(text)); }
} // namespace

TEST(Json, EncodeIsPrettyWithSortedKeys)
{
    QJsonObject object;
    object.insert("zeta", 1);
    object.insert("alpha", QJsonObject{{"b", 2}, {"a", 1}});
    const QByteArray text = json::encode(object);
    EXPECT_LT(text.indexOf("\"alpha\""), text.indexOf("\"zeta\""));
    EXPECT_LT(text.indexOf("\"a\""), text.indexOf("\"b\""));
    EXPECT_TRUE(text.contains('\n'));
    EXPECT_EQ(json::parse(text).toObject(), object);
}

TEST(Json, TextWriterWritesTheBytesOfTheIndentedDocumentWithSortedKeys)
{
    // Every escape class, two-, three- and four-byte UTF-8, and surrogates that
    // are not part of a pair.
    const QString text = QStringLiteral("q\" b\\ s/ \b\f\n\r\t \x01\x1f\x7f é → ") + QString::fromUcs4(U"\U0001D11E")
        + QChar(0xDC00) + 'x' + QChar(0xD800) + 'y' + QChar(0xD800);
    const QList<double> doubles{0.5, 1.0, -0.0, 0.1, 1e21, 1e-7, 5e-324, 1.7976931348623157e308,
                                std::nan(""), INFINITY};
    const QUuid id = QUuid::fromString(QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca427"));

    QJsonArray numbers;
    for (const double d : doubles)
        numbers.append(d);
    const QJsonObject expected{
        {"A", text},
        {"B", QJsonArray{QJsonArray{}, QJsonObject{}, QJsonArray{QJsonValue(QJsonArray{1})}}},
        {"a", QJsonObject{{"empty", QJsonObject{}}, {"id", json::uuidText(id)}, {"list", QJsonArray{}}}},
        {"aa", numbers},
        {"b", QJsonArray{true, false, qint64(0), std::numeric_limits<qint64>::min(),
                         std::numeric_limits<qint64>::max()}},
    };

    json::TextWriter out;
    out.beginObject();
    out.key(QLatin1StringView("A")).value(text);
    out.key(QLatin1StringView("B"));
    out.beginArray();
    out.beginArray();
    out.endArray();
    out.beginObject();
    out.endObject();
    out.beginArray();
    out.beginArray();
    out.value(1);
    out.endArray();
    out.endArray();
    out.endArray();
    out.key(QLatin1StringView("a"));
    out.beginObject();
    out.key(QLatin1StringView("empty"));
    out.beginObject();
    out.endObject();
    out.key(QLatin1StringView("id")).value(id);
    out.key(QLatin1StringView("list"));
    out.beginArray();
    out.endArray();
    out.endObject();
    out.key(QLatin1StringView("aa"));
    out.beginArray();
    for (const double d : doubles)
        out.value(d);
    out.endArray();
    out.key(QLatin1StringView("b"));
    out.beginArray();
    out.value(true);
    out.value(false);
    out.value(qint64(0));
    out.value(std::numeric_limits<qint64>::min());
    out.value(std::numeric_limits<qint64>::max());
    out.endArray();
    out.endObject();
    EXPECT_EQ(out.take(), json::encode(expected));
}

TEST(Json, ParseRejectsBrokenTextAndAcceptsBareValues)
{
    EXPECT_THROW(json::parse("{\"a\": 1"), DecodeError);
    EXPECT_THROW(json::parse("{} {}"), DecodeError);
    EXPECT_THROW(json::parse("{}, 1"), DecodeError);
    EXPECT_THROW(json::parse(""), DecodeError);
    EXPECT_EQ(json::parse("42").toInteger(), 42);
    EXPECT_EQ(json::parse(" \"x\" ").toString(), "x");

    // A leading UTF-8 byte-order mark is allowed, and nothing else of it.
    EXPECT_EQ(json::parse("\xEF\xBB\xBF{\"a\": 1}").toObject().value("a").toInt(), 1);
    EXPECT_EQ(json::parse("\xEF\xBB\xBF [2]").toArray().at(0).toInt(), 2);
    EXPECT_EQ(json::parse("\xEF\xBB\xBF\"x\"").toString(), "x");
    EXPECT_THROW(json::parse("\xEF\xBB\xBF"), DecodeError);
    EXPECT_THROW(json::parse("\xEF\xBB{}"), DecodeError);
    EXPECT_THROW(json::parse("{}\xEF\xBB\xBF"), DecodeError);
}

TEST(Json, SplitFindsTheMembersAndElementsOfOneLevel)
{
    const QByteArray object(
        "\xEF\xBB\xBF { \"a\\\"b\" : \"x\\\\\", \"c\":[1, {\"d\": \"]}\\\"\"}] ,\"e\":-1.5e3\n}\n");
    const auto members = json::splitObject(object);
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), 3);
    EXPECT_EQ(members->at(0).key, "a\"b");
    EXPECT_EQ(members->at(0).value, "\"x\\\\\"");
    EXPECT_EQ(members->at(1).key, "c");
    EXPECT_EQ(members->at(1).value, "[1, {\"d\": \"]}\\\"\"}]");
    EXPECT_EQ(members->at(2).value, "-1.5e3");

    const QByteArray array(" [ 1 , \"a,b\" , {} ,[[]]] ");
    EXPECT_EQ(json::splitArray(array), (QList<QByteArray>{"1", "\"a,b\"", "{}", "[[]]"}));

    for (const QByteArray bad : {"", "[]", "{\"a\" 1}", "{\"a\": 1,}", "{\"a\": 1} x", "{\"a\": [}", "{\"a\": \"1}",
                                 "{a: 1}", "{\"a\": 1 \"b\": 2}", "{\"a\":}"})
        EXPECT_FALSE(json::splitObject(bad)) << bad.constData();
    for (const QByteArray bad : {"[1,]", "[,1]", "[1 2]", "[{]}", "[\"]", "{}"})
        EXPECT_FALSE(json::splitArray(bad)) << bad.constData();
}

TEST(Json, RequiredKeysFailWhenMissingOrNullOptionalsTreatNullAsAbsent)
{
    const json::ObjectReader reader(parsed(R"({"name": null, "flag": true, "extra": 1})"), "tool");
    EXPECT_FALSE(reader.has("name"));
    EXPECT_FALSE(reader.optionalString("name").has_value());
    EXPECT_FALSE(reader.optionalString("absent").has_value());
    EXPECT_TRUE(reader.boolean("flag"));
    try {
        (void)reader.string("name");
        FAIL() << "null taken for a value";
    } catch (const DecodeError& e) {
        EXPECT_TRUE(e.message().startsWith("tool.name")) << e.what();
    }
    EXPECT_THROW((void)reader.string("absent"), DecodeError);
    EXPECT_THROW(json::ObjectReader(parsed("[1]"), "root"), DecodeError);
}

TEST(Json, WrongTypesFail)
{
    const json::ObjectReader reader(parsed(R"({"s": 1, "b": "true", "n": "1", "a": {}, "o": []})"), {});
    EXPECT_THROW((void)reader.string("s"), DecodeError);
    EXPECT_THROW((void)reader.boolean("b"), DecodeError);
    EXPECT_THROW((void)reader.number("n"), DecodeError);
    EXPECT_THROW((void)reader.integer<int>("n"), DecodeError);
    EXPECT_THROW((void)reader.array("a"), DecodeError);
    EXPECT_THROW((void)reader.object("o"), DecodeError);
    // Present but of the wrong type fails even for optionals.
    EXPECT_THROW((void)reader.optionalString("s"), DecodeError);
}

TEST(Json, WholeNumbersAreCheckedAgainstTheirTypesRange)
{
    const json::ObjectReader reader(
        parsed(R"({"max16": 65535, "over16": 65536, "neg": -1, "frac": 5.5, "whole": 5.0,
                   "i64max": 9223372036854775807, "i64min": -9223372036854775808, "huge": 1e30})"),
        {});
    EXPECT_EQ(reader.integer<std::uint16_t>("max16"), 65535);
    EXPECT_THROW((void)reader.integer<std::uint16_t>("over16"), DecodeError);
    EXPECT_THROW((void)reader.integer<std::uint16_t>("neg"), DecodeError);
    EXPECT_EQ(reader.integer<std::int16_t>("neg"), -1);
    EXPECT_THROW((void)reader.integer<int>("frac"), DecodeError);
    EXPECT_EQ(reader.integer<int>("whole"), 5);
    EXPECT_EQ(reader.integer<std::int64_t>("i64max"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(reader.integer<std::int64_t>("i64min"), std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW((void)reader.integer<std::int64_t>("huge"), DecodeError);
    EXPECT_THROW((void)reader.integer<std::uint32_t>("i64max"), DecodeError);
}

TEST(Json, UuidsAreWrittenUpperCaseAndReadInEitherCase)
{
    const QUuid id = QUuid::fromString(QStringLiteral("{1b4e28ba-2fa1-11d2-883f-0016d3cca427}"));
    EXPECT_EQ(json::uuidText(id), "1B4E28BA-2FA1-11D2-883F-0016D3CCA427");
    QJsonObject written = json::ObjectWriter().set("id", id).take();
    EXPECT_EQ(written.value("id").toString(), "1B4E28BA-2FA1-11D2-883F-0016D3CCA427");

    const json::ObjectReader reader(parsed(R"({"lower": "1b4e28ba-2fa1-11d2-883f-0016d3cca427",
        "braced": "{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}", "short": "1B4E28BA-2FA1-11D2-883F-0016D3CCA42",
        "nil": "00000000-0000-0000-0000-000000000000"})"),
                                    {});
    EXPECT_EQ(reader.uuid("lower"), id);
    EXPECT_THROW((void)reader.uuid("braced"), DecodeError);
    EXPECT_THROW((void)reader.uuid("short"), DecodeError);
    EXPECT_TRUE(reader.uuid("nil").isNull());
}

TEST(Json, WriterLeavesAbsentOptionalsOut)
{
    const QJsonObject object = json::ObjectWriter()
                                   .setOptional("absent", std::optional<QString>{})
                                   .setOptional("present", std::optional<QString>{"x"})
                                   .take();
    EXPECT_FALSE(object.contains("absent"));
    EXPECT_EQ(object.value("present").toString(), "x");
}

namespace {
struct Point {
    int x = 0;
    static Point fromJson(const QJsonValue& value, const QString& path)
    {
        return Point{json::ObjectReader(value, path).integer<int>("x")};
    }
};
} // namespace

TEST(Json, NestedListsFailWholeAndNameTheFailingElement)
{
    const json::ObjectReader ok(parsed(R"({"points": [{"x": 1}, {"x": 2, "y": 3}]})"), "shape");
    const QList<Point> points = ok.decodeList<Point>("points");
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points[1].x, 2);

    const json::ObjectReader bad(parsed(R"({"points": [{"x": 1}, {"x": null}]})"), "shape");
    try {
        (void)bad.decodeList<Point>("points");
        FAIL();
    } catch (const DecodeError& e) {
        EXPECT_EQ(e.message().left(18), "shape.points[1].x:");
    }
}
