#include "core/CloudKitEntitlements.h"

#include "platform/Entitlements.h"

#include <QJsonArray>

namespace velmor {

namespace {

// The value as a list of strings; none when it is not an array of strings only.
std::optional<QStringList> stringList(const std::optional<QJsonValue>& value)
{
    if (!value || !value->isArray())
        return std::nullopt;
    QStringList strings;
    for (const QJsonValue& element : value->toArray()) {
        if (!element.isString())
            return std::nullopt;
        strings.append(element.toString());
    }
    return strings;
}

} // namespace

bool hasCloudKitEntitlements()
{
    const std::optional<Entitlements> entitlements = Entitlements::current();
    if (!entitlements)
        return false;
    const auto containers =
        stringList(entitlements->value(QStringLiteral("com.apple.developer.icloud-container-identifiers")));
    if (containers && !containers->isEmpty())
        return true;
    const auto services = stringList(entitlements->value(QStringLiteral("com.apple.developer.icloud-services")));
    return services && services->contains(QStringLiteral("CloudKit"));
}

} // namespace velmor
