#pragma once

#include "platform/notifications/Notifier.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace velmor::cloud {
class Container;
}

// The log lines of push handling and of the cloud sync diagnostics: fixed texts
// followed by a value, "nil" where the value is absent.
namespace velmor::cloudlog {

// "CloudKit push received: type=<query|zone|read|database|unknown>, subscriptionID=<id|nil>",
// or the line for a dictionary that is no cloud notification.
QString pushReceived(const QVariantMap& dictionary);
// "Notification auth status: <status>, granted: <true|false>", or the error line alone.
QString notificationAuthorization(bool granted, const std::optional<QString>& error,
                                  const NotificationSettings& settings);
// "Notification settings: status=<status>, alert=<n>, sound=<n>, badge=<n>".
QString notificationSettings(const NotificationSettings& settings);
// The three entitlement lines; none when the entitlements cannot be read.
QStringList entitlements();
// "yyyy-MM-dd HH:mm:ss +0000" in UTC, or "nil".
QString dateText(const std::optional<QDateTime>& date);

using Log = std::function<void(const QString& line)>;
// The diagnostics' findings as one notice: "<line>; <line>. The whole report is in the Event Log."
QString diagnosticsFindings(const QStringList& findings);
// What the cloud says about the account, the user record, the subscriptions and the
// profiles record; each line goes to `log` as soon as its step has ended, and a
// failed step never stops the next.
QCoro::Task<> diagnostics(std::shared_ptr<cloud::Container> container, Log log);

} // namespace velmor::cloudlog
