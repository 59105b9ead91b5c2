#pragma once

#include <QList>

#include <cstdint>
#include <optional>

namespace velmor::keys {

// The evdev KEY_* code that types the same key as a macOS virtual key code
// (ANSI layout positions), or none for codes without a Linux key.
std::optional<std::uint16_t> linuxKeyCode(std::uint16_t macKeyCode);

// Every evdev key code the table can produce, ascending (what the virtual keyboard declares).
QList<std::uint16_t> mappedLinuxKeyCodes();

} // namespace velmor::keys
