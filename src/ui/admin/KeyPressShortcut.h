#pragma once

#include "model/KeyboardShortcut.h"

#include <QString>
#include <Qt>

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace velmor {

// The parts of a key event the shortcut recorder reads.
struct KeyPress {
    // The platform's key number: on X11 and Wayland the evdev code plus 8; 0 when unknown.
    quint32 nativeScanCode = 0;
    int key = 0; // Qt::Key
    Qt::KeyboardModifiers modifiers;
    QString text;

    static KeyPress from(const QKeyEvent& event);
};

// What one key press means to a recorder that is listening.
struct RecordedKey {
    enum class Kind {
        ignore, // a modifier key alone, or a key no shortcut can send: keep listening
        cancel, // Escape: stop listening, keep the shortcut
        take,   // `shortcut` is the new shortcut
    };
    Kind kind = Kind::ignore;
    KeyboardShortcut shortcut;
};

// The key's macOS virtual key code from its place on the keyboard (the scan code,
// through the key output's table in reverse), else from the Qt key; the text
// the key shows without modifiers; and the held Shift, Ctrl, Alt and Meta.
RecordedKey recordKeyPress(const KeyPress& press);

// The virtual key code of the key at that scan code, or none.
std::optional<std::uint16_t> macKeyCodeForScanCode(quint32 nativeScanCode);
// The virtual key code of a Qt key on the ANSI layout, or none.
std::optional<std::uint16_t> macKeyCodeForQtKey(int key);

} // namespace velmor
