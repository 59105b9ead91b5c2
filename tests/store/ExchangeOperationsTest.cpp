#include "StoreOperationsFixture.h"

#include "platform/Json.h"
#include "platform/Paths.h"
#include "store/ProfileExchange.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using Notice = std::pair<QString, QString>;

namespace {

class ExchangeOperationsTest : public StoreOperationsFixture {
protected:
    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool cine = makeTool("Cine");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, cine});
    PacsProfile eunity = makePacs("eUnity", {makeTool("PAN")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id), makeMapping("tartarus_v2", "K02", pan.id),
                                    makeMapping("speechmike_smp3700", "REC", cine.id)});

    void SetUp() override
    {
        StoreOperationsFixture::SetUp();
        general.selectedDeviceId = "speechmike_smp3700";
        general.lightingHex = "#00FF00";
        synthesis.defaultLightingHex = "#7800D1";
        install({synthesis, eunity}, {general});
    }
    QString exchangePath(const QString& name) const { return exchangeDir.filePath(name); }
    QList<Notice> takeNotices()
    {
        queue->runUntilIdle();
        return std::exchange(notices, {});
    }
    // A second store with its own data folder and profiles.
    std::unique_ptr<ProfileStore> otherStore()
    {
        paths::setApplicationSupportOverride(otherSupport.path());
        auto other = std::make_unique<ProfileStore>(std::make_shared<LocalFileSystem>());
        paths::setApplicationSupportOverride(supportDir.path());
        return other;
    }

    QTemporaryDir exchangeDir;
    QTemporaryDir otherSupport;
};

} // namespace

TEST_F(ExchangeOperationsTest, FilesRoundTripBetweenTwoStores)
{
    ASSERT_TRUE(store->exportUserProfile(general, exchangePath("user.json")));
    store->exportPacsProfile(synthesis, exchangePath("pacs.json"));
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Successful", "User profile 'General' has been exported."},
                                            {"Export Successful", "PACS profile 'Synthesis' has been exported."}}));
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // The other store knows "SYNTHESIS" under another id, with tools of other ids.
    const auto other = otherStore();
    const PacsProfile theirs = makePacs("SYNTHESIS", {makeTool("pan"), makeTool("ZOOM")});
    other->pacsProfiles.set({theirs});
    other->onError = [this](const QString& title, const QString& message) { notices.append({title, message}); };

    other->importUserProfile(exchangePath("user.json"));
    const UserProfile imported = other->userProfiles.get().last();
    EXPECT_NE(imported.id, general.id);
    EXPECT_EQ(imported.name, "General");
    EXPECT_EQ(imported.pacsProfileId, theirs.id);
    EXPECT_EQ(imported.selectedDeviceId, "speechmike_smp3700");
    EXPECT_EQ(imported.lightingHex, "#00FF00");
    // Each mapping moves to their tool of the same name; Cine has none and is dropped.
    ASSERT_EQ(imported.mappings.size(), 2);
    EXPECT_EQ(imported.mappings[0], (ButtonMapping{general.mappings[0].id, "tartarus_v2", "K01", theirs.tools[1].id}));
    EXPECT_EQ(imported.mappings[1], (ButtonMapping{general.mappings[1].id, "tartarus_v2", "K02", theirs.tools[0].id}));
    EXPECT_EQ(other->activeUserProfileId.get(), imported.id);
    EXPECT_EQ(other->activePacsProfileId.get(), theirs.id);

    other->importPacsProfile(exchangePath("pacs.json"));
    const PacsProfile importedPacs = other->pacsProfiles.get().last();
    EXPECT_NE(importedPacs.id, synthesis.id);
    EXPECT_EQ(other->activePacsProfileId.get(), importedPacs.id);
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Import Successful", "User profile 'General' has been imported."},
                                            {"Import Successful", "PACS profile 'Synthesis' has been imported."}}));

    // Both were saved with the store, and exporting again gives the same document but for the id.
    const PersistedProfiles saved = PersistedProfiles::fromJson(json::parse(readFile(other->fileURL())));
    EXPECT_EQ(saved.userProfiles.last(), imported);
    EXPECT_EQ(saved.pacsProfiles.last(), importedPacs);
    EXPECT_EQ(importedPacs.tools, synthesis.tools);
    EXPECT_EQ(importedPacs.defaultLightingHex, "#7800D1");
    other->exportPacsProfile(importedPacs, exchangePath("again.json"));
    PacsProfile again = ProfileExchange::decodePacsProfile(readFile(exchangePath("again.json")));
    EXPECT_EQ(again, importedPacs);
    again.id = synthesis.id;
    EXPECT_EQ(ProfileExchange::encodePacsProfile(again), readFile(exchangePath("pacs.json")));
}

