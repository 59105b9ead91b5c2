#pragma once

#include "ScriptedFileSystem.h"
#include "platform/Bundle.h"
#include "platform/Json.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStore.h"
#include "support/ProfileStoreSeed.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace velmor::test {

inline RadiologyTool makeTool(const QString& name, const QUuid& id = QUuid::createUuid())
{
    RadiologyTool tool;
    tool.id = id;
    tool.name = name;
    tool.systemIcon = QStringLiteral("circle");
    return tool;
}

inline ButtonMapping makeMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId)
{
    return ButtonMapping{QUuid::createUuid(), deviceId, buttonId, toolId};
}

template <typename T>
QStringList namesOf(const QList<T>& items)
{
    QStringList names;
    for (const T& item : items)
        names << item.name;
    return names;
}

// A store on the temporary data folder, with an empty bundle (no seed, no
// default resources) unless a test adds resources, and recorded notices.
class StoreFixture : public PlatformFixture {
protected:
    StoreFixture() { Bundle::setMainRoot(bundleDir.path()); }
    ~StoreFixture() override { Bundle::setMainRoot({}); }

    void addResource(const QString& fileName, const QByteArray& bytes)
    {
        writeFile(bundleDir.filePath(fileName), bytes);
    }
    // The "DefaultMappings" resource: Synthesis tools "Pan" and "Magnify" on
    // keypad buttons "K01" and "K02".
    void addDefaultMappings()
    {
        addResource("DefaultMappings.json", R"({"Synthesis": {"tartarus_v2": [
            {"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02", "toolName": "magnify"}]}})");
    }

    // A store on the scripted disk, its notices and save calls recorded.
    std::unique_ptr<ProfileStore> start()
    {
        auto store = std::make_unique<ProfileStore>(disk);
        record(*store);
        return store;
    }
    void record(ProfileStore& store)
    {
        store.onError = [this](const QString& title, const QString& message) { notices.append({title, message}); };
        store.onSave = [this] { ++saveCalls; };
    }

    QStringList files() const { return QDir(supportDir.path()).entryList(QDir::Files, QDir::Name); }
    void renameUser(ProfileStore& store, const QString& name)
    {
        ProfileStoreSeed::userProfiles(store).mutate([&](QList<UserProfile>& users) { users.first().name = name; });
    }

    void writeProfiles(const PersistedProfiles& document) { writeProfiles(json::encode(document.toJson())); }
    void writeProfiles(const QByteArray& bytes) { writeFile(profilesPath(), bytes); }
    PersistedProfiles profilesOnDisk(const QString& name = QStringLiteral("profiles.json")) const
    {
        return PersistedProfiles::fromJson(json::parse(readFile(supportPath(name))));
    }
    QString profilesPath() const { return supportPath(QStringLiteral("profiles.json")); }

    QTemporaryDir bundleDir;
    std::shared_ptr<ScriptedFileSystem> disk = std::make_shared<ScriptedFileSystem>();
    QList<std::pair<QString, QString>> notices;
    int saveCalls = 0;
};

} // namespace velmor::test

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
