#include "app/StartRefusal.h"

#include "platform/Text.h"
#include "platform/notifications/Notifier.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace velmor {

void tellStartRefused(const QString& message, std::chrono::milliseconds patience)
{
    std::fprintf(stderr, "velmor: %s\n", qPrintable(text::visibleControls(message)));
    std::fflush(stderr);

    QEventLoop loop;
    QTimer::singleShot(patience, &loop, &QEventLoop::quit);
    const auto done = std::make_shared<bool>(false);
    Notifier::instance().getNotificationSettings([&loop, message, done](const NotificationSettings& settings) {
        if (*done)
            return;
        *done = true;
        if (settings.authorizationStatus != NotificationSettings::AuthorizationStatus::authorized) {
            loop.quit();
            return;
        }
        Notifier::instance().add({QStringLiteral("velmor.startRefused"), QStringLiteral("Velmor"), message, {}});
        // The service asked and told: a moment for the two calls to go out.
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
    });
    if (!*done)
        loop.exec();
    *done = true;
}

} // namespace velmor