TEST_F(ExchangeOperationsTest, ImportingIntoTheSameStoreAddsASecondProfileOfTheSameName)
{
    ASSERT_TRUE(store->exportUserProfile(general, exchangePath("user.json")));
    store->importUserProfile(exchangePath("user.json"));
    store->importPacsProfile(test::dataPath("pacs-profile-export.json"));
    store->importPacsProfile(test::dataPath("pacs-profile-export.json"));

    const QList<UserProfile> users = store->userProfiles.get();
    ASSERT_EQ(users.size(), 2);
    EXPECT_EQ(users[1].name, "General");
    EXPECT_EQ(users[1].pacsProfileId, synthesis.id);
    EXPECT_EQ(users[1].mappings, general.mappings);
    const QList<PacsProfile> pacs = store->pacsProfiles.get();
    ASSERT_EQ(pacs.size(), 4);
    EXPECT_EQ(pacs[2].name, pacs[3].name);
    EXPECT_EQ(pacs[2].tools, pacs[3].tools);
    EXPECT_NE(pacs[2].id, pacs[3].id);
    EXPECT_EQ(store->activePacsProfileId.get(), pacs[3].id);
    EXPECT_EQ(store->activeUserProfileId.get(), users[1].id);
    EXPECT_EQ(savesSinceLastCheck(), 3);
}

TEST_F(ExchangeOperationsTest, ImportedProfileIsBoundByIdThenByNameThenToTheFirstProfile)
{
    // The fixture's PACS profile "Reading Station" is unknown here: the first PACS
    // profile takes it, mappings moved by the exported tool names.
    RadiologyTool stack = makeTool("STACK SCROLL");
    store->upsertTool(stack, synthesis.id);
    store->importUserProfile(test::dataPath("user-profile-export.json"));
    UserProfile imported = store->userProfiles.get().last();
    EXPECT_EQ(imported.pacsProfileId, synthesis.id);
    for (const ButtonMapping& mapping : imported.mappings)
        EXPECT_EQ(mapping.toolId, stack.id);
    EXPECT_FALSE(imported.mappings.isEmpty());

    // A bare profile whose PACS id matches nothing: the first profile, no mappings.
    UserProfile bare = general;
    bare.pacsProfileId = QUuid::createUuid();
    test::writeFile(exchangePath("bare.json"), json::encode(bare.toJson()));
    store->importUserProfile(exchangePath("bare.json"));
    imported = store->userProfiles.get().last();
    EXPECT_EQ(imported.pacsProfileId, synthesis.id);
    EXPECT_TRUE(imported.mappings.isEmpty());

    // A bare profile whose PACS id exists stays as it is.
    bare.pacsProfileId = eunity.id;
    test::writeFile(exchangePath("bare.json"), json::encode(bare.toJson()));
    store->importUserProfile(exchangePath("bare.json"));
    EXPECT_EQ(store->userProfiles.get().last().mappings, general.mappings);

    // A store without PACS profiles takes the built-in ones first.
    store->pacsProfiles.set({});
    test::writeFile(exchangePath("user.json"),
                    ProfileExchange::encodeUserProfile({general, "Synthesis", synthesis.tools}));
    store->importUserProfile(exchangePath("user.json"));
    const QList<PacsProfile> builtIn = store->pacsProfiles.get();
    EXPECT_EQ(namesOf(builtIn), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(store->userProfiles.get().last().pacsProfileId, builtIn.first().id);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, builtIn);
}

