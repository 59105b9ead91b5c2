#include "platform/tap/EventTap.h"

#include <mutex>

namespace velmor {

namespace {
std::mutex factoryMutex;
EventTap::Factory& installedFactory()
{
    static EventTap::Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<EventTap> EventTap::create(Mask mask, Callback callback)
{
    Factory factory;
    {
        const std::lock_guard lock(factoryMutex);
        factory = installedFactory();
    }
    if (factory)
        return factory(mask, std::move(callback));
    return std::make_unique<PassiveEventTap>();
}

void EventTap::setFactory(Factory factory)
{
    const std::lock_guard lock(factoryMutex);
    installedFactory() = std::move(factory);
}

} // namespace velmor
