#pragma once

#include "StoreFixture.h"

#include <memory>
#include <utility>

namespace velmor::test {

using Notice = std::pair<QString, QString>;

// A started store whose start-up outcome has arrived, and a count of the saves
// that follow (every save sets lastSaved on a later turn, written or not).
class StoreOperationsFixture : public StoreFixture {
protected:
    void SetUp() override
    {
        store = start();
        queue->runUntilIdle();
        savesWatch = store->lastSaved().subscribe([this](const auto&) { ++saves; });
        saves = 0;
        notices.clear();
        saveCalls = 0;
    }

    // Saves since the last call, once their outcome has arrived.
    int savesSinceLastCheck()
    {
        queue->runUntilIdle();
        return std::exchange(saves, 0);
    }

    QList<Notice> takeNotices()
    {
        queue->runUntilIdle();
        return std::exchange(notices, {});
    }

    // Puts a state in place the way a view binding would: assigned, not saved.
    void install(const QList<PacsProfile>& pacs, const QList<UserProfile>& users)
    {
        ProfileStoreSeed::pacsProfiles(*store).set(pacs);
        ProfileStoreSeed::userProfiles(*store).set(users);
        ProfileStoreSeed::activePacsProfileId(*store).set(pacs.first().id);
        ProfileStoreSeed::activeUserProfileId(*store).set(users.first().id);
    }

    UserProfile user(qsizetype index) const { return store->userProfiles().get().at(index); }

    std::unique_ptr<ProfileStore> store;
    Subscription savesWatch;
    int saves = 0;
};

inline PacsProfile makePacs(const QString& name, QList<RadiologyTool> tools = {})
{
    return PacsProfile{QUuid::createUuid(), name, std::move(tools), std::nullopt};
}

inline UserProfile makeUser(const QString& name, const QUuid& pacsId, QList<ButtonMapping> mappings = {})
{
    return UserProfile{QUuid::createUuid(), name, pacsId, std::move(mappings), std::nullopt, std::nullopt};
}

inline QList<QUuid> toolIdsOf(const UserProfile& profile)
{
    QList<QUuid> ids;
    for (const ButtonMapping& mapping : profile.mappings)
        ids << mapping.toolId;
    return ids;
}

} // namespace velmor::test
