#include "platform/cloud/Container.h"

#include "platform/MainQueue.h"
#include "platform/cloud/folder/FolderContainer.h"

#include <QHash>
#include <QMutex>

namespace velmor::cloud {

namespace {
QMutex mutex;
Container::Factory factory;
// Everyone who asks for a container while it is in use gets the same one, so a
// client never takes its own saves for another's.
QHash<QString, std::weak_ptr<Container>> inUse;
} // namespace

std::shared_ptr<Container> Container::named(const QString& identifier)
{
    QMutexLocker lock(&mutex);
    if (factory) {
        const Factory make = factory;
        lock.unlock();
        return make(identifier);
    }
    if (auto container = inUse.value(identifier).lock())
        return container;
    std::shared_ptr<Container> container = FolderContainer::create(identifier, FolderLocation::forContainer(identifier));
    inUse.insert(identifier, container);
    return container;
}

void Container::accountExists(Completion<bool> done)
{
    postToMain([done = std::move(done)] { done(true, std::nullopt); });
}

void Container::setFactory(Factory newFactory)
{
    const QMutexLocker lock(&mutex);
    factory = std::move(newFactory);
}

} // namespace velmor::cloud
