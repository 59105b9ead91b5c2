#include "ui/admin/KeyPressShortcut.h"

#include "model/KeyTables.h"
#include "model/SpecialKey.h"
#include "platform/keys/LinuxKeyCodes.h"

#include <QHash>
#include <QKeyEvent>

#include <array>

namespace velmor {

namespace {

// X11 and Wayland number keys as the kernel does, plus 8.
constexpr quint32 scanCodeOffset = 8;

// Virtual key codes of the modifier keys themselves (and Caps Lock): pressing one
// alone only changes what is held.
bool isModifierKeyCode(std::uint16_t code) { return code >= 0x36 && code <= 0x3E; }

bool isModifierQtKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// Evdev key code → virtual key code: the key output's table read backwards.
const QHash<std::uint16_t, std::uint16_t>& macCodesByEvdev()
{
    static const QHash<std::uint16_t, std::uint16_t> table = [] {
        QHash<std::uint16_t, std::uint16_t> t;
        for (std::uint16_t mac = 0; mac < 128; ++mac)
            if (const auto evdev = keys::linuxKeyCode(mac))
                t.insert(*evdev, mac);
        return t;
    }();
    return table;
}

// Keys without a character, by Qt key.
const QHash<int, std::uint16_t>& macCodesByQtKey()
{
    static const QHash<int, std::uint16_t> table{
        {Qt::Key_Return, 36},    {Qt::Key_Enter, 76},     {Qt::Key_Tab, 48},       {Qt::Key_Backtab, 48},
        {Qt::Key_Space, 49},     {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53},    {Qt::Key_Delete, 117},
        {Qt::Key_Home, 115},     {Qt::Key_End, 119},      {Qt::Key_PageUp, 116},   {Qt::Key_PageDown, 121},
        {Qt::Key_Left, 123},     {Qt::Key_Right, 124},    {Qt::Key_Down, 125},     {Qt::Key_Up, 126},
        {Qt::Key_Insert, 114},   {Qt::Key_Help, 114},     {Qt::Key_NumLock, 71},   {Qt::Key_Clear, 71},
        {Qt::Key_Menu, 110},     {Qt::Key_VolumeUp, 72},  {Qt::Key_VolumeDown, 73}, {Qt::Key_VolumeMute, 74},
        {Qt::Key_F1, 122},       {Qt::Key_F2, 120},       {Qt::Key_F3, 99},        {Qt::Key_F4, 118},
        {Qt::Key_F5, 96},        {Qt::Key_F6, 97},        {Qt::Key_F7, 98},        {Qt::Key_F8, 100},
        {Qt::Key_F9, 101},       {Qt::Key_F10, 109},      {Qt::Key_F11, 103},      {Qt::Key_F12, 111},
        {Qt::Key_F13, 105},      {Qt::Key_F14, 107},      {Qt::Key_F15, 113},      {Qt::Key_F16, 106},
        {Qt::Key_F17, 64},       {Qt::Key_F18, 79},       {Qt::Key_F19, 80},       {Qt::Key_F20, 90},
    };
    return table;
}

// Keypad keys, by Qt key, when the event carries the keypad modifier.
const QHash<int, std::uint16_t>& keypadCodesByQtKey()
{
    static const QHash<int, std::uint16_t> table{
        {Qt::Key_0, 0x52}, {Qt::Key_1, 0x53}, {Qt::Key_2, 0x54}, {Qt::Key_3, 0x55}, {Qt::Key_4, 0x56},
        {Qt::Key_5, 0x57}, {Qt::Key_6, 0x58}, {Qt::Key_7, 0x59}, {Qt::Key_8, 0x5B}, {Qt::Key_9, 0x5C},
        {Qt::Key_Period, 0x41}, {Qt::Key_Asterisk, 0x43}, {Qt::Key_Plus, 0x45}, {Qt::Key_Slash, 0x4B},
        {Qt::Key_Minus, 0x4E}, {Qt::Key_Equal, 0x51}, {Qt::Key_Enter, 0x4C},
    };
    return table;
}

// A shifted character of the ANSI layout → the character on the same key.
QChar unshiftedAnsi(QChar c)
{
    static const QHash<QChar, QChar> table{
        {'!', '1'}, {'@', '2'}, {'#', '3'}, {'$', '4'}, {'%', '5'}, {'^', '6'}, {'&', '7'},
        {'*', '8'}, {'(', '9'}, {')', '0'}, {'_', '-'}, {'+', '='}, {'{', '['}, {'}', ']'},
        {'|', '\\'}, {':', ';'}, {'"', '\''}, {'<', ','}, {'>', '.'}, {'?', '/'}, {'~', '`'},
    };
    return table.value(c, c);
}

// The character each virtual key code types unshifted on the ANSI layout.
const QHash<std::uint16_t, QString>& ansiTextByMacCode()
{
    static const QHash<std::uint16_t, QString> table = [] {
        QHash<std::uint16_t, QString> t;
        for (auto [name, code] : keyCodesByName().asKeyValueRange())
            if (name.size() == 1 && name != QLatin1String("<") && name != QLatin1String(">"))
                t.insert(code, name);
        return t;
    }();
    return table;
}

// What keys without a character show, as the built-in shortcuts write them.
QString specialKeyText(std::uint16_t code)
{
    for (auto [key, keyCode] : specialKeyCodes().asKeyValueRange())
        if (keyCode == code)
            return key.keyText();
    static const QHash<std::uint16_t, QString> more{
        {105, "F13"}, {107, "F14"}, {113, "F15"}, {106, "F16"}, {64, "F17"}, {79, "F18"}, {80, "F19"},
        {90, "F20"},  {51, "⌫"},    {117, "⌦"},   {115, "↖"},   {119, "↘"},  {76, "⌤"},
    };
    return more.value(code);
}

bool isPrintable(QChar c) { return c.isPrint() && !c.isSpace(); }

// The key's character without Shift: letters in lower case, other keys as the
// user's layout types them unshifted when that can be known, else as on ANSI.
QString keyText(const KeyPress& press, std::uint16_t code)
{
    if (const QString special = specialKeyText(code); !special.isEmpty())
        return special;
    const bool shifted = press.modifiers.testFlag(Qt::ShiftModifier);
    if (press.key > 0 && press.key <= 0xFF) {
        const QChar qtChar(press.key);
        if (qtChar.isLetter())
            return QString(qtChar.toLower());
        if (!shifted && isPrintable(qtChar))
            return QString(qtChar);
    }
    if (!shifted && press.text.size() == 1 && isPrintable(press.text.front()))
        return press.text;
    if (const QString ansi = ansiTextByMacCode().value(code); !ansi.isEmpty())
        return ansi;
    return {};
}

KeyboardShortcut::Modifiers modifiersOf(Qt::KeyboardModifiers held)
{
    using M = KeyboardShortcut::Modifiers;
    M modifiers;
    if (held.testFlag(Qt::ShiftModifier))
        modifiers |= M::shift;
    if (held.testFlag(Qt::ControlModifier))
        modifiers |= M::control;
    if (held.testFlag(Qt::AltModifier))
        modifiers |= M::option;
    if (held.testFlag(Qt::MetaModifier))
        modifiers |= M::command;
    return modifiers;
}

} // namespace

KeyPress KeyPress::from(const QKeyEvent& event)
{
    return {event.nativeScanCode(), event.key(), event.modifiers(), event.text()};
}

std::optional<std::uint16_t> macKeyCodeForScanCode(quint32 nativeScanCode)
{
    if (nativeScanCode <= scanCodeOffset || nativeScanCode - scanCodeOffset > 0xFFFF)
        return std::nullopt;
    const auto& table = macCodesByEvdev();
    const auto it = table.constFind(static_cast<std::uint16_t>(nativeScanCode - scanCodeOffset));
    return it == table.constEnd() ? std::nullopt : std::optional<std::uint16_t>(*it);
}

std::optional<std::uint16_t> macKeyCodeForQtKey(int key)
{
    if (const auto it = macCodesByQtKey().constFind(key); it != macCodesByQtKey().constEnd())
        return *it;
    if (key <= 0 || key > 0xFF)
        return std::nullopt;
    const QString name(unshiftedAnsi(QChar(key).toLower()));
    if (const auto it = keyCodesByName().constFind(name); it != keyCodesByName().constEnd())
        return *it;
    return std::nullopt;
}

RecordedKey recordKeyPress(const KeyPress& press)
{
    if (isModifierQtKey(press.key))
        return {};
    std::optional<std::uint16_t> code = macKeyCodeForScanCode(press.nativeScanCode);
    if (!code && press.modifiers.testFlag(Qt::KeypadModifier)) {
        if (const auto it = keypadCodesByQtKey().constFind(press.key); it != keypadCodesByQtKey().constEnd())
            code = *it;
    }
    if (!code)
        code = macKeyCodeForQtKey(press.key);
    if (!code || isModifierKeyCode(*code))
        return {};
    if (*code == 53)
        return {RecordedKey::Kind::cancel, {}};
    return {RecordedKey::Kind::take, KeyboardShortcut{*code, keyText(press, *code), modifiersOf(press.modifiers)}};
}

} // namespace velmor
