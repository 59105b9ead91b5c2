// What the user chose stays chosen across starts: a tool's category, and the
// built-in tools and PACS profiles renamed or deleted. A new process is one whose
// catalogue drew other ids: the file's tool ids are drawn afresh before each start.
#include "StoreOperationsFixture.h"

#include "store/ProfileLookup.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class UserChoicesTest : public StoreOperationsFixture {
protected:
    // The store stopped, its file's tool ids (and the mappings to them) drawn afresh,
    // and started again: what another process finds.
    void restartAsNewProcess()
    {
        store->flush();
        store.reset();
        queue->runUntilIdle();
        PersistedProfiles document = profilesOnDisk();
        for (PacsProfile& pacs : document.pacsProfiles) {
            for (RadiologyTool& tool : pacs.tools) {
                const QUuid fresh = QUuid::createUuid();
                for (UserProfile& user : document.userProfiles) {
                    for (ButtonMapping& mapping : user.mappings) {
                        if (mapping.toolId == tool.id)
                            mapping.toolId = fresh;
                    }
                }
                tool.id = fresh;
            }
        }
        writeProfiles(document);
        store = start();
        queue->runUntilIdle();
    }
    PacsProfile pacsNamed(const QString& name) const
    {
        const QList<PacsProfile>& pacs = store->pacsProfiles().get();
        const qsizetype index = namesOf(pacs).indexOf(name);
        EXPECT_GE(index, 0) << name.toStdString();
        return index < 0 ? PacsProfile{} : pacs.at(index);
    }
    RadiologyTool toolNamed(const QString& pacs, const QString& name) const
    {
        const QList<RadiologyTool>& tools = pacsNamed(pacs).tools;
        const qsizetype index = namesOf(tools).indexOf(name);
        return index < 0 ? RadiologyTool{} : tools.at(index);
    }
    QStringList pacsNames() const { return namesOf(store->pacsProfiles().get()); }
    QJsonObject fileRoot() const { return QJsonDocument::fromJson(readFile(profilesPath())).object(); }
};

TEST_F(UserChoicesTest, ACategoryPickedSurvivesRestartsReloadsAndTakenPayloads)
{
    RadiologyTool cine = toolNamed("Synthesis", "Cine");
    cine.category = ToolCategory::mammo;
    RadiologyTool examList = toolNamed("Synthesis", "Exam List");
    examList.category = ToolCategory::viewer;
    const QUuid synthesisId = pacsNamed("Synthesis").id;
    store->updateTool(cine, synthesisId);
    store->updateTool(examList, synthesisId);
    const auto expectKept = [&](const char* when) {
        EXPECT_EQ(toolNamed("Synthesis", "Cine").category, ToolCategory::mammo) << when;
        EXPECT_EQ(toolNamed("Synthesis", "Exam List").category, ToolCategory::viewer) << when;
    };
    restartAsNewProcess();
    expectKept("restart");
    store->reloadFromDisk();
    expectKept("reload");
    store->applySyncPayload(store->makeSyncPayload());
    queue->runUntilIdle();
    expectKept("payload");
    restartAsNewProcess();
    expectKept("second restart");
}

TEST_F(UserChoicesTest, AToolStoredWithoutACategoryTakesTheOneItsNameImplies)
{
    // Hand-written: no category, a null one, and one that disagrees with the name.
    const QString synthesis = json::uuidText(QUuid::createUuid());
    const auto tool = [](const QString& name) {
        return QJsonObject{{"id", json::uuidText(QUuid::createUuid())}, {"name", name}, {"systemIcon", "circle"},
                           {"enabled", true}};
    };
    QJsonObject nullCategory = tool("TOMO vs. Standard Views");
    nullCategory.insert("category", QJsonValue::Null);
    QJsonObject stated = tool("Sign & Next");
    stated.insert("category", "Mammo");
    const QJsonObject pacs{{"id", synthesis},
                           {"name", "Synthesis"},
                           {"tools", QJsonArray{tool("exam list"), nullCategory, tool("Pan"), stated}}};
    writeProfiles(json::encode(QJsonObject{{"version", 6}, {"pacsProfiles", QJsonArray{pacs}},
                                           {"userProfiles", QJsonArray{}}}));
    store = start();
    queue->runUntilIdle();
    const QList<RadiologyTool> tools = pacsNamed("Synthesis").tools;
    EXPECT_EQ(tools.at(0).category, ToolCategory::reporting);
    EXPECT_EQ(tools.at(1).category, ToolCategory::mammo);
    EXPECT_EQ(tools.at(2).category, ToolCategory::viewer);
    EXPECT_EQ(tools.at(3).category, ToolCategory::mammo);
    // Written back with each category named.
    EXPECT_EQ(profilesOnDisk().pacsProfiles.first().tools.mid(0, 4), tools.mid(0, 4));
}

