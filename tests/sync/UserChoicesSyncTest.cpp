// A tool's category and the built-ins the user renamed or deleted, carried by the
// sync and kept through restarts and merges on every machine.
#include "OfflineSwitch.h"
#include "TwoMachines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

class UserChoicesSync : public TwoMachines {
protected:
    void SetUp() override
    {
        a = startedMachine();
        b = startedMachine();
        queue->advance(10s);
        ASSERT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());
    }
    std::shared_ptr<cloud::Container> makeClient(Machine& machine) override
    {
        auto& flag = offline[&machine];
        if (!flag)
            flag = std::make_shared<bool>(false);
        return OfflineSwitch::around(cloud.makeClient(), flag);
    }
    void setOffline(Machine& machine, bool off)
    {
        *offline[&machine] = off;
        if (!off)
            machine.sync->requestSyncNow();
    }
    void restart(Machine& machine)
    {
        machine.store->flush();
        machine.sync.reset();
        machine.store.reset();
        queue->runUntilIdle();
        open(machine);
        machine.sync->start();
        queue->advance(3s);
    }
    static QList<PacsProfile> named(const Machine& machine, const QString& name)
    {
        QList<PacsProfile> found;
        for (const PacsProfile& profile : machine.store->pacsProfiles().get()) {
            if (profile.name == name)
                found << profile;
        }
        return found;
    }
    static QList<RadiologyTool> toolsNamed(const Machine& machine, const QString& name)
    {
        QList<RadiologyTool> found;
        for (const RadiologyTool& tool : named(machine, "Synthesis").value(0).tools) {
            if (tool.name == name)
                found << tool;
        }
        return found;
    }
    static void editTool(Machine& machine, const QString& name, const std::function<void(RadiologyTool&)>& change)
    {
        RadiologyTool tool = toolsNamed(machine, name).value(0);
        change(tool);
        machine.store->updateTool(tool, named(machine, "Synthesis").value(0).id);
    }
    // Both machines and the record hold one document.
    void expectOneDocument()
    {
        const QByteArray record = *cloud.storedRecord("profiles")->bytes("payload");
        EXPECT_EQ(a->store->makeSyncPayload(), record);
        EXPECT_EQ(b->store->makeSyncPayload(), record);
    }

    // The record as an older Velmor writes it: without the list of removed built-ins.
    void writeAsOlderVelmor(const std::function<void(QJsonObject&)>& edit)
    {
        cloud::Record record = *cloud.storedRecord("profiles");
        QJsonObject root = QJsonDocument::fromJson(*record.bytes("payload")).object();
        root.remove("removedBuiltIns");
        edit(root);
        record.setValue("payload", QJsonDocument(root).toJson(QJsonDocument::Compact));
        record.setValue("updatedAt", now());
        cloud.putRecord(record);
    }
    void syncBoth()
    {
        a->sync->requestSyncNow();
        b->sync->requestSyncNow();
        queue->advance(10s);
    }

    QHash<const Machine*, std::shared_ptr<bool>> offline;
    std::unique_ptr<Machine> a;
    std::unique_ptr<Machine> b;
};

TEST_F(UserChoicesSync, ACategoryPickedTravelsAndSurvivesRestartsAndMerges)
{
    editTool(*a, "Cine", [](RadiologyTool& t) { t.category = ToolCategory::mammo; });
    queue->advance(10s);
    restart(*b);
    EXPECT_EQ(toolsNamed(*b, "Cine").value(0).category, ToolCategory::mammo);

    // Picked on both while apart, on other tools: both stay.
    setOffline(*b, true);
    editTool(*b, "Exam List", [](RadiologyTool& t) { t.category = ToolCategory::viewer; });
    editTool(*a, "Pan", [](RadiologyTool& t) { t.category = ToolCategory::reporting; });
    queue->advance(10s);
    restart(*a);
    setOffline(*b, false);
    queue->advance(10s);
    for (const Machine* machine : {a.get(), b.get()}) {
        EXPECT_EQ(toolsNamed(*machine, "Cine").value(0).category, ToolCategory::mammo);
        EXPECT_EQ(toolsNamed(*machine, "Exam List").value(0).category, ToolCategory::viewer);
        EXPECT_EQ(toolsNamed(*machine, "Pan").value(0).category, ToolCategory::reporting);
    }
    expectOneDocument();
}

