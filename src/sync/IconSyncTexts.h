#pragma once

#include <QString>

namespace velmor {

// The icon sync's texts for a refused save or fetch and for two spellings of one icon.

// An icon's name in quotes, cut to its room but neither escaped nor isolated: the alert
// and the log show the message's controls themselves, and would show marks put here as
// escapes.
QString quotedIconName(const QString& name);

// "The icon “X” could not be synced: …" with what the user can do about the cause; a
// reason that names the icon's record already stands as it is.
QString iconCloudRefusalText(const QString& recordName, const QString& reason);
// Two files of one icon whose extensions differ only in letter case hold different drawings.
QString iconSpellingsText(const QString& synced, const QString& other, const QString& folder);

} // namespace velmor
