#include "sync/RecordLineage.h"

#include <gtest/gtest.h>

#include <limits>

using namespace velmor;
using namespace velmor::recordLineage;

namespace {

SyncBase::Stamp synced()
{
    SyncBase::Stamp stamp;
    stamp.account = "_me";
    stamp.changeTag = "s";
    stamp.generation = 5;
    stamp.replaces = QStringList{"r1", "r0"};
    stamp.seen = {"p1", "p0"};
    stamp.highest = 7;
    return stamp;
}

cloud::Record record(const QString& tag, std::optional<QByteArray> replaces = std::nullopt, QByteArray restores = {},
                     std::optional<qint64> generation = std::nullopt)
{
    cloud::Record record("VelmorProfiles", "profiles");
    record.setServerMetadata(tag, std::nullopt);
    if (replaces)
        record.setValue(replacesKey, *replaces);
    if (!restores.isEmpty())
        record.setValue(restoresKey, restores);
    if (generation)
        record.setValue("generation", *generation);
    return record;
}

TEST(RecordLineage, ARecordFollowsOnlyFromThisStateAndATagMetBeforeIsACopyPutBack)
{
    const SyncBase::Stamp stamp = synced();
    EXPECT_EQ(descentOf(record("s", "r0"), stamp), Descent::same);
    EXPECT_EQ(descentOf(record("n", "s\nr1"), stamp), Descent::follows);
    EXPECT_EQ(descentOf(record("n", "m\nk\ns"), stamp), Descent::follows);
    // Its own tag met before: a copy of a synced record, or of one this state came from.
    EXPECT_EQ(descentOf(record("p0", "x"), stamp), Descent::restore);
    EXPECT_EQ(descentOf(record("r1", "r0"), stamp), Descent::restore);
    // Or met long before the stamp's few, with this account only.
    SyncedRecordTags met;
    met.add("_me", {"long ago"});
    EXPECT_EQ(descentOf(record("long ago", "x"), stamp, met), Descent::restore);
    met.add("_other", {"long ago"});
    EXPECT_EQ(descentOf(record("long ago", "x"), stamp, met), Descent::apart);
    // Made over an older state than this one: written over, or by a writer that kept the fields.
    EXPECT_EQ(descentOf(record("n", "r1\nr0"), stamp), Descent::apart);
    EXPECT_EQ(descentOf(record("n", ""), stamp), Descent::apart);
    // Made after a restore this computer has not taken, unless it follows from here anyway.
    EXPECT_EQ(descentOf(record("n", "r1", "q"), stamp), Descent::restore);
    EXPECT_EQ(descentOf(record("n", "s", "q"), stamp), Descent::follows);
    SyncBase::Stamp afterRestore = stamp;
    afterRestore.restores = "q";
    EXPECT_EQ(descentOf(record("n", "r1", "q"), afterRestore), Descent::apart);
}

TEST(RecordLineage, ARecordNamingNoHistoryIsToldByANumberThatCanBeOne)
{
    const SyncBase::Stamp stamp = synced();
    EXPECT_EQ(descentOf(record("n", std::nullopt, {}, 5), stamp), Descent::apart);
    EXPECT_EQ(descentOf(record("n", std::nullopt, {}, 4), stamp), Descent::restore);
    EXPECT_EQ(descentOf(record("n", std::nullopt, {}, 6), stamp), Descent::unknown);
    EXPECT_EQ(descentOf(record("n"), stamp), Descent::unknown);
    // Negative, or beyond every number met by more than any run of uploads: none.
    EXPECT_EQ(descentOf(record("n", std::nullopt, {}, -5), stamp), Descent::unknown);
    EXPECT_EQ(descentOf(record("n", std::nullopt, {}, std::numeric_limits<qint64>::min()), stamp), Descent::unknown);
    EXPECT_FALSE(plausibleGeneration(record("n", std::nullopt, {}, 7 + maxGenerationStep + 1), stamp));
    EXPECT_EQ(plausibleGeneration(record("n", std::nullopt, {}, 7 + maxGenerationStep), stamp), 7 + maxGenerationStep);
}

TEST(RecordLineage, OnlyTagsAreReadFromTheFieldsAndAtMostSoMany)
{
    QByteArray many;
    for (int i = 0; i < 200; ++i)
        many += "t" + QByteArray::number(i % 150) + "\n";
    const std::optional<QStringList> read = replacesOf(record("n", many));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), maxAncestors);
    EXPECT_EQ(read->first(), "t0");
    const QStringList junk = *replacesOf(record("n", "\n a\nb\x01\n" + QByteArray(65, 'x') + "\ngood\ngood\n"));
    EXPECT_EQ(junk, QStringList{"good"});
    EXPECT_TRUE(restoresOf(record("n", "", "has space")).isEmpty());
    EXPECT_FALSE(replacesOf(record("n")));
}

