#pragma once

#include "model/SpecialKey.h"

#include <QHash>
#include <QString>

#include <cstdint>

namespace velmor {

// Lower-case key name ("w", "return", "\\") → macOS virtual key code of the ANSI
// layout. "<" and ">" share the codes of "," and ".". Built once, never changes.
const QHash<QString, std::uint16_t>& keyCodesByName();

// Special key → virtual key code; function keys only from F1 to F12.
const QHash<SpecialKey, std::uint16_t>& specialKeyCodes();

} // namespace velmor
