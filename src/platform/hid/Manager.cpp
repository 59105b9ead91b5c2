#include "platform/hid/Manager.h"

#include "platform/hid/ScriptedHid.h"

#include <mutex>

namespace velmor::hid {

namespace {
std::mutex factoryMutex;
Manager::Factory installedFactory;
} // namespace

std::unique_ptr<Manager> Manager::create()
{
    Factory factory;
    {
        const std::lock_guard lock(factoryMutex);
        factory = installedFactory;
    }
    if (factory)
        return factory();
    return ScriptedHid::createIdleManager();
}

void Manager::setFactory(Factory factory)
{
    const std::lock_guard lock(factoryMutex);
    installedFactory = std::move(factory);
}

} // namespace velmor::hid
