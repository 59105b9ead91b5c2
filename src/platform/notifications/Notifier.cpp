#include "platform/notifications/Notifier.h"

#include "platform/ProcessWide.h"
#include "platform/notifications/DBusNotifier.h"

#include <memory>
#include <utility>

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

void Notifier::add(const NotificationRequest& request)
{
    const PresentationOptions everyWay = PresentationOption::sound | PresentationOption::banner | PresentationOption::list;
    if (!delegate_) {
        present(request, everyWay);
        return;
    }
    // A delegate that answers twice still shows the notification once.
    delegate_->willPresent(request, [this, request, answered = std::make_shared<bool>(false)](PresentationOptions options) {
        if (std::exchange(*answered, true))
            return;
        if (options.testAnyFlags(PresentationOption::banner | PresentationOption::list))
            present(request, options);
    });
}

void Notifier::respond(const NotificationResponse& response, std::function<void()> done)
{
    if (!done)
        done = [] {};
    if (!delegate_) {
        done();
        return;
    }
    delegate_->didReceive(response, std::move(done));
}

Notifier& Notifier::instance() { return ProcessWide<Notifier>::get<DBusNotifier>(); }

void Notifier::setInstance(Notifier* notifier) { ProcessWide<Notifier>::install(notifier); }

} // namespace velmor
