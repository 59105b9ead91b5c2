#include "platform/permissions/Permissions.h"

#include "platform/permissions/LinuxPermissions.h"

#include <atomic>

namespace velmor {

namespace {
std::atomic<Permissions*> installed{nullptr};
} // namespace

Permissions& Permissions::instance()
{
    if (Permissions* permissions = installed.load())
        return *permissions;
    static LinuxPermissions system;
    return system;
}

void Permissions::setInstance(Permissions* permissions) { installed.store(permissions); }

} // namespace velmor
