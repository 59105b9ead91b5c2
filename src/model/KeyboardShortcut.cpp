#include "model/KeyboardShortcut.h"

#include "model/KeyTables.h"
#include "model/SpecialKey.h"

#include "platform/Json.h"
#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

const KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::shift{1};
const KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::control{2};
const KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::option{4};
const KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::command{8};

KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::fromEventFlags(std::uint64_t flags)
{
    Modifiers result;
    if (flags & 0x20000)
        result |= shift;
    if (flags & 0x40000)
        result |= control;
    if (flags & 0x80000)
        result |= option;
    if (flags & 0x100000)
        result |= command;
    return result;
}

bool KeyboardShortcut::Modifiers::insert(Modifiers m)
{
    const bool isNew = !contains(m);
    rawValue_ |= m.rawValue_;
    return isNew;
}

std::optional<KeyboardShortcut::Modifiers> KeyboardShortcut::Modifiers::remove(Modifiers m)
{
    const Modifiers removed = *this & m;
    rawValue_ &= ~m.rawValue_;
    if (removed.isEmpty())
        return std::nullopt;
    return removed;
}

std::optional<KeyboardShortcut::Modifiers> KeyboardShortcut::Modifiers::update(Modifiers m)
{
    const Modifiers present = *this & m;
    rawValue_ |= m.rawValue_;
    if (present.isEmpty())
        return std::nullopt;
    return present;
}

QString KeyboardShortcut::Modifiers::symbols() const
{
    QChar glyphs[4];
    return QString(glyphs, writeSymbols(glyphs) - glyphs);
}

QChar* KeyboardShortcut::Modifiers::writeSymbols(QChar* out) const
{
    if (contains(control))
        *out++ = QChar(0x2303);
    if (contains(option))
        *out++ = QChar(0x2325);
    if (contains(shift))
        *out++ = QChar(0x21E7);
    if (contains(command))
        *out++ = QChar(0x2318);
    return out;
}

KeyboardShortcut::Modifiers KeyboardShortcut::Modifiers::fromJson(const QJsonValue& value, const QString& path)
{
    return Modifiers(json::toInteger<RawValue>(value, path));
}

std::optional<KeyboardShortcut> KeyboardShortcut::fromKeyName(const QString& keyName, Modifiers modifiers)
{
    const auto& table = keyCodesByName();
    const auto found = table.constFind(text::lowercased(keyName));
    if (found == table.cend())
        return std::nullopt;
    return KeyboardShortcut{*found, keyName, modifiers};
}

std::optional<KeyboardShortcut> KeyboardShortcut::fromSpecialKey(const SpecialKey& specialKey, Modifiers modifiers)
{
    const auto& table = specialKeyCodes();
    const auto found = table.constFind(specialKey);
    if (found == table.cend())
        return std::nullopt;
    return KeyboardShortcut{*found, specialKey.keyText(), modifiers};
}

QString KeyboardShortcut::displayText() const { return modifiers.symbols() + key.toUpper(); }

bool KeyboardShortcut::operator==(const KeyboardShortcut& other) const
{
    return keyCode == other.keyCode && text::canonicallyEqual(key, other.key) && modifiers == other.modifiers;
}

QJsonObject KeyboardShortcut::toJson() const
{
    return json::ObjectWriter()
        .set("keyCode", static_cast<int>(keyCode))
        .set("key", key)
        .set("modifiers", modifiers.toJson())
        .take();
}

KeyboardShortcut KeyboardShortcut::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    KeyboardShortcut shortcut;
    shortcut.keyCode = reader.integer<std::uint16_t>("keyCode");
    shortcut.key = reader.string("key");
    shortcut.modifiers = reader.decode<Modifiers>("modifiers");
    return shortcut;
}

size_t qHash(const KeyboardShortcut::Modifiers& modifiers, size_t seed) noexcept
{
    return ::qHash(static_cast<qint64>(modifiers.rawValue()), seed);
}

size_t qHash(const KeyboardShortcut& shortcut, size_t seed) noexcept
{
    return qHashMulti(seed, shortcut.keyCode, text::canonicalForm(shortcut.key), shortcut.modifiers);
}

} // namespace velmor
