#include "StoreOperationsFixture.h"

#include "platform/Json.h"
#include "platform/Paths.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStoreError.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class SyncOperationsTest : public StoreOperationsFixture {
protected:
    // The payload of another machine's store, changed by `edit`.
    QByteArray remotePayload(const std::function<void(ProfileStore&)>& edit = {})
    {
        paths::setApplicationSupportOverride(remoteSupport.path());
        ProfileStore remote(std::make_shared<LocalFileSystem>());
        paths::setApplicationSupportOverride(supportDir.path());
        if (edit)
            edit(remote);
        return remote.makeSyncPayload();
    }
    static PersistedProfiles decoded(const QByteArray& payload)
    {
        return PersistedProfiles::fromJson(json::parse(payload));
    }
    // Counts the published changes of the lists and active ids.
    int publishedChanges = 0;
    std::vector<Subscription> countChanges()
    {
        std::vector<Subscription> subscriptions;
        const auto count = [this](const auto&) { ++publishedChanges; };
        subscriptions.push_back(store->pacsProfiles.subscribe(count));
        subscriptions.push_back(store->userProfiles.subscribe(count));
        subscriptions.push_back(store->activePacsProfileId.subscribe(count));
        subscriptions.push_back(store->activeUserProfileId.subscribe(count));
        publishedChanges = 0;
        return subscriptions;
    }

    QTemporaryDir remoteSupport;
};

RadiologyTool customTool(const QString& icon, ToolIconSource source = ToolIconSource::custom)
{
    RadiologyTool tool = makeTool("Custom " + icon);
    tool.iconSource = source;
    tool.customIcon = icon;
    return tool;
}

} // namespace

TEST_F(SyncOperationsTest, ApplyingReplacesTheDataAndSavesItWithoutAnyUpload)
{
    const QByteArray payload = remotePayload([](ProfileStore& remote) {
        remote.createUserProfile("Remote Reader");
        remote.setMapping("tartarus_v2", "K07", remote.activePacsProfile().tools.first().id,
                          remote.activeUserProfileId.get());
    });
    const PersistedProfiles remote = decoded(payload);

    // A local edit whose upload is still pending when the download arrives.
    store->setLightingHex("#ABCDEF", store->activeUserProfileId.get());
    store->applySyncPayload(payload);
    queue->runUntilIdle();

    EXPECT_EQ(store->pacsProfiles.get(), remote.pacsProfiles);
    EXPECT_EQ(store->userProfiles.get(), remote.userProfiles);
    EXPECT_EQ(store->activeUserProfileId.get(), remote.activeUserProfileId);
    EXPECT_EQ(profilesOnDisk().userProfiles, remote.userProfiles);
    EXPECT_TRUE(store->lastSaved.get());
    // Neither the apply nor the edit it replaced asks for an upload.
    EXPECT_EQ(saveCalls, 0);

    // The next local edit uploads again.
    store->setLightingHex("#123456", store->activeUserProfileId.get());
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 1);
}

TEST_F(SyncOperationsTest, PayloadIsTheProfilesDocumentAndApplyingItAgainChangesNothing)
{
    store->setLightingHex("#101010", store->activeUserProfileId.get());
    queue->runUntilIdle();
    const QByteArray own = store->makeSyncPayload();
    EXPECT_EQ(own, readFile(profilesPath()));
    EXPECT_FALSE(store->syncChangeSummary(own));
    store->applySyncPayload(own);
    EXPECT_EQ(store->makeSyncPayload(), own);
    EXPECT_EQ(savesSinceLastCheck(), 2);
    EXPECT_EQ(saveCalls, 1); // the edit's, not the apply's
}

TEST_F(SyncOperationsTest, AnUnreadablePayloadIsRefusedWithNothingChanged)
{
    const auto subscriptions = countChanges();
    disk->clearChanges();
    for (const QByteArray& bytes : {QByteArray("not json"), QByteArray("{\"version\": 6}"), QByteArray(),
                                    QByteArray("[]"), QByteArray("{\"version\": 6, \"pacsProfiles\": [], \"userProfiles\": {}}")}) {
        try {
            store->applySyncPayload(bytes);
            ADD_FAILURE() << bytes.toStdString();
        } catch (const ProfileStoreError& error) {
            EXPECT_EQ(error, ProfileStoreError::invalidPayload());
        }
        EXPECT_FALSE(store->syncChangeSummary(bytes));
    }
    EXPECT_EQ(publishedChanges, 0);
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(SyncOperationsTest, PayloadsWithoutActiveIdsOrInTheLegacyFormatAreTakenIn)
{
    PersistedProfiles payload = decoded(remotePayload([](ProfileStore& remote) { remote.createUserProfile("Second"); }));
    payload.activePacsProfileId.reset();
    payload.activeUserProfileId.reset();
    store->applySyncPayload(json::encode(payload.toJson()));
    EXPECT_EQ(store->activeUserProfileId.get(), payload.userProfiles.first().id);
    EXPECT_EQ(store->activePacsProfileId.get(), payload.userProfiles.first().pacsProfileId);

    store->applySyncPayload(readFile(dataPath("profiles-legacy.json")));
    EXPECT_EQ(namesOf(store->userProfiles.get()), QStringList{"Radiologist - General"});
    EXPECT_EQ(decoded(readFile(profilesPath())).version, 6);
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 0);
}

TEST_F(SyncOperationsTest, CustomIconNamesAreUniqueSortedAndPlainFileNamesOnly)
{
    const QUuid first = store->pacsProfiles.get().at(0).id;
    const QUuid second = store->pacsProfiles.get().at(1).id;
    EXPECT_TRUE(store->referencedCustomIconNames().isEmpty());

    for (const char* icon : {"zeta.svg", "Alpha.svg", "beta.svg", " ", "../escape.svg", ".hidden.svg", "a/b.svg",
                             "a\\b.svg", "bell\u0007.svg", ".."}) {
        store->upsertTool(customTool(icon), first);
    }
    store->upsertTool(customTool("beta.svg"), second);
    store->upsertTool(customTool("stale.svg", ToolIconSource::system), second);
    store->upsertTool(customTool(""), second);

    EXPECT_EQ(store->referencedCustomIconNames(), (QStringList{" ", "Alpha.svg", "beta.svg", "zeta.svg"}));
}
