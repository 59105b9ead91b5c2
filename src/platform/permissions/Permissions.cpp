#include "platform/permissions/Permissions.h"

#include "platform/permissions/LinuxPermissions.h"

#include "platform/ProcessWide.h"

namespace velmor {

Permissions& Permissions::instance() { return ProcessWide<Permissions>::get<LinuxPermissions>(); }

void Permissions::setInstance(Permissions* permissions) { ProcessWide<Permissions>::install(permissions); }

} // namespace velmor
