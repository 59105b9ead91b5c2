#include "StoreOperationsFixture.h"

#include "platform/Json.h"
#include "store/ProfileExchange.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using namespace velmor;
using namespace velmor::test;

namespace {

// Deterministic damage to an exchange file: cuts, flipped bytes, values of the
// wrong type, deep nesting, huge strings, and invalid text.
class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : random_(seed) {}

    QByteArray mutate(const QByteArray& bytes)
    {
        switch (pick(7)) {
        case 0:
            return bytes.left(pick(bytes.size()));
        case 1: {
            QByteArray flipped = bytes;
            for (int n = 1 + pick(8); n > 0; --n)
                flipped[pick(flipped.size())] = char(pick(256));
            return flipped;
        }
        case 2:
            return json::encode(replaceOneValue(json::parse(bytes), [this](const QJsonValue&) { return otherType(); })
                                    .toObject());
        case 3: {
            const int depth = std::array{64, 1000, 5000, 200000}[pick(4)];
            return QByteArray(depth, '[') + bytes + QByteArray(depth, ']');
        }
        case 4: {
            const int depth = std::array{64, 1000, 100000}[pick(3)];
            const QByteArray nested = QByteArray(depth, '[') + QByteArray(depth, ']');
            QByteArray result = bytes;
            const qsizetype at = result.indexOf(':', pick(result.size()));
            return at < 0 ? nested : result.insert(at + 1, nested + ",");
        }
        case 5:
            return json::encode(replaceOneValue(json::parse(bytes), [this](const QJsonValue& v) {
                                    if (!v.isString())
                                        return v;
                                    const qsizetype size = std::array<qsizetype, 3>{
                                        4096, 1 << 20, ProfileExchange::maxFileSize}[pick(3)];
                                    return QJsonValue(QString(size, QChar(u'a' + pick(26))));
                                })
                                    .toObject());
        default: {
            QByteArray invalid = bytes;
            const qsizetype at = invalid.indexOf('"', pick(invalid.size()));
            return at < 0 ? invalid : invalid.insert(at + 1, "\xC3\x28\xFF\xFE\x00", 5);
        }
        }
    }

private:
    int pick(qsizetype bound) { return bound <= 0 ? 0 : int(random_() % std::uint32_t(bound)); }

    QJsonValue otherType()
    {
        switch (pick(8)) {
        case 0: return QJsonValue::Null;
        case 1: return 0;
        case 2: return -1.5e308;
        case 3: return QStringLiteral("x");
        case 4: return QJsonArray{};
        case 5: return QJsonObject{};
        case 6: return true;
        default: return QStringLiteral("00000000-0000-0000-0000-00000000000G");
        }
    }

    // Replaces the n-th value of the document (pre-order, n chosen at random).
    QJsonValue replaceOneValue(const QJsonValue& document, const std::function<QJsonValue(const QJsonValue&)>& change)
    {
        int count = 0;
        countValues(document, count);
        int target = pick(count);
        return replaceAt(document, target, change);
    }
    static void countValues(const QJsonValue& value, int& count)
    {
        ++count;
        if (value.isObject())
            for (const QJsonValue& child : value.toObject())
                countValues(child, count);
        if (value.isArray())
            for (const QJsonValue& child : value.toArray())
                countValues(child, count);
    }
    static QJsonValue replaceAt(const QJsonValue& value, int& target,
                                const std::function<QJsonValue(const QJsonValue&)>& change)
    {
        if (target-- == 0)
            return change(value);
        if (value.isObject()) {
            QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end() && target >= 0; ++it)
                *it = replaceAt(*it, target, change);
            return object;
        }
        if (value.isArray()) {
            QJsonArray array = value.toArray();
            for (qsizetype i = 0; i < array.size() && target >= 0; ++i)
                array[i] = replaceAt(array.at(i), target, change);
            return array;
        }
        return value;
    }

    std::mt19937 random_;
};

class ImportFuzzTest : public StoreOperationsFixture {
protected:
    struct State {
        QList<PacsProfile> pacs;
        QList<UserProfile> users;
        QUuid activePacs;
        QUuid activeUser;
        bool operator==(const State&) const = default;
    };
    State state() const
    {
        return {store->pacsProfiles.get(), store->userProfiles.get(), store->activePacsProfileId.get(),
                store->activeUserProfileId.get()};
    }
    void restore(const State& s)
    {
        store->pacsProfiles.set(s.pacs);
        store->userProfiles.set(s.users);
        store->activePacsProfileId.set(s.activePacs);
        store->activeUserProfileId.set(s.activeUser);
    }

    // Feeds `count` mutations of `seed` to `import`; each must be refused with
    // nothing changed, or add exactly one profile that survives its own JSON form.
    template <typename Profile>
    void fuzz(const QByteArray& seed, std::uint32_t randomSeed, int count,
              const std::function<void(const QString&)>& import,
              const std::function<const QList<Profile>&(const State&)>& listOf)
    {
        Mutator mutator(randomSeed);
        const QString path = dir.filePath("mutated.json");
        const State before = state();
        int accepted = 0;
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(i);
            test::writeFile(path, mutator.mutate(seed));
            bool added = true;
            try {
                import(path);
            } catch (const json::DecodeError&) {
                added = false;
            } catch (const FileError&) {
                added = false;
            }
            queue->runUntilIdle();
            ASSERT_EQ(notices.size(), 1);
            const State after = state();
            if (!added) {
                EXPECT_EQ(notices.takeFirst().first, "Import Failed");
                ASSERT_EQ(after, before);
                continue;
            }
            ++accepted;
            EXPECT_EQ(notices.takeFirst().first, "Import Successful");
            const QList<Profile>& was = listOf(before);
            const QList<Profile>& now = listOf(after);
            ASSERT_EQ(now.size(), was.size() + 1);
            ASSERT_EQ(now.mid(0, was.size()), was);
            EXPECT_EQ(Profile::fromJson(json::parse(json::encode(now.last().toJson()))), now.last());
            restore(before);
        }
        // The mutations must leave some files readable, or the test proves little.
        EXPECT_GT(accepted, 0);
        EXPECT_LT(accepted, count);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ImportFuzzTest, DamagedUserProfileFilesAreRefusedOrAddExactlyOneProfile)
{
    const QByteArray seed = readFile(dataPath("user-profile-export.json"));
    fuzz<UserProfile>(
        seed, 20261206, 300, [this](const QString& path) { store->importUserProfile(path); },
        [](const State& s) -> const QList<UserProfile>& { return s.users; });
    // Whatever was added, the PACS profiles stay: imports never make one from the file.
    EXPECT_EQ(store->pacsProfiles.get().size(), 4);
}

TEST_F(ImportFuzzTest, DamagedPacsProfileFilesAreRefusedOrAddExactlyOneProfile)
{
    const QByteArray seed = readFile(dataPath("pacs-profile-export.json"));
    fuzz<PacsProfile>(
        seed, 7, 300, [this](const QString& path) { store->importPacsProfile(path); },
        [](const State& s) -> const QList<PacsProfile>& { return s.pacs; });
}
