#include "input/PressedButtonTable.h"

#include <tuple>

namespace velmor {

bool PressedUsageKey::operator<(const PressedUsageKey& other) const
{
    if (const int order = QString::compare(deviceId, other.deviceId); order != 0)
        return order < 0;
    return std::tie(usageKey, elementCookie) < std::tie(other.usageKey, other.elementCookie);
}

PressedButtonTable::Recorded PressedButtonTable::record(const PressedUsageKey& key, const QString& buttonId)
{
    auto [it, inserted] = entries_.try_emplace(key, buttonId);
    if (inserted)
        return {};
    if (it->second == buttonId)
        return {.same = true, .replaced = std::nullopt};
    return {.same = false, .replaced = std::exchange(it->second, buttonId)};
}

std::optional<QString> PressedButtonTable::remove(const PressedUsageKey& key)
{
    const auto it = entries_.find(key);
    if (it == entries_.end())
        return std::nullopt;
    QString buttonId = std::move(it->second);
    entries_.erase(it);
    return buttonId;
}

QStringList PressedButtonTable::removeDevice(const QString& deviceId)
{
    QStringList released;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->first.deviceId == deviceId) {
            released.append(it->second);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    return released;
}

} // namespace velmor
