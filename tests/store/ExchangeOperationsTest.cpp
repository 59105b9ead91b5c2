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
    void SetUp() override
    {
        StoreOperationsFixture::SetUp();
        general.lightingHex = "#00FF00";
        synthesis.defaultLightingHex = "#7800D1";
        install({synthesis, eunity}, {general});
    }
    QString file(const QString& name) const { return exchangeDir.filePath(name); }
    QList<Notice> takeNotices()
    {
        queue->runUntilIdle();
        return std::exchange(notices, {});
    }

    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool cine = makeTool("Cine");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, cine});
    PacsProfile eunity = makePacs("eUnity", {makeTool("PAN")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id),
                                    makeMapping("tartarus_v2", "K02", pan.id),
                                    makeMapping("speechmike_smp3700", "REC", cine.id)});
    QTemporaryDir exchangeDir;
    QTemporaryDir otherSupport;
};

} // namespace

TEST_F(ExchangeOperationsTest, FilesRoundTripBetweenTwoStores)
{
    ASSERT_TRUE(store->exportUserProfile(general, file("user.json")));
    store->exportPacsProfile(synthesis, file("pacs.json"));
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Successful", "User profile 'General' has been exported."},
                                            {"Export Successful", "PACS profile 'Synthesis' has been exported."}}));

    // Another machine knows "SYNTHESIS" under another id, with tools of other ids.
    paths::setApplicationSupportOverride(otherSupport.path());
    ProfileStore other(std::make_shared<LocalFileSystem>());
    record(other);
    const PacsProfile theirs = makePacs("SYNTHESIS", {makeTool("pan"), makeTool("ZOOM")});
    ProfileStoreSeed::pacsProfiles(other).set({theirs});

    other.importUserProfile(file("user.json"));
    const UserProfile imported = other.userProfiles().get().last();
    EXPECT_NE(imported.id, general.id);
    EXPECT_EQ(imported.name, "General");
    EXPECT_EQ(imported.lightingHex, "#00FF00");
    EXPECT_EQ(imported.pacsProfileId, theirs.id);
    // Each mapping moves to their tool of the same name; Cine has none and is dropped.
    ASSERT_EQ(imported.mappings.size(), 2);
    EXPECT_EQ(imported.mappings[0], (ButtonMapping{general.mappings[0].id, "tartarus_v2", "K01", theirs.tools[1].id}));
    EXPECT_EQ(imported.mappings[1], (ButtonMapping{general.mappings[1].id, "tartarus_v2", "K02", theirs.tools[0].id}));
    EXPECT_EQ(other.activeUserProfileId().get(), imported.id);

    other.importPacsProfile(file("pacs.json"));
    const PacsProfile importedPacs = other.pacsProfiles().get().last();
    EXPECT_EQ(other.activePacsProfileId().get(), importedPacs.id);
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Import Successful", "User profile 'General' has been imported."},
                                            {"Import Successful", "PACS profile 'Synthesis' has been imported."}}));
    const PersistedProfiles saved = PersistedProfiles::fromJson(json::parse(readFile(other.fileURL())));
    EXPECT_EQ(saved.userProfiles.last(), imported);
    EXPECT_EQ(saved.pacsProfiles.last(), importedPacs);

    // Exported again, the PACS profile is the same document but for its new id.
    other.exportPacsProfile(importedPacs, file("again.json"));
    PacsProfile again = ProfileExchange::decodePacsProfile(readFile(file("again.json")));
    EXPECT_NE(again.id, synthesis.id);
    again.id = synthesis.id;
    EXPECT_EQ(ProfileExchange::encodePacsProfile(again), readFile(file("pacs.json")));
}

