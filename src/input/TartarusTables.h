#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>

namespace velmor {

// The Tartarus keypads report their keys as keyboard usages (page 7) and their
// wheel button as button 3 (page 9). Usage key = page << 16 | usage.
const QHash<std::uint32_t, QString>& tartarusUsageMap();

// The factory output of each key: bare keyboard usage to the virtual key code
// the keypad types when nothing holds it back.
const QHash<std::uint32_t, std::uint16_t>& tartarusUsageToKeycode();

// Every key code of the table above.
const QSet<std::uint16_t>& tartarusKeycodes();

} // namespace velmor
