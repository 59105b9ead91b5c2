#include "model/BuiltInRemovals.h"
#include "platform/Json.h"

#include <QElapsedTimer>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

RadiologyTool tool(const QString& name)
{
    RadiologyTool t;
    t.id = QUuid::createUuid();
    t.name = name;
    return t;
}

PacsProfile pacs(const QString& name, const QStringList& tools)
{
    PacsProfile p{QUuid::createUuid(), name, {}, std::nullopt};
    for (const QString& t : tools)
        p.tools << tool(t);
    return p;
}

QJsonObject toolEntry(const QString& name, const QUuid& pacsId)
{
    return {{"name", name}, {"pacsProfileId", json::uuidText(pacsId)}};
}

BuiltInRemovals removals(const QJsonArray& profiles, const QJsonArray& tools = {})
{
    return BuiltInRemovals::fromJson(QJsonObject{{"pacsProfiles", profiles}, {"tools", tools}});
}

} // namespace

TEST(BuiltInRemovals, JsonKeepsOneEntryPerNameInAnyCaseAndRefusesWhatNamesNoProfile)
{
    const QUuid id = QUuid::createUuid();
    const BuiltInRemovals read =
        removals({"eUnity", "EUNITY", "Change Healthcare"}, {toolEntry("Pan", id), toolEntry("pan", id)});
    EXPECT_EQ(read.entries().size(), 3);
    EXPECT_TRUE(read.removesPacsProfile("change healthcare"));
    EXPECT_TRUE(read.removesTool(id, "PAN"));
    EXPECT_FALSE(read.removesTool(QUuid::createUuid(), "Pan"));
    EXPECT_FALSE(read.removesPacsProfile("Pan"));
    // Written in one order, the first spelling kept; nothing at all when empty.
    EXPECT_EQ(read.toJson(), (QJsonObject{{"pacsProfiles", QJsonArray{"Change Healthcare", "eUnity"}},
                                          {"tools", QJsonArray{toolEntry("Pan", id)}}}));
    EXPECT_EQ(BuiltInRemovals::fromJson(read.toJson()), read);
    EXPECT_EQ(BuiltInRemovals().toJson(), QJsonObject());
    EXPECT_TRUE(BuiltInRemovals::fromJson(QJsonObject{{"pacsProfiles", QJsonValue::Null}}).isEmpty());

    for (const QJsonObject& bad :
         {QJsonObject{{"pacsProfiles", "eUnity"}}, QJsonObject{{"pacsProfiles", QJsonArray{7}}},
          QJsonObject{{"tools", QJsonArray{QJsonObject{{"name", "Pan"}}}}},
          QJsonObject{{"tools", QJsonArray{toolEntry("Pan", QUuid())}}},
          QJsonObject{{"tools", QJsonArray{QJsonObject{{"name", "Pan"}, {"pacsProfileId", "not an id"}}}}}})
        EXPECT_THROW(BuiltInRemovals::fromJson(bad), json::DecodeError) << json::encode(bad).toStdString();
}

TEST(BuiltInRemovals, AnEditNotesTheBuiltInsItTookAwayAndForgetsTheOnesItBroughtBack)
{
    const PacsProfile synthesis = pacs("Synthesis", {"Flicker", "Cine", "Mine"});
    const PacsProfile copy = pacs("SYNTHESIS", {"Flicker"});
    const PacsProfile eunity = pacs("eUnity", {});
    const QList<PacsProfile> before{synthesis, copy, eunity};

    // A built-in tool renamed or deleted in the first profile of a built-in name; a
    // user's own tool, and the second profile of that name, are nothing to note.
    QList<PacsProfile> after = before;
    after[0].tools[0].name = "Flicker fast";
    after[0].tools.removeAt(2);
    after[1].tools.clear();
    BuiltInRemovals noted = BuiltInRemovals().noted(before, after);
    EXPECT_EQ(noted.entries(), (QList<BuiltInRemovals::Entry>{{synthesis.id, "Flicker"}}));

    // A profile renamed away from a built-in name, and one deleted.
    QList<PacsProfile> renamed = after;
    renamed[2].name = "eUnity old";
    noted = noted.noted(after, renamed);
    EXPECT_TRUE(noted.removesPacsProfile("eUnity"));
    // Deleting the first "Synthesis" leaves the second: no profile to note, and
    // the first one's tools are nothing to remember any more.
    QList<PacsProfile> deleted = renamed;
    deleted.removeFirst();
    noted = noted.noted(renamed, deleted);
    EXPECT_EQ(noted.entries(), (QList<BuiltInRemovals::Entry>{{QUuid(), "eUnity"}}));

    // Named again, it is there: nothing to remember.
    QList<PacsProfile> back = deleted;
    back[1].name = "EUNITY";
    EXPECT_TRUE(noted.noted(deleted, back).isEmpty());
}

