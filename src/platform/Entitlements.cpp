#include "platform/Entitlements.h"

#include <QFile>
#include <QJsonDocument>
#include <QMutex>

namespace velmor {

namespace {
QMutex overrideMutex;
bool overridden = false;
std::optional<Entitlements> overrideValue;

std::optional<Entitlements> compiledIn()
{
    QFile file(QStringLiteral(":/entitlements/Velmor.entitlements.json"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return std::nullopt;
    return Entitlements(document.object());
}
} // namespace

std::optional<QJsonValue> Entitlements::value(const QString& key) const
{
    const QJsonValue v = values_.value(key);
    if (v.isUndefined())
        return std::nullopt;
    return v;
}

std::optional<Entitlements> Entitlements::current()
{
    {
        const QMutexLocker lock(&overrideMutex);
        if (overridden)
            return overrideValue;
    }
    return compiledIn();
}

void Entitlements::setCurrent(std::optional<Entitlements> entitlements)
{
    const QMutexLocker lock(&overrideMutex);
    overridden = true;
    overrideValue = std::move(entitlements);
}

void Entitlements::resetCurrent()
{
    const QMutexLocker lock(&overrideMutex);
    overridden = false;
    overrideValue.reset();
}

} // namespace velmor