TEST_F(ExchangeOperationsTest, ImportedProfileIsBoundByIdThenByNameThenToTheFirstProfile)
{
    // Same store: a second "General", bound by id, with the same mappings.
    ASSERT_TRUE(store->exportUserProfile(general, file("user.json")));
    store->importUserProfile(file("user.json"));
    EXPECT_EQ(store->userProfiles().get().last().mappings, general.mappings);

    // The fixture's "Reading Station" is unknown here: the first PACS profile takes
    // it, with the mappings moved by the exported tool names.
    const RadiologyTool stack = makeTool("STACK SCROLL");
    store->upsertTool(stack, synthesis.id);
    store->importUserProfile(dataPath("user-profile-export.json"));
    UserProfile imported = store->userProfiles().get().last();
    EXPECT_EQ(imported.pacsProfileId, synthesis.id);
    ASSERT_FALSE(imported.mappings.isEmpty());
    for (const ButtonMapping& mapping : imported.mappings)
        EXPECT_EQ(mapping.toolId, stack.id);

    // A bare profile whose PACS id matches nothing (saved by an editor that adds a
    // byte-order mark): the first profile, no mappings.
    UserProfile bare = general;
    bare.pacsProfileId = QUuid::createUuid();
    writeFile(file("bare.json"), "\xEF\xBB\xBF" + json::encode(bare.toJson()));
    store->importUserProfile(file("bare.json"));
    EXPECT_EQ(store->userProfiles().get().last().pacsProfileId, synthesis.id);
    EXPECT_TRUE(store->userProfiles().get().last().mappings.isEmpty());

    // A store without PACS profiles takes the built-in ones first, and saves them.
    ProfileStoreSeed::pacsProfiles(*store).set({});
    store->importUserProfile(file("user.json"));
    const QList<PacsProfile> builtIn = store->pacsProfiles().get();
    EXPECT_EQ(namesOf(builtIn), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(store->userProfiles().get().last().pacsProfileId, builtIn.first().id);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, builtIn);
}

TEST_F(ExchangeOperationsTest, ExportFailuresReachTheCallerAsWellAsTheNotices)
{
    // The user profile's PACS profile is gone: a result the caller can check, no file.
    UserProfile unbound = general;
    unbound.pacsProfileId = QUuid::createUuid();
    EXPECT_FALSE(store->exportUserProfile(unbound, file("user.json")));
    EXPECT_FALSE(QFile::exists(file("user.json")));
    EXPECT_EQ(takeNotices(), (QList<Notice>{{"Export Failed", "Could not find associated PACS profile."}}));

    EXPECT_THROW((void)store->exportUserProfile(general, file("missing/user.json")), FileError);
    EXPECT_THROW(store->exportPacsProfile(synthesis, file("missing/pacs.json")), FileError);
    const QList<Notice> failed = takeNotices();
    ASSERT_EQ(failed.size(), 2);
    EXPECT_EQ(failed[0].first, "Export Failed");
    EXPECT_TRUE(
        failed[0].second.startsWith("Failed to export user profile: The file “user.json” could not be written"));
    EXPECT_TRUE(failed[1].second.startsWith("Failed to export PACS profile: The file “pacs.json”"));
}

TEST_F(ExchangeOperationsTest, ImportFailuresChangeNothingAndSayWhy)
{
    QJsonObject brokenExport = UserProfileExport{general, "Synthesis", {}}.toJson();
    brokenExport.insert("profile", QJsonObject{{"name", "x"}});
    const QString tooLarge = "The file “in.json” is too large to be a profile (more than 4 MB).";
    const QList<std::tuple<QByteArray, QString, QString>> cases{
        {"{\"name\": \"x\"}", "id: required key is missing", "id: required key is missing"},
        {"{\"id\": ", "the data is not valid JSON", "the data is not valid JSON"},
        // Neither form: the bare profile's fault is the one reported.
        {json::encode(brokenExport), "id: required key is missing", "id: required key is missing"},
        {QByteArray(ProfileExchange::maxFileSize + 1, ' '), tooLarge, tooLarge},
    };
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    const QList<UserProfile> users = store->userProfiles().get();
    for (const auto& [bytes, userText, pacsText] : cases) {
        writeFile(file("in.json"), bytes);
        EXPECT_THROW(store->importUserProfile(file("in.json")), std::exception);
        EXPECT_THROW(store->importPacsProfile(file("in.json")), std::exception);
        EXPECT_EQ(takeNotices(), (QList<Notice>{{"Import Failed", "Failed to import user profile: " + userText},
                                                {"Import Failed", "Failed to import PACS profile: " + pacsText}}));
    }
    EXPECT_THROW(store->importUserProfile(file("none.json")), FileError);
    EXPECT_EQ(takeNotices().value(0).second,
              "Failed to import user profile: The file “none.json” could not be read: No such file or directory.");
    // Devices, pipes and folders are not read at all.
    for (const QString& special : {QStringLiteral("/dev/zero"), exchangeDir.path()})
        EXPECT_THROW(store->importPacsProfile(special), FileError);
    EXPECT_TRUE(takeNotices().value(1).second.endsWith("could not be read: it is not a regular file."));
    EXPECT_EQ(store->pacsProfiles().get(), pacs);
    EXPECT_EQ(store->userProfiles().get(), users);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}
