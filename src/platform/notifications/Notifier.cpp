#include "platform/notifications/Notifier.h"

#include "platform/ProcessWide.h"
#include "platform/notifications/DBusNotifier.h"

namespace velmor {

QString authorizationStatusName(NotificationSettings::AuthorizationStatus status)
{
    using Status = NotificationSettings::AuthorizationStatus;
    switch (status) {
    case Status::notDetermined:
        return QStringLiteral("notDetermined");
    case Status::denied:
        return QStringLiteral("denied");
    case Status::authorized:
        return QStringLiteral("authorized");
    case Status::provisional:
        return QStringLiteral("provisional");
    case Status::ephemeral:
        return QStringLiteral("ephemeral");
    }
    return QStringLiteral("unknown");
}

Notifier& Notifier::instance() { return ProcessWide<Notifier>::get<DBusNotifier>(); }

void Notifier::setInstance(Notifier* notifier) { ProcessWide<Notifier>::install(notifier); }

} // namespace velmor
