#include "StoreFixture.h"

#include "platform/Bundle.h"
#include "platform/Json.h"

namespace velmor::test {

RadiologyTool makeTool(const QString& name, const QUuid& id)
{
    RadiologyTool tool;
    tool.id = id;
    tool.name = name;
    tool.systemIcon = QStringLiteral("circle");
    return tool;
}

ButtonMapping makeMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId)
{
    return ButtonMapping{QUuid::createUuid(), deviceId, buttonId, toolId};
}

StoreFixture::StoreFixture() { Bundle::setMainRoot(bundleDir.path()); }

StoreFixture::~StoreFixture() { Bundle::setMainRoot({}); }

void StoreFixture::addResource(const QString& fileName, const QByteArray& bytes)
{
    writeFile(bundleDir.filePath(fileName), bytes);
}

void StoreFixture::addDefaultMappings()
{
    addResource("DefaultMappings.json", R"({"Synthesis": {"tartarus_v2": [
        {"buttonId": "K01", "toolName": "Pan"}, {"buttonId": "K02", "toolName": "magnify"}]}})");
}

std::unique_ptr<ProfileStore> StoreFixture::start()
{
    auto store = std::make_unique<ProfileStore>(disk);
    record(*store);
    return store;
}

void StoreFixture::record(ProfileStore& store)
{
    store.onError = [this](const QString& title, const QString& message) { notices.append({title, message}); };
    store.onSave = [this] { ++saveCalls; };
}

void StoreFixture::writeProfiles(const PersistedProfiles& document) { writeProfiles(json::encode(document.toJson())); }

PersistedProfiles StoreFixture::profilesOnDisk(const QString& name) const
{
    return PersistedProfiles::fromJson(json::parse(readFile(supportPath(name))));
}

} // namespace velmor::test