TEST(BuiltInRemovals, ChangedApartAnAdditionOnOneSideStaysAndADropOnOneSideGoes)
{
    const QUuid id = QUuid::createUuid();
    const BuiltInRemovals base = removals({"eUnity", "Intelerad"});
    const BuiltInRemovals local = removals({"eUnity", "Change Healthcare"}, {toolEntry("Cine", id)});
    const BuiltInRemovals remote = removals({"Intelerad", "eUnity", "Synthesis"});
    // Intelerad dropped here (made again), eUnity kept on both, the rest added on one side.
    EXPECT_EQ(BuiltInRemovals::merged(base, local, remote),
              removals({"Change Healthcare", "eUnity", "Synthesis"}, {toolEntry("Cine", id)}));
    EXPECT_EQ(BuiltInRemovals::merged(base, remote, local), BuiltInRemovals::merged(base, local, remote));
    // Without a base every side's entries stay.
    EXPECT_EQ(BuiltInRemovals::merged({}, local, remote),
              removals({"Change Healthcare", "eUnity", "Intelerad", "Synthesis"}, {toolEntry("Cine", id)}));
}

TEST(BuiltInRemovals, ASideWithoutEntriesSaysNothingAndTheBaseStandsForIt)
{
    const QUuid id = QUuid::createUuid();
    const BuiltInRemovals base = removals({"eUnity", "Intelerad"}, {toolEntry("Cine", id)});
    const BuiltInRemovals local = removals({"eUnity", "Intelerad", "Synthesis"}, {toolEntry("Cine", id)});
    // An older Velmor's document has no list: nothing on the base is dropped for it.
    EXPECT_EQ(BuiltInRemovals::merged(base, local, {}), local);
    EXPECT_EQ(BuiltInRemovals::merged(base, {}, local), local);
    EXPECT_EQ(BuiltInRemovals::merged(base, {}, {}), base);
    // What the side with a list dropped still goes.
    EXPECT_EQ(BuiltInRemovals::merged(base, removals({"eUnity"}), {}), removals({"eUnity"}));
}

TEST(BuiltInRemovals, NamesOfNoBuiltInAreDropped)
{
    const PacsProfile mine = pacs("Mine", {});
    const BuiltInRemovals read = removals({"eUnity", "Not built in", "Mine"},
                                          {toolEntry("CINE", mine.id), toolEntry("My own tool", mine.id)});
    EXPECT_EQ(read.pruned({mine}), removals({"eUnity"}, {toolEntry("CINE", mine.id)}));
    EXPECT_TRUE(removals({"Not built in"}).noted({}, {}).isEmpty());
}

TEST(BuiltInRemovals, LongListsMergeInTimeInProportionToTheirLength)
{
    // 20,000 entries a side: a record of some 700 KB. Entries made here and dropped
    // here merge as shorter lists do.
    constexpr int count = 20'000;
    const QStringList toolNames{"Cine", "Flicker", "Pan"};
    QList<PacsProfile> profiles;
    QJsonArray base;
    QJsonArray local;
    for (int i = 0; i < count + 100; ++i) {
        profiles << PacsProfile{QUuid::createUuid(), QString("P%1").arg(i), {}, std::nullopt};
        const QJsonObject entry = toolEntry(toolNames.at(i % 3), profiles.last().id);
        if (i < count)
            base << entry;
        if (i >= count || i % 10 != 0)
            local << entry;
    }
    QElapsedTimer timer;
    timer.start();
    const BuiltInRemovals baseRead = removals({}, base);
    const BuiltInRemovals localRead = removals({}, local);
    const qint64 decoded = timer.restart();
    const BuiltInRemovals merged = BuiltInRemovals::merged(baseRead, localRead, baseRead).pruned(profiles);
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(merged.entries().size(), count - count / 10 + 100);
    EXPECT_TRUE(merged.removesTool(profiles.at(count).id, toolNames.at(count % 3).toUpper()));
    EXPECT_FALSE(merged.removesTool(profiles.at(0).id, "cine"));
    // Linear work takes well under a second even under the sanitizers; the bound leaves room
    // for a loaded machine while a quadratic merge of these lengths takes far longer.
    EXPECT_LT(decoded, 3000) << "two lists decoded in " << decoded << " ms";
    EXPECT_LT(elapsed, 3000) << "merged and pruned in " << elapsed << " ms";
    // Written in the order of the ids' text, as ever.
    const QList<BuiltInRemovals::Entry>& entries = merged.entries();
    EXPECT_TRUE(std::is_sorted(entries.cbegin(), entries.cend(), [](const auto& a, const auto& b) {
        return json::uuidText(a.pacsProfileId) < json::uuidText(b.pacsProfileId);
    }));
}