TEST_F(ExchangeOperationsTest, ExportFailuresReachTheCallerAsWellAsTheNotices)
{
    // The user profile's PACS profile is gone: a result the caller can check, no file.
    UserProfile unbound = general;
    unbound.pacsProfileId = QUuid::createUuid();
    EXPECT_FALSE(store->exportUserProfile(unbound, exchangePath("user.json")));
    EXPECT_FALSE(QFile::exists(exchangePath("user.json")));
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Failed", "Could not find associated PACS profile."}}));

    // A folder that does not exist: thrown, reported, and nothing else written.
    const QString nowhere = exchangePath("missing/user.json");
    EXPECT_THROW((void)store->exportUserProfile(general, nowhere), FileError);
    EXPECT_THROW(store->exportPacsProfile(synthesis, nowhere), FileError);
    const QList<Notice> failed = takeNotices();
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[0].first, "Export Failed");
    EXPECT_TRUE(failed[0].second.startsWith("Failed to export user profile: The file “user.json” could not be written"));
    EXPECT_TRUE(failed[1].second.startsWith("Failed to export PACS profile: "));

    // A failed export over an earlier file leaves that file whole.
    store->exportPacsProfile(synthesis, exchangePath("pacs.json"));
    const QByteArray earlier = readFile(exchangePath("pacs.json"));
    QFile::setPermissions(exchangeDir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (!QFileInfo(exchangeDir.path()).isWritable()) { // root ignores permissions
        EXPECT_THROW(store->exportPacsProfile(eunity, exchangePath("pacs.json")), FileError);
        EXPECT_EQ(readFile(exchangePath("pacs.json")), earlier);
    }
    QFile::setPermissions(exchangeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(ExchangeOperationsTest, ImportFailuresChangeNothingAndSayWhy)
{
    const QString path = exchangePath("in.json");
    const auto expectRefused = [&](const QByteArray& bytes, const char* userText, const char* pacsText) {
        test::writeFile(path, bytes);
        const QList<PacsProfile> pacs = store->pacsProfiles.get();
        const QList<UserProfile> users = store->userProfiles.get();
        EXPECT_THROW(store->importUserProfile(path), std::exception);
        EXPECT_THROW(store->importPacsProfile(path), std::exception);
        EXPECT_EQ(store->pacsProfiles.get(), pacs);
        EXPECT_EQ(store->userProfiles.get(), users);
        const QList<Notice> said = takeNotices();
        ASSERT_EQ(said.size(), 2);
        EXPECT_EQ(said[0].first, "Import Failed");
        EXPECT_EQ(said[0].second.toStdString(), std::string("Failed to import user profile: ") + userText);
        EXPECT_EQ(said[1].second.toStdString(), std::string("Failed to import PACS profile: ") + pacsText);
    };
    expectRefused("{\"name\": \"x\"}", "id: required key is missing", "id: required key is missing");
    expectRefused("{\"id\": ", "the data is not valid JSON", "the data is not valid JSON");
    expectRefused(QByteArray(ProfileExchange::maxFileSize + 1, ' '),
                  "The file “in.json” is too large to be a profile (more than 4 MB).",
                  "The file “in.json” is too large to be a profile (more than 4 MB).");
    QFile::remove(path);
    EXPECT_THROW(store->importUserProfile(path), FileError);
    EXPECT_EQ(takeNotices().value(0).second,
              "Failed to import user profile: The file “in.json” could not be read: No such file or directory.");
    EXPECT_EQ(savesSinceLastCheck(), 0);
}
