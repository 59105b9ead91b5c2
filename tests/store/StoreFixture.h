#pragma once

#include "ScriptedFileSystem.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStore.h"
#include "support/ProfileStoreSeed.h"
#include "support/TestSupport.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace velmor::test {

RadiologyTool makeTool(const QString& name, const QUuid& id = QUuid::createUuid());
ButtonMapping makeMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId);

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
    StoreFixture();
    ~StoreFixture() override;

    void addResource(const QString& fileName, const QByteArray& bytes);
    // The "DefaultMappings" resource: Synthesis tools "Pan" and "Magnify" on
    // keypad buttons "K01" and "K02".
    void addDefaultMappings();

    // A store on the scripted disk, its notices and save calls recorded.
    std::unique_ptr<ProfileStore> start();
    void record(ProfileStore& store);

    void writeProfiles(const PersistedProfiles& document);
    void writeProfiles(const QByteArray& bytes) { writeFile(profilesPath(), bytes); }
    PersistedProfiles profilesOnDisk(const QString& name = QStringLiteral("profiles.json")) const;
    QString profilesPath() const { return supportPath(QStringLiteral("profiles.json")); }

    QTemporaryDir bundleDir;
    std::shared_ptr<ScriptedFileSystem> disk = std::make_shared<ScriptedFileSystem>();
    QList<std::pair<QString, QString>> notices;
    int saveCalls = 0;
};

} // namespace velmor::test

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
