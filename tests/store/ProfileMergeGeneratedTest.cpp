// Three-way merges of copies that the store's own operations changed apart,
// checked for what every merge must hold. Each case has a seed of its own (the
// run's seed plus its index): VELMOR_MERGE_SEED replays a run; ids are new on
// every run, the edits and their order are not.

#include "MemoryDisk.h"
#include "MergeProperties.h"
#include "RandomStoreEdits.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "store/ProfileMerge.h"
#include "support/ProfileStoreSeed.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>
#include <vector>

using namespace velmor;
using namespace velmor::test;
using Later = ProfileMerge::Later;
namespace props = velmor::test::mergeProperties;

namespace {

constexpr int caseCount = 8000;
constexpr int maxEditsPerSide = 6;
// Failing cases reported per property before it stops looking.
constexpr int reportedFailures = 3;

struct Case {
    int index = 0;
    LoadResult base;
    LoadResult local;
    LoadResult remote;
    Later later = Later::remote;
    QStringList localEdits;
    QStringList remoteEdits;
};

Later opposite(Later later) { return later == Later::local ? Later::remote : Later::local; }

quint32 runSeed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("VELMOR_MERGE_SEED").toUInt(&ok);
    return ok ? seed : 20260302;
}

// A small synced state: 1-3 PACS profiles of 0-4 tools (a copy may share tool
// ids with the first, as duplicates do), 1-3 user profiles with mappings to
// their tools.
LoadResult makeBase(std::mt19937& rng)
{
    const auto upTo = [&rng](int n) { return std::uniform_int_distribution<int>(0, n)(rng); };
    LoadResult base;
    const int pacsCount = 1 + upTo(2);
    for (int p = 0; p < pacsCount; ++p) {
        PacsProfile pacs{QUuid::createUuid(),
                         p == 0 ? QStringLiteral("Synthesis") : QStringLiteral("PACS %1").arg(p),
                         {},
                         upTo(1) ? std::optional(QStringLiteral("#0000FF")) : std::nullopt};
        if (p > 0 && upTo(2) == 0) {
            pacs.tools = base.pacsProfiles.first().tools;
        } else {
            QStringList names = RandomStoreEdits::toolNames;
            std::shuffle(names.begin(), names.end(), rng);
            for (int t = upTo(4); t > 0; --t) {
                RadiologyTool tool;
                tool.id = QUuid::createUuid();
                tool.name = names.takeFirst();
                tool.systemIcon = QStringLiteral("circle");
                pacs.tools.append(tool);
            }
        }
        base.pacsProfiles.append(pacs);
    }
    const int userCount = 1 + upTo(2);
    for (int u = 0; u < userCount; ++u) {
        const PacsProfile& pacs = base.pacsProfiles.at(upTo(pacsCount - 1));
        UserProfile user{QUuid::createUuid(), QStringLiteral("User %1").arg(u), pacs.id, {}, std::nullopt,
                         std::nullopt};
        for (const QString& button : RandomStoreEdits::buttons) {
            if (!pacs.tools.isEmpty() && upTo(1))
                user.mappings.append(ButtonMapping{QUuid::createUuid(), QStringLiteral("tartarus_v2"), button,
                                                   pacs.tools.at(upTo(int(pacs.tools.size()) - 1)).id});
        }
        base.userProfiles.append(user);
    }
    base.activePacsProfileId = base.pacsProfiles.last().id;
    base.activeUserProfileId = base.userProfiles.first().id;
    return base;
}

// Two stores on disks in memory, each put back to the base of a case and then
// edited.
class CaseMaker {
public:
    CaseMaker()
    {
        paths::setApplicationSupportOverride(supportDir.path());
        Bundle::setMainRoot(bundleDir.path());
        // Defaults for "Synthesis" on two buttons, so that resets and new profiles
        // map something.
        writeFile(bundleDir.filePath("DefaultMappings.json"),
                  R"({"Synthesis": {"tartarus_v2": [
            {"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02", "toolName": "magnify"}]}})");
    }
    ~CaseMaker()
    {
        queue->runUntilIdle();
        Bundle::setMainRoot({});
        paths::setApplicationSupportOverride({});
    }

    Case make(quint32 seed, int index)
    {
        std::mt19937 rng(seed + quint32(index));
        Case made;
        made.index = index;
        made.base = makeBase(rng);
        made.local = edited(*local, made.base, rng, made.localEdits);
        made.remote = edited(*remote, made.base, rng, made.remoteEdits);
        made.later = rng() % 2 ? Later::local : Later::remote;
        return made;
    }

