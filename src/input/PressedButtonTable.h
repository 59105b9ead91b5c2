#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>

namespace velmor {

// Where a held button was reported: the device's template id, the usage key
// (usage page in the high 16 bits, usage in the low 16), and for keyboard-array
// slots the element's cookie. An absent cookie equals only an absent cookie.
struct PressedUsageKey {
    QString deviceId;
    std::uint32_t usageKey = 0;
    std::optional<std::int64_t> elementCookie;

    bool operator==(const PressedUsageKey&) const = default;
    bool operator<(const PressedUsageKey& other) const;
};

// The buttons held right now, by where they were reported. It makes a press
// repeated through several routes count once, gives a key that changes its
// button the old button's release, and lets a device's buttons be released as
// a whole when it goes away. Not synchronised: its owner keeps it on one queue.
class PressedButtonTable {
public:
    struct Recorded {
        // The same button was already held under the key: nothing changed.
        bool same = false;
        // The different button the key held before, now replaced.
        std::optional<QString> replaced;
    };

    Recorded record(const PressedUsageKey& key, const QString& buttonId);
    // The button the key held, now removed.
    std::optional<QString> remove(const PressedUsageKey& key);
    // Removes every entry of the device; their buttons in table order.
    QStringList removeDevice(const QString& deviceId);

    bool isEmpty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

private:
    std::map<PressedUsageKey, QString> entries_;
};

} // namespace velmor