TEST_F(UserChoicesSync, BuiltInsDeletedOnOneMachineAreGoneOnBothThroughRestarts)
{
    a->store->deleteTool(toolsNamed(*a, "Flicker").value(0).id, named(*a, "Synthesis").value(0).id);
    a->store->deletePacsProfile(named(*a, "Change Healthcare").value(0));
    queue->advance(10s);
    restart(*a);
    queue->advance(10s);
    restart(*b);
    restart(*a);
    queue->advance(10s);
    for (const Machine* machine : {a.get(), b.get()}) {
        EXPECT_TRUE(named(*machine, "Change Healthcare").isEmpty());
        EXPECT_TRUE(toolsNamed(*machine, "Flicker").isEmpty());
        EXPECT_EQ(named(*machine, "Synthesis").size(), 1);
    }
    expectOneDocument();
}

// The built-in deleted on A, A restarted, while B, offline, changes it: B's work
// keeps it, once, on both.
TEST_F(UserChoicesSync, ABuiltInDeletedOnOneAndChangedOnTheOtherEndsAsOne)
{
    setOffline(*b, true);
    a->store->deletePacsProfile(named(*a, "Change Healthcare").value(0));
    a->store->deleteTool(toolsNamed(*a, "Flicker").value(0).id, named(*a, "Synthesis").value(0).id);
    queue->advance(10s);
    restart(*a);
    b->store->setDefaultLightingHex("#123456", named(*b, "Change Healthcare").value(0).id);
    editTool(*b, "Flicker", [](RadiologyTool& t) { t.repeatSpeed = 0.9; });
    queue->advance(10s);
    setOffline(*b, false);
    queue->advance(10s);
    restart(*a);
    restart(*b);
    queue->advance(10s);
    for (const Machine* machine : {a.get(), b.get()}) {
        const QList<PacsProfile> kept = named(*machine, "Change Healthcare");
        ASSERT_EQ(kept.size(), 1);
        EXPECT_EQ(kept.first().defaultLightingHex, QString("#123456"));
        ASSERT_EQ(toolsNamed(*machine, "Flicker").size(), 1);
        EXPECT_EQ(toolsNamed(*machine, "Flicker").first().repeatSpeed, 0.9);
    }
    expectOneDocument();
}

// An older Velmor's record has no list of removed built-ins: it says nothing of them,
// taken or merged, and the built-ins deleted here stay deleted.
TEST_F(UserChoicesSync, ADocumentWithoutTheListKeepsTheBuiltInsDeleted)
{
    a->store->deleteTool(toolsNamed(*a, "Flicker").value(0).id, named(*a, "Synthesis").value(0).id);
    a->store->deletePacsProfile(named(*a, "Change Healthcare").value(0));
    queue->advance(10s);
    // Taken as it is by both; then merged with an edit made here meanwhile.
    writeAsOlderVelmor([](QJsonObject& root) {
        QJsonArray users = root.value("userProfiles").toArray();
        QJsonObject user = users.at(0).toObject();
        user.insert("name", "Renamed elsewhere");
        users.replace(0, user);
        root.insert("userProfiles", users);
    });
    syncBoth();
    ASSERT_EQ(userName(*b), "Renamed elsewhere");
    rename(*a, "Renamed here");
    writeAsOlderVelmor([](QJsonObject&) {});
    syncBoth();
    restart(*a);
    restart(*b);
    queue->advance(10s);
    for (const Machine* machine : {a.get(), b.get()}) {
        EXPECT_TRUE(named(*machine, "Change Healthcare").isEmpty());
        EXPECT_TRUE(toolsNamed(*machine, "Flicker").isEmpty());
        EXPECT_TRUE(machine->store->snapshot().removedBuiltIns.removesPacsProfile("Change Healthcare"));
    }
}

// Renamed and synced, renamed again while apart, and a copy from before the first
// rename put back: the built-in is one profile on every machine, never a new one
// beside the renamed.
TEST_F(UserChoicesSync, ARenamedBuiltInDoesNotComeBackBesideItselfAfterARestore)
{
    const cloud::Record beforeRename = *cloud.storedRecord("profiles");
    const QUuid synthesis = named(*a, "Synthesis").value(0).id;
    a->store->renamePacsProfile(synthesis, "Q3");
    queue->advance(10s);
    ASSERT_EQ(named(*b, "Q3").size(), 1);
    setOffline(*b, true);
    b->store->renamePacsProfile(synthesis, "Q5");
    queue->advance(10s);
    cloud.putRecord(beforeRename);
    setOffline(*b, false);
    syncBoth();
    syncBoth();
    restart(*a);
    restart(*b);
    queue->advance(10s);
    for (const Machine* machine : {a.get(), b.get()}) {
        const int copies = int(named(*machine, "Synthesis").size() + named(*machine, "Q3").size()
                               + named(*machine, "Q5").size());
        EXPECT_EQ(copies, 1) << machine->store->makeSyncPayload().left(300).toStdString();
    }
    EXPECT_EQ(a->store->pacsProfiles().get(), b->store->pacsProfiles().get());
}

} // namespace
