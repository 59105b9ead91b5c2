#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace velmor {

// A non-character key of the built-in shortcuts: arrows, page keys, function
// keys (with their number), Return, Space and Tab. It has no stored form.
class SpecialKey {
public:
    enum class Kind : std::uint8_t {
        arrowUp,
        arrowDown,
        arrowLeft,
        arrowRight,
        pageUp,
        pageDown,
        functionKey,
        returnKey,
        space,
        tab,
    };

    static const SpecialKey arrowUp;
    static const SpecialKey arrowDown;
    static const SpecialKey arrowLeft;
    static const SpecialKey arrowRight;
    static const SpecialKey pageUp;
    static const SpecialKey pageDown;
    static const SpecialKey returnKey;
    static const SpecialKey space;
    static const SpecialKey tab;
    static constexpr SpecialKey functionKey(std::int64_t number) { return SpecialKey(Kind::functionKey, number); }

    constexpr Kind kind() const { return kind_; }
    // The function-key number; 0 for every other kind.
    constexpr std::int64_t functionNumber() const { return number_; }

    // The text a shortcut shows for the key: "↑", "PageUp", "F11", "⏎", "␣", "⇥" …
    QString keyText() const;

    constexpr bool operator==(const SpecialKey&) const = default;

private:
    constexpr SpecialKey(Kind kind, std::int64_t number) : kind_(kind), number_(kind == Kind::functionKey ? number : 0) {}

    Kind kind_;
    std::int64_t number_;
};

inline constexpr SpecialKey SpecialKey::arrowUp{Kind::arrowUp, 0};
inline constexpr SpecialKey SpecialKey::arrowDown{Kind::arrowDown, 0};
inline constexpr SpecialKey SpecialKey::arrowLeft{Kind::arrowLeft, 0};
inline constexpr SpecialKey SpecialKey::arrowRight{Kind::arrowRight, 0};
inline constexpr SpecialKey SpecialKey::pageUp{Kind::pageUp, 0};
inline constexpr SpecialKey SpecialKey::pageDown{Kind::pageDown, 0};
inline constexpr SpecialKey SpecialKey::returnKey{Kind::returnKey, 0};
inline constexpr SpecialKey SpecialKey::space{Kind::space, 0};
inline constexpr SpecialKey SpecialKey::tab{Kind::tab, 0};

size_t qHash(const SpecialKey& key, size_t seed = 0) noexcept;

} // namespace velmor
