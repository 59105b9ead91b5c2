#pragma once

#include <QFlags>
#include <QString>
#include <QVariantMap>

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
    // What the notification carries for the application (a cloud push's dictionary).
    QVariantMap userInfo;

    bool operator==(const NotificationRequest&) const = default;
};

// The ways a notification is shown while the application runs.
enum class PresentationOption : unsigned { sound = 1u << 1, banner = 1u << 3, list = 1u << 4 };
Q_DECLARE_FLAGS(PresentationOptions, PresentationOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(PresentationOptions)

// What the user did with a shown notification; a click on it is the default action.
struct NotificationResponse {
    static inline const QString defaultActionIdentifier = QStringLiteral("default");

    NotificationRequest request;
    QString actionIdentifier = defaultActionIdentifier;
};

// Decides how each notification is shown and hears what the user does with it.
// Each completion must run exactly once.
class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    virtual void willPresent(const NotificationRequest& request, std::function<void(PresentationOptions)> completion) = 0;
    virtual void didReceive(const NotificationResponse& response, std::function<void()> completion) = 0;
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
    // Shows the notification in the ways the delegate answers (every way without
    // one; not at all for none); a refused or failed delivery goes unnoticed.
    void add(const NotificationRequest& request);

    // Not owned; the delegate clears itself before it goes.
    void setDelegate(NotificationCenterDelegate* delegate) { delegate_ = delegate; }
    NotificationCenterDelegate* delegate() const { return delegate_; }

    // The process-wide notifier: the session bus's notification service unless a test installed another.
    static Notifier& instance();
    static void setInstance(Notifier* notifier);

protected:
    // Puts the notification in front of the user; `options` holds banner or list.
    virtual void present(const NotificationRequest& request, PresentationOptions options) = 0;
    // The user acted on a shown notification: the delegate hears of it; `done`
    // runs once it has completed (at once without a delegate).
    void respond(const NotificationResponse& response, std::function<void()> done = {});

private:
    NotificationCenterDelegate* delegate_ = nullptr;
};

} // namespace velmor
