#include "model/BuiltInRemovals.h"
#include "platform/Json.h"

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