private:
    LoadResult edited(ProfileStore& store, const LoadResult& base, std::mt19937& rng, QStringList& edits)
    {
        ProfileStoreSeed::pacsProfiles(store).set(base.pacsProfiles);
        ProfileStoreSeed::userProfiles(store).set(base.userProfiles);
        ProfileStoreSeed::activePacsProfileId(store).set(*base.activePacsProfileId);
        ProfileStoreSeed::activeUserProfileId(store).set(*base.activeUserProfileId);
        ProfileStoreSeed::removedBuiltIns(store) = base.removedBuiltIns;
        RandomStoreEdits random(store, rng);
        for (int count = int(rng() % (maxEditsPerSide + 1)); count > 0; --count)
            edits << random.apply();
        queue->runUntilIdle();
        return store.snapshot();
    }

    ScopedVirtualMainQueue queue;
    ScopedManualClock clock;
    ScopedInMemorySettings settings;
    ScopedManualSerialQueues serialQueues;
    QTemporaryDir supportDir;
    QTemporaryDir bundleDir;
    std::unique_ptr<ProfileStore> local = std::make_unique<ProfileStore>(std::make_shared<MemoryDisk>());
    std::unique_ptr<ProfileStore> remote = std::make_unique<ProfileStore>(std::make_shared<MemoryDisk>());
};

class ProfileMergeGenerated : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CaseMaker maker;
        for (int index = 0; index < caseCount; ++index)
            cases().push_back(maker.make(runSeed(), index));
    }
    static void TearDownTestSuite() { cases().clear(); }
    static std::vector<Case>& cases()
    {
        static std::vector<Case> all;
        return all;
    }

    // Runs `property` on every case; reports the first few that fail, with what
    // made them.
    template <typename Property> static void forEveryCase(Property property)
    {
        int failures = 0;
        for (const Case& c : cases()) {
            const QStringList problems = property(c);
            if (problems.isEmpty())
                continue;
            ADD_FAILURE() << "seed " << runSeed() << " case " << c.index << ": " << problems.join("; ").toStdString()
                          << "\n  later: " << (c.later == Later::local ? "local" : "remote")
                          << "\n  local edits: " << c.localEdits.join(", ").toStdString()
                          << "\n  remote edits: " << c.remoteEdits.join(", ").toStdString()
                          << "\n  base: " << props::describe(c.base).toStdString()
                          << "\n  local: " << props::describe(c.local).toStdString()
                          << "\n  remote: " << props::describe(c.remote).toStdString();
            if (++failures == reportedFailures)
                return;
        }
    }
};

QStringList prefixed(const QString& prefix, const QStringList& problems)
{
    QStringList out;
    for (const QString& problem : problems)
        out << prefix + problem;
    return out;
}

// The same merge, told as problems: what it kept wrong, named by property.
QStringList wholeAndKept(const LoadResult& base, const Case& c, const QString& prefix)
{
    const ProfileMerge::Result result = ProfileMerge::merge(base, c.local, c.remote, c.later);
    return prefixed(prefix,
                    props::keepsChangesOf(base, c.local, result, "local") +
                        props::keepsChangesOf(base, c.remote, result, "remote") +
                        props::referencesAreWhole(result.merged) + props::idsAreUnique(result.merged));
}

// A merge whose outcome is `expected` exactly, with nothing lost.
QStringList mergesTo(const LoadResult& base, const LoadResult& local, const LoadResult& remote, Later later,
                     const LoadResult& expected, const QString& what)
{
    const ProfileMerge::Result result = ProfileMerge::merge(base, local, remote, later);
    if (result.merged == expected && result.lostPacsProfiles.isEmpty() && result.lostUserProfiles.isEmpty())
        return {};
    return {what + " is not that copy, or loses something: " + props::describe(result.merged)};
}

TEST_F(ProfileMergeGenerated, NothingEitherSideChangedIsDroppedAndEveryMappingReachesATool)
{
    forEveryCase([](const Case& c) { return wholeAndKept(c.base, c, {}); });
}

TEST_F(ProfileMergeGenerated, WithoutABaseNothingEitherSideHoldsIsDropped)
{
    forEveryCase([](const Case& c) { return wholeAndKept(LoadResult{}, c, "two-way: "); });
}

TEST_F(ProfileMergeGenerated, ACopyMergedWithItselfOrWithTheBaseIsThatCopy)
{
    forEveryCase([](const Case& c) {
        QStringList problems;
        for (const LoadResult* copy : {&c.local, &c.remote}) {
            problems << mergesTo(c.base, *copy, *copy, c.later, *copy, "merge(b, X, X)")
                     << mergesTo(c.base, c.base, *copy, c.later, *copy, "merge(b, b, X)")
                     << mergesTo(c.base, *copy, c.base, c.later, *copy, "merge(b, X, b)");
        }
        return problems;
    });
}

TEST_F(ProfileMergeGenerated, SwappingTheSidesWithTheOppositeLaterGivesTheSameProfiles)
{
    forEveryCase([](const Case& c) {
        QStringList problems;
        for (const LoadResult& base : {c.base, LoadResult{}}) {
            const LoadResult there = ProfileMerge::merge(base, c.local, c.remote, c.later).merged;
            const LoadResult here = ProfileMerge::merge(base, c.remote, c.local, opposite(c.later)).merged;
            problems << prefixed(base == c.base ? "three-way: " : "two-way: ", props::sameProfiles(there, here));
        }
        return problems;
    });
}

} // namespace
