#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// What the user lets the application's notifications do.
struct NotificationSettings {
    enum class AuthorizationStatus : int { notDetermined = 0, denied = 1, authorized = 2, provisional = 3, ephemeral = 4 };
    // One way of presenting a notification, as the log writes it: 0, 1 or 2.
    enum class Setting : int { notSupported = 0, disabled = 1, enabled = 2 };

    AuthorizationStatus authorizationStatus = AuthorizationStatus::notDetermined;
    Setting alertSetting = Setting::notSupported;
    Setting soundSetting = Setting::notSupported;
    Setting badgeSetting = Setting::notSupported;

    bool operator==(const NotificationSettings&) const = default;
};

// "notDetermined", "denied", "authorized", "provisional", "ephemeral"; "unknown" for other values.
QString authorizationStatusName(NotificationSettings::AuthorizationStatus status);

// A notification for the user, shown at once.
struct NotificationRequest {
    QString identifier;
    QString title;
    QString body;

    bool operator==(const NotificationRequest&) const = default;
};

// The desktop's notifications. Completions run once, on the main thread, on a
// later turn of the main loop.
class Notifier {
public:
    using SettingsCompletion = std::function<void(NotificationSettings settings)>;
    // Whether the user allows notifications; the description of what went wrong, if anything did.
    using AuthorizationCompletion = std::function<void(bool granted, std::optional<QString> error)>;

    virtual ~Notifier() = default;

    virtual void getNotificationSettings(SettingsCompletion done) = 0;
    // Asks the user where the desktop can ask.
    virtual void requestAuthorization(AuthorizationCompletion done) = 0;
    // Shows the notification; a refused or failed delivery goes unnoticed.
    virtual void add(const NotificationRequest& request) = 0;

    // The process-wide notifier: the session bus's notification service unless a test installed another.
    static Notifier& instance();
    static void setInstance(Notifier* notifier);
};

} // namespace velmor