TEST(RecordLineage, AnUploadIsNumberedAboveEveryNumberMetAndNamesThisState)
{
    const SyncBase::Stamp stamp = synced();
    const auto numbered = [&](std::optional<qint64> current) {
        cloud::Record upload = record("", std::nullopt, "stale");
        stampUpload(upload, stamp, record("c", "x", {}, current));
        return upload;
    };
    EXPECT_EQ(numbered(9).integer("generation"), 10);
    EXPECT_EQ(numbered(2).integer("generation"), 8);
    EXPECT_EQ(numbered(-5).integer("generation"), 8);
    EXPECT_EQ(numbered(std::numeric_limits<qint64>::max()).integer("generation"), 8);
    const cloud::Record upload = numbered(std::nullopt);
    EXPECT_EQ(upload.bytes(replacesKey), "s\nr1\nr0");
    // The restore this state came after, and none that the record held before.
    EXPECT_FALSE(upload.bytes(restoresKey));
    SyncBase::Stamp afterRestore = stamp;
    afterRestore.restores = "q";
    cloud::Record again = record("");
    stampUpload(again, afterRestore, std::nullopt);
    EXPECT_EQ(again.bytes(restoresKey), "q");
    // Over a record this computer has no state of: named after that one.
    cloud::Record first = record("");
    stampUpload(first, std::nullopt, record("c", "b\na", {}, 3));
    EXPECT_EQ(first.bytes(replacesKey), "c\nb\na");
    EXPECT_EQ(first.integer("generation"), 4);
}

TEST(RecordLineage, TheStampKeepsWhatWasSyncedAndWhichRestoreWasTaken)
{
    const SyncBase::Stamp stamp = synced();
    const SyncBase::Stamp next = stampAfter("_me", record("n", "s\nr1", {}, 8), std::nullopt, stamp, false);
    EXPECT_EQ(next.changeTag, "n");
    EXPECT_EQ(next.seen, (QStringList{"s", "p1", "p0"}));
    EXPECT_EQ(next.generation, 8);
    EXPECT_EQ(next.highest, 8);
    EXPECT_TRUE(next.replaces->contains("s"));
    EXPECT_TRUE(next.restores.isEmpty());

    // A copy put back: its own history, not this state's; the restore is named by its tag.
    const SyncBase::Stamp restored = stampAfter("_me", record("p1", "p0", {}, 3), std::nullopt, stamp, true);
    EXPECT_EQ(restored.replaces, QStringList{"p0"});
    EXPECT_EQ(restored.seen, (QStringList{"s", "p0"}));
    EXPECT_EQ(restored.restores, "p1");
    EXPECT_EQ(restored.highest, 7);
    // One made after a restore elsewhere carries that restore's name.
    EXPECT_EQ(stampAfter("_me", record("n", "r1", "q"), std::nullopt, stamp, true).restores, "q");
    // Another account's state says nothing of this one's.
    EXPECT_TRUE(stampAfter("_other", record("n", "s"), std::nullopt, stamp, false).seen.isEmpty());

    SyncBase::Stamp full = stamp;
    for (int i = 0; i < 100; ++i)
        full.seen.append("old" + QString::number(i));
    EXPECT_EQ(stampAfter("_me", record("n", "s"), std::nullopt, full, false).seen.size(), maxSeen);

    // Going over a record: what goes up descends from both.
    const SyncBase::Stamp over = stampOver(stamp, record("o", "k", {}, 9));
    EXPECT_EQ(over.changeTag, "o");
    EXPECT_EQ(over.replaces, (QStringList{"s", "k", "r1", "r0"}));
    EXPECT_EQ(over.seen.first(), "s");
    EXPECT_EQ(over.highest, 9);
}

TEST(RecordLineage, TheBaseFileKeepsTheHistoryAndReadsOneWrittenWithoutIt)
{
    SyncBase::Stamp stamp = synced();
    stamp.restores = "q";
    const auto decoded = SyncBase::decode(SyncBase::encode(stamp, "document"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->first, stamp);
    EXPECT_EQ(decoded->second, "document");

    const auto older = SyncBase::decode(R"({"account":"_me","recordChangeTag":"s","generation":"5"})"
                                        "\ndocument");
    ASSERT_TRUE(older);
    EXPECT_FALSE(older->first.replaces);
    EXPECT_TRUE(older->first.seen.isEmpty());
    EXPECT_EQ(older->first.generation, 5);
}

} // namespace
