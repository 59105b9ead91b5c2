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
    QTemporaryDir remoteSupport;
};

} // namespace

TEST_F(SyncOperationsTest, ApplyingReplacesTheDataAndSavesItWithoutAnyUpload)
{
    const QByteArray payload = remotePayload([](ProfileStore& remote) {
        remote.createUserProfile("Remote Reader");
        remote.setMapping("tartarus_v2", "K07", remote.activePacsProfile().tools.first().id,
                          remote.activeUserProfileId().get());
    });
    const PersistedProfiles remote = decoded(payload);

    // A local edit whose upload is still pending when the download arrives.
    store->setLightingHex("#ABCDEF", store->activeUserProfileId().get());
    store->applySyncPayload(payload);
    queue->runUntilIdle();

    EXPECT_EQ(store->pacsProfiles().get(), remote.pacsProfiles);
    EXPECT_EQ(store->userProfiles().get(), remote.userProfiles);
    EXPECT_EQ(store->activeUserProfileId().get(), remote.activeUserProfileId);
    EXPECT_EQ(profilesOnDisk().userProfiles, remote.userProfiles);
    EXPECT_TRUE(store->lastSaved().get());
    // Neither the apply nor the edit it replaced asks for an upload.
    EXPECT_EQ(saveCalls, 0);

    // The next local edit uploads again.
    store->setLightingHex("#123456", store->activeUserProfileId().get());
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 1);
}

TEST_F(SyncOperationsTest, PayloadIsTheProfilesDocumentAndApplyingItAgainChangesNothing)
{
    store->setLightingHex("#101010", store->activeUserProfileId().get());
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
    int published = 0;
    const auto count = [&](const auto&) { ++published; };
    const Subscription watches[] = {store->pacsProfiles().subscribe(count), store->userProfiles().subscribe(count),
                                    store->activePacsProfileId().subscribe(count),
                                    store->activeUserProfileId().subscribe(count)};
    published = 0;
    disk->clearChanges();
    for (const char* bytes : {"not json", "", "[]", R"({"version": 6})",
                              R"({"version": 6, "pacsProfiles": [], "userProfiles": {}})"}) {
        EXPECT_THROW(store->applySyncPayload(bytes), ProfileStoreError) << bytes;
        EXPECT_FALSE(store->syncChangeSummary(bytes));
    }
    EXPECT_EQ(published, 0);
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(SyncOperationsTest, CustomIconNamesAreUniqueSortedAndPlainFileNamesOnly)
{
    const QUuid first = store->pacsProfiles().get().at(0).id;
    const QUuid second = store->pacsProfiles().get().at(1).id;
    EXPECT_TRUE(store->referencedCustomIconNames().isEmpty());

    const auto addTool = [&](const QString& icon, const QUuid& pacsId, ToolIconSource source) {
        RadiologyTool tool = makeTool("Custom");
        tool.iconSource = source;
        tool.customIcon = icon;
        store->upsertTool(tool, pacsId);
    };
    for (const char* icon : {"zeta.svg", "Alpha.svg", "beta.svg", " ", "../escape.svg", ".hidden.svg", "a/b.svg",
                             "a\\b.svg", "bell\u0007.svg", ".."})
        addTool(icon, first, ToolIconSource::custom);
    addTool("beta.svg", second, ToolIconSource::custom);
    addTool("", second, ToolIconSource::custom);
    addTool("stale.svg", second, ToolIconSource::system);
    EXPECT_EQ(store->referencedCustomIconNames(), (QStringList{" ", "Alpha.svg", "beta.svg", "zeta.svg"}));
}
