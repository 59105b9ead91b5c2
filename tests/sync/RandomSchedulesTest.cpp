// Random schedules of two or three machines on one cloud: edits, offline
// periods, restarts and clocks up to 90 s apart, then everyone online until the
// sync is quiet.
//
// Copies of earlier records are put back now and then (a restored backup), and
// some uploads land over records written meanwhile (a lock taken from its holder).
//
// What is checked: every mark any machine made (MarkedEdits) is in the final
// profiles or in a file kept beside some machine's profiles.json (a merge keeps
// the version that lost where it runs); the machines
// and the record end with the same profiles; no built-in PACS profile, and no
// built-in tool of one, is there twice (the edits rename and delete built-ins);
// nothing the sanitizers see goes wrong. Marks are never undone on purpose, so a mark that is nowhere was
// dropped by the sync. Each schedule has a seed of its own: the run's seed
// (VELMOR_SCHEDULE_SEED replays a run) plus its index. Ids are new on every
// run; the schedule and its edits are not.

#include "../store/MemoryDisk.h"
#include "MarkedEdits.h"
#include "OfflineMachines.h"
#include "model/ProfileTemplates.h"
#include "platform/Text.h"
#include "store/ProfileExchange.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <random>
#include <vector>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

constexpr int scheduleCount = 64;
constexpr int stepsPerSchedule = 20;
constexpr int quietRounds = 8;

quint32 runSeed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("VELMOR_SCHEDULE_SEED").toUInt(&ok);
    return ok ? seed : 20260302;
}

// Where marks were found: names of profiles and tools, and buttons of "marks"
// mapped to a tool.
struct Found {
    QSet<QString> users;
    QSet<QString> pacs;
    QSet<QString> tools;
    QSet<QString> buttons;

    void add(const PacsProfile& profile)
    {
        pacs.insert(profile.name);
        addTools(profile.tools);
    }
    void addTools(const QList<RadiologyTool>& list)
    {
        for (const RadiologyTool& tool : list)
            tools.insert(tool.name);
    }
    // Only mappings that reach a tool count: a mapping to nothing is work lost.
    void add(const UserProfile& profile, const QList<RadiologyTool>& reachable)
    {
        users.insert(profile.name);
        for (const ButtonMapping& mapping : profile.mappings) {
            if (std::any_of(reachable.cbegin(), reachable.cend(),
                            [&](const auto& t) { return t.id == mapping.toolId; }))
                buttons.insert(mapping.buttonId);
        }
    }
    static QStringList missing(const QStringList& made, const QSet<QString>& found)
    {
        QStringList out;
        for (const QString& mark : made)
            if (!found.contains(mark))
                out << mark;
        return out;
    }
};

// Built-in PACS profiles, and built-in tools of the profile that holds them, that
// are there more than once.
QStringList builtInTwins(const LoadResult& profiles)
{
    const QList<PacsProfile> builtIns = ProfileTemplates::builtInPacsProfiles();
    QStringList twins;
    for (const PacsProfile& builtIn : builtIns) {
        const QString name = text::lowercased(builtIn.name);
        QList<const PacsProfile*> namesakes;
        for (const PacsProfile& pacs : profiles.pacsProfiles) {
            if (text::lowercased(pacs.name) == name)
                namesakes << &pacs;
        }
        if (namesakes.size() > 1)
            twins << builtIn.name;
        if (namesakes.isEmpty())
            continue;
        for (const RadiologyTool& tool : builtIn.tools) {
            const QString toolName = text::lowercased(tool.name);
            const auto& tools = namesakes.first()->tools;
            if (std::count_if(tools.cbegin(), tools.cend(),
                              [&](const RadiologyTool& t) { return text::lowercased(t.name) == toolName; }) > 1)
                twins << builtIn.name + " / " + tool.name;
        }
    }
    return twins;
}