TEST_F(UserChoicesTest, RenamedBuiltInsAreNotAddedBackBesideThemselvesInNewProcesses)
{
    RadiologyTool montage = toolNamed("Synthesis", "Montage");
    montage.name = "Montage grid";
    store->updateTool(montage, pacsNamed("Synthesis").id);
    store->renamePacsProfile(pacsNamed("Intelerad").id, "Intelerad A");
    for (int start = 1; start <= 2; ++start) {
        restartAsNewProcess();
        EXPECT_EQ(pacsNames(), (QStringList{"Synthesis", "Intelerad A", "eUnity", "Change Healthcare"})) << start;
        const QStringList tools = namesOf(pacsNamed("Synthesis").tools);
        EXPECT_EQ(tools.count("Montage"), 0) << start;
        EXPECT_EQ(tools.count("Montage grid"), 1) << start;
        EXPECT_EQ(tools.size(), RadiologyTool::defaultTools().size()) << start;
    }
    // Renamed back, each is itself again and nothing is left to remember.
    montage = toolNamed("Synthesis", "Montage grid");
    montage.name = "MONTAGE";
    store->updateTool(montage, pacsNamed("Synthesis").id);
    store->renamePacsProfile(pacsNamed("Intelerad A").id, "Intelerad");
    queue->runUntilIdle();
    EXPECT_FALSE(fileRoot().contains("removedBuiltIns"));
}

TEST_F(UserChoicesTest, DeletedBuiltInsStayDeletedAndTheFileSaysSoOnlyThen)
{
    // A fresh install's file has the Part's keys and no other.
    EXPECT_EQ(fileRoot().keys(),
              (QStringList{"activePacsProfileId", "activeUserProfileId", "pacsProfiles", "userProfiles", "version"}));
    const PacsProfile synthesis = pacsNamed("Synthesis");
    const RadiologyTool flicker = toolNamed("Synthesis", "Flicker");
    store->deleteTool(flicker.id, synthesis.id);
    store->deletePacsProfile(pacsNamed("Change Healthcare"));
    // A second "Flicker" elsewhere and a user's tool deleted are nothing to remember.
    store->upsertTool(makeTool("Flicker"), pacsNamed("eUnity").id);
    store->upsertTool(makeTool("Mine"), synthesis.id);
    store->deleteTool(toolNamed("Synthesis", "Mine").id, synthesis.id);
    queue->runUntilIdle();
    const QJsonObject removed{
        {"pacsProfiles", QJsonArray{"Change Healthcare"}},
        {"tools", QJsonArray{QJsonObject{{"name", "Flicker"}, {"pacsProfileId", json::uuidText(synthesis.id)}}}}};
    EXPECT_EQ(fileRoot().value("removedBuiltIns").toObject(), removed);

    for (int start = 1; start <= 2; ++start) {
        restartAsNewProcess();
        EXPECT_EQ(pacsNames(), (QStringList{"Synthesis", "Intelerad", "eUnity"})) << start;
        EXPECT_FALSE(namesOf(pacsNamed("Synthesis").tools).contains("Flicker")) << start;
        EXPECT_EQ(pacsNamed("Synthesis").tools.size(), RadiologyTool::defaultTools().size() - 1) << start;
    }
    store->reloadFromDisk();
    EXPECT_EQ(pacsNames(), (QStringList{"Synthesis", "Intelerad", "eUnity"}));

    // The way back: a tool and a profile of the built-in's name. A new "Change
    // Healthcare" is filled with the built-in's tools at the next start.
    store->upsertTool(makeTool("flicker"), synthesis.id);
    store->createPacsProfile("PACS 4");
    store->renamePacsProfile(store->activePacsProfileId().get(), "Change Healthcare");
    queue->runUntilIdle();
    EXPECT_FALSE(fileRoot().contains("removedBuiltIns"));
    restartAsNewProcess();
    EXPECT_EQ(pacsNames(), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(namesOf(pacsNamed("Synthesis").tools).count("Flicker"), 0);
}

TEST_F(UserChoicesTest, BuiltInsTheDataNeverHeldAreAddedAndMootRemovalsDropped)
{
    // An older file: no removals, a Synthesis without most of the catalogue and no
    // other built-in profile. A removal of a profile that is there, and one of a
    // tool of a profile that is gone, say nothing.
    const PacsProfile synthesis = makePacs("Synthesis", {makeTool("Pan")});
    PersistedProfiles document{6, synthesis.id, std::nullopt, {synthesis}, {}};
    document.removedBuiltIns = BuiltInRemovals::fromJson(QJsonObject{
        {"pacsProfiles", QJsonArray{"SYNTHESIS", "eunity"}},
        {"tools", QJsonArray{QJsonObject{{"name", "Cine"}, {"pacsProfileId", json::uuidText(synthesis.id)}},
                             QJsonObject{{"name", "Pan"}, {"pacsProfileId", json::uuidText(QUuid::createUuid())}}}}});
    writeProfiles(document);
    store = start();
    queue->runUntilIdle();
    EXPECT_EQ(pacsNames(), (QStringList{"Synthesis", "Intelerad", "Change Healthcare"}));
    const QStringList tools = namesOf(pacsNamed("Synthesis").tools);
    EXPECT_FALSE(tools.contains("Cine"));
    EXPECT_EQ(tools.size(), RadiologyTool::defaultTools().size() - 1);
    const QJsonObject removed{
        {"pacsProfiles", QJsonArray{"eunity"}},
        {"tools", QJsonArray{QJsonObject{{"name", "Cine"}, {"pacsProfileId", json::uuidText(synthesis.id)}}}}};
    EXPECT_EQ(fileRoot().value("removedBuiltIns").toObject(), removed);
}

} // namespace
