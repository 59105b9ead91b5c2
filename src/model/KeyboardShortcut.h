#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace velmor {

class SpecialKey;

// The key a tool sends to the front application: a macOS virtual key code, the
// text the user sees for it, and the modifier keys held with it.
struct KeyboardShortcut {
    // Option set over a 64-bit raw value; bits without a name are kept as they are.
    class Modifiers {
    public:
        using RawValue = std::int64_t;

        constexpr Modifiers() = default;
        constexpr explicit Modifiers(RawValue raw) : rawValue_(raw) {}
        constexpr Modifiers(std::initializer_list<Modifiers> members)
        {
            for (const Modifiers m : members)
                rawValue_ |= m.rawValue_;
        }

        static const Modifiers shift;
        static const Modifiers control;
        static const Modifiers option;
        static const Modifiers command;

        // From a keyboard-event flags word (0x20000 shift … 0x100000 command).
        static Modifiers fromEventFlags(std::uint64_t flags);

        constexpr RawValue rawValue() const { return rawValue_; }
        constexpr bool isEmpty() const { return rawValue_ == 0; }
        constexpr bool contains(Modifiers m) const { return (rawValue_ & m.rawValue_) == m.rawValue_; }
        constexpr bool isSubset(Modifiers of) const { return (rawValue_ & ~of.rawValue_) == 0; }
        constexpr bool isSuperset(Modifiers of) const { return of.isSubset(*this); }
        constexpr bool isDisjoint(Modifiers with) const { return (rawValue_ & with.rawValue_) == 0; }

        constexpr Modifiers operator|(Modifiers o) const { return Modifiers(rawValue_ | o.rawValue_); }
        constexpr Modifiers operator&(Modifiers o) const { return Modifiers(rawValue_ & o.rawValue_); }
        constexpr Modifiers operator^(Modifiers o) const { return Modifiers(rawValue_ ^ o.rawValue_); }
        constexpr Modifiers operator-(Modifiers o) const { return Modifiers(rawValue_ & ~o.rawValue_); }
        Modifiers& operator|=(Modifiers o) { rawValue_ |= o.rawValue_; return *this; }
        Modifiers& operator&=(Modifiers o) { rawValue_ &= o.rawValue_; return *this; }
        Modifiers& operator^=(Modifiers o) { rawValue_ ^= o.rawValue_; return *this; }
        Modifiers& operator-=(Modifiers o) { rawValue_ &= ~o.rawValue_; return *this; }

        // True when `m` was not yet in the set.
        bool insert(Modifiers m);
        // The members of `m` that were in the set, or none.
        std::optional<Modifiers> remove(Modifiers m);
        // Adds `m` in any case; returns the members of `m` that were already in the set, or none.
        std::optional<Modifiers> update(Modifiers m);

        // "⌃⌥⇧⌘" for the members set, always in that order.
        QString symbols() const;
        // Writes the same glyphs (at most four) at `out` and returns the end.
        QChar* writeSymbols(QChar* out) const;

        constexpr bool operator==(const Modifiers&) const = default;

        QJsonValue toJson() const { return QJsonValue(static_cast<qint64>(rawValue_)); }
        static Modifiers fromJson(const QJsonValue& value, const QString& path = {});

    private:
        RawValue rawValue_ = 0;
    };

    std::uint16_t keyCode = 0;
    QString key;
    Modifiers modifiers;

    // From a key name of keyCodesByName() in any letter case; the name is kept as
    // the key text unchanged. None when the name is not in the table.
    static std::optional<KeyboardShortcut> fromKeyName(const QString& keyName, Modifiers modifiers = Modifiers(0));
    // From a special key of specialKeyCodes(), with its own key text; none when
    // the table has no code for it (function keys beyond F12).
    static std::optional<KeyboardShortcut> fromSpecialKey(const SpecialKey& specialKey, Modifiers modifiers = Modifiers(0));

    // Modifier glyphs followed by the upper-cased key text ("⌃⇧S").
    QString displayText() const;

    // Key texts compare as Unicode text: canonically equivalent forms are equal.
    bool operator==(const KeyboardShortcut& other) const;

    QJsonObject toJson() const;
    static KeyboardShortcut fromJson(const QJsonValue& value, const QString& path = {});
};

size_t qHash(const KeyboardShortcut::Modifiers& modifiers, size_t seed = 0) noexcept;
size_t qHash(const KeyboardShortcut& shortcut, size_t seed = 0) noexcept;

} // namespace velmor