// Names of the profiles, for a failure message.
QString summary(const LoadResult& profiles)
{
    QStringList names;
    for (const PacsProfile& pacs : profiles.pacsProfiles)
        names << pacs.name + "(" + QString::number(pacs.tools.size()) + " tools)";
    for (const UserProfile& user : profiles.userProfiles)
        names << user.name + "(" + QString::number(user.mappings.size()) + " mappings)";
    return names.join(", ");
}

class RandomSchedules : public OfflineMachines, public ::testing::WithParamInterface<int> {
protected:
    // A machine with its clock off by up to 90 s, through its start-up sync. Its
    // profiles.json lives in memory (many saves, no fsync) and outlasts restarts.
    std::unique_ptr<Machine> startMachine(std::mt19937& rng)
    {
        auto machine = std::make_unique<Machine>();
        machine->clockAhead = std::chrono::seconds(std::uniform_int_distribution<int>(-90, 90)(rng));
        const Machine* raw = machine.get();
        disks[raw] = std::make_shared<MemoryDisk>([this, raw] { return now().addSecs(raw->clockAhead.count()); });
        open(*machine, disks[raw]);
        machine->sync->start();
        queue->advance(3s);
        return machine;
    }

    struct Outcome {
        QStringList missingMarks;
        QStringList disagreements;
        QStringList twins;
    };
    // One schedule, and what went wrong in it.
    Outcome run(quint32 seed);
    void step(std::mt19937& rng, std::vector<std::unique_ptr<Machine>>& machines, Marks& marks);
    // A copy of an earlier record put back, or the next saves landing over whatever is there.
    void meddle(std::mt19937& rng);
    void settle(std::vector<std::unique_ptr<Machine>>& machines);
    static void collect(const LoadResult& profiles, Found& found);
    static void collectKept(const Machine& machine, Found& found);

    QHash<const Machine*, std::shared_ptr<MemoryDisk>> disks;
    // The records the cloud held, as a backup tool would have copied them.
    QList<cloud::Record> copies;
};

RandomSchedules::Outcome RandomSchedules::run(quint32 seed)
{
    std::mt19937 rng(seed);
    std::vector<std::unique_ptr<Machine>> machines;
    const int count = 2 + int(rng() % 2);
    while (int(machines.size()) < count)
        machines.push_back(startMachine(rng));

    Marks marks;
    for (int s = 0; s < stepsPerSchedule; ++s)
        step(rng, machines, marks);
    settle(machines);

    Outcome outcome;
    const auto record = cloud.storedRecord("profiles");
    const std::optional<QByteArray> payload = record ? record->bytes("payload") : std::nullopt;
    const std::optional<LoadResult> final = payload ? decodePayload(*payload) : std::nullopt;
    if (!final)
        return {{"no readable record"}, {}, {}};
    Found found;
    collect(*final, found);
    outcome.twins = builtInTwins(*final);
    for (const auto& machine : machines) {
        const LoadResult own = machine->store->snapshot();
        outcome.twins << builtInTwins(own);
        if (own.pacsProfiles != final->pacsProfiles || own.userProfiles != final->userProfiles)
            outcome.disagreements << "a machine's profiles differ from the record's: " + summary(own) + " against " +
                    summary(*final);
        collectKept(*machine, found);
    }
    outcome.missingMarks << Found::missing(marks.users, found.users) << Found::missing(marks.pacs, found.pacs)
                         << Found::missing(marks.tools, found.tools) << Found::missing(marks.buttons, found.buttons);
    return outcome;
}

