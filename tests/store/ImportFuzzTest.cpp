#include "StoreOperationsFixture.h"

#include "platform/Json.h"
#include "store/ProfileExchange.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <random>

using namespace velmor;
using namespace velmor::test;

namespace {

// Seeded damage to a pretty-printed exchange file: cuts, flipped bytes, and one
// member's value swapped for another type, deep nesting, a huge string or
// invalid text.
class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    QByteArray mutate(const QByteArray& bytes)
    {
        QByteArray result = bytes;
        if (pick(4) == 0)
            return result.left(pick(result.size()));
        if (pick(3) == 0) {
            for (int n = 1 + pick(8); n > 0; --n)
                result[pick(result.size())] = char(pick(256));
            return result;
        }
        QList<QByteArray> lines = result.split('\n');
        QByteArray& line = lines[pick(lines.size())];
        const qsizetype colon = line.indexOf("\": ");
        if (colon < 0)
            return mutate(bytes);
        const bool comma = line.endsWith(',');
        const std::array<QByteArray, 9> values{
            "null", "0", "-1.5e308", "\"x\"", "[]", "{}", "\"00000000-0000-0000-0000-00000000000G\"",
            QByteArray(std::array{64, 5000, 200000}[pick(3)], '[') + QByteArray(64, ']'),
            '"' + QByteArray(std::array<qsizetype, 3>{4096, 1 << 20, ProfileExchange::maxFileSize}[pick(3)], 'a') +
                '"'};
        QByteArray value = pick(5) == 0 ? line.mid(colon + 3) + "\xC3\x28\xFF" : values[pick(values.size())];
        line = line.left(colon + 3) + value + (comma ? "," : "");
        return lines.join('\n');
    }

private:
    int pick(qsizetype bound) { return bound <= 0 ? 0 : int(random_() % std::uint32_t(bound)); }
    std::mt19937 random_;
};

class ImportFuzzTest : public StoreOperationsFixture {
protected:
    // Each mutation of the seed file is refused with nothing changed, or adds
    // exactly one profile at the end of `list` that survives its own JSON form.
    template <typename Profile>
    void fuzz(const QString& seedFile, std::uint32_t randomSeed, void (ProfileStore::*import)(const QString&),
              Published<QList<Profile>>& (*list)(ProfileStore&))
    {
        const QByteArray seed = readFile(dataPath(seedFile));
        const QByteArray before = store->makeSyncPayload();
        const PersistedProfiles start = PersistedProfiles::fromJson(json::parse(before));
        const QList<Profile> profiles = (*list)(*store).get();
        const QString path = dir.filePath("mutated.json");
        Mutator mutator(randomSeed);
        int accepted = 0;
        for (int i = 0; i < 250; ++i) {
            SCOPED_TRACE(i);
            writeFile(path, mutator.mutate(seed));
            try {
                ((*store).*import)(path);
            } catch (const json::DecodeError&) {
            } catch (const FileError&) {
            }
            queue->runUntilIdle();
            ASSERT_EQ(notices.size(), 1);
            if (notices.takeFirst().first == "Import Successful") {
                ++accepted;
                const QList<Profile> now = (*list)(*store).get();
                ASSERT_EQ(now.mid(0, now.size() - 1), profiles);
                EXPECT_EQ(Profile::fromJson(json::parse(json::encode(now.last().toJson()))), now.last());
                (*list)(*store).set(profiles);
                ProfileStoreSeed::activePacsProfileId(*store).set(*start.activePacsProfileId);
                ProfileStoreSeed::activeUserProfileId(*store).set(*start.activeUserProfileId);
            }
            ASSERT_EQ(store->makeSyncPayload(), before);
        }
        // Some damage leaves a readable file, or the test proves little.
        EXPECT_GT(accepted, 5);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ImportFuzzTest, DamagedUserProfileFilesAreRefusedOrAddExactlyOneProfile)
{
    fuzz("user-profile-export.json", 20261206, &ProfileStore::importUserProfile, &ProfileStoreSeed::userProfiles);
}

TEST_F(ImportFuzzTest, DamagedPacsProfileFilesAreRefusedOrAddExactlyOneProfile)
{
    fuzz("pacs-profile-export.json", 7, &ProfileStore::importPacsProfile, &ProfileStoreSeed::pacsProfiles);
}
