#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace velmor {

// What this build of the application may use (cloud container, push), read from
// a JSON document compiled into the application.
class Entitlements {
public:
    explicit Entitlements(QJsonObject values) : values_(std::move(values)) {}

    // The value of one entitlement, none when absent.
    std::optional<QJsonValue> value(const QString& key) const;

    // The running application's entitlements; none when they cannot be read.
    static std::optional<Entitlements> current();
    // Tests: replace what current() returns (std::nullopt: unreadable); resetCurrent() restores.
    static void setCurrent(std::optional<Entitlements> entitlements);
    static void resetCurrent();

private:
    QJsonObject values_;
};

} // namespace velmor