void RandomSchedules::step(std::mt19937& rng, std::vector<std::unique_ptr<Machine>>& machines, Marks& marks)
{
    if (const auto record = cloud.storedRecord("profiles");
        record && (copies.isEmpty() || copies.last().recordChangeTag() != record->recordChangeTag()))
        copies.append(*record);
    Machine& machine = *machines.at(rng() % machines.size());
    // About one step in twelve each.
    if (rng() % 25 < 2) {
        meddle(rng);
        queue->advance(std::chrono::milliseconds(rng() % 8000));
        return;
    }
    switch (rng() % 8) {
    case 0: { // offline, or back and catching up as Sync Now does
        bool& off = *offline(machine);
        off = !off;
        if (!off)
            machine.sync->requestSyncNow();
        break;
    }
    case 1: // a restart, from what its folder holds
        machine.sync.reset();
        machine.store.reset();
        open(machine, disks.value(&machine));
        machine.sync->start();
        break;
    case 2:
        machine.sync->requestSyncNow();
        break;
    default:
        for (int edits = 1 + int(rng() % 3); edits > 0; --edits)
            MarkedEdits(*machine.store, rng, marks).apply();
    }
    queue->advance(std::chrono::milliseconds(rng() % 8000));
}

void RandomSchedules::meddle(std::mt19937& rng)
{
    if (rng() % 2 == 0) {
        cloud.landNextSavesOver(1 + int(rng() % 2));
        return;
    }
    // Not the record there now: that one is no restore.
    if (copies.size() > 1)
        cloud.putBack(copies.at(qsizetype(rng() % (copies.size() - 1))));
}

void RandomSchedules::settle(std::vector<std::unique_ptr<Machine>>& machines)
{
    cloud.landNextSavesOver(0);
    for (auto& machine : machines)
        *offline(*machine) = false;
    for (int round = 0; round < quietRounds; ++round) {
        const int before = uploads();
        for (auto& machine : machines) {
            machine->sync->requestSyncNow();
            queue->advance(5s);
        }
        if (round > 0 && uploads() == before)
            return;
    }
}

void RandomSchedules::collect(const LoadResult& profiles, Found& found)
{
    for (const PacsProfile& pacs : profiles.pacsProfiles)
        found.add(pacs);
    for (const UserProfile& user : profiles.userProfiles) {
        const auto bound = std::find_if(profiles.pacsProfiles.cbegin(), profiles.pacsProfiles.cend(),
                                        [&](const PacsProfile& p) { return p.id == user.pacsProfileId; });
        found.add(user, bound == profiles.pacsProfiles.cend() ? QList<RadiologyTool>() : bound->tools);
    }
}

// The kept files, read as "Import User Profile…" and "Import PACS Profile…"
// read them.
void RandomSchedules::collectKept(const Machine& machine, Found& found)
{
    const QDir folder(machine.folder.path());
    for (const QString& name : keptFiles(machine)) {
        const QByteArray bytes = ProfileExchange::readFile(folder.filePath(name));
        if (name.contains("(PACS profile)")) {
            found.add(ProfileExchange::decodePacsProfile(bytes));
            continue;
        }
        const UserProfileExport kept = ProfileExchange::decodeUserProfile(bytes);
        const QList<RadiologyTool> tools = kept.pacsTools.value_or(QList<RadiologyTool>());
        if (kept.pacsProfileName)
            found.pacs.insert(*kept.pacsProfileName);
        found.addTools(tools);
        found.add(kept.profile, tools);
    }
}

TEST_P(RandomSchedules, EveryMarkEndsInTheFinalProfilesOrAKeptFileAndAllMachinesAgree)
{
    const Outcome outcome = run(runSeed() + quint32(GetParam()));
    const std::string where = "seed " + std::to_string(runSeed()) + " schedule " + std::to_string(GetParam()) + ": ";
    EXPECT_TRUE(outcome.missingMarks.isEmpty())
        << where << "marks lost: " << outcome.missingMarks.join(", ").toStdString();
    EXPECT_TRUE(outcome.disagreements.isEmpty())
        << "machines and record end with the same profiles: " << where << outcome.disagreements.join("; ").toStdString();
    EXPECT_TRUE(outcome.twins.isEmpty()) << where << "built-ins there twice: " << outcome.twins.join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Seeded, RandomSchedules, ::testing::Range(0, scheduleCount));

} // namespace
