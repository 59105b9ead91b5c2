#pragma once

#include <QString>

namespace velmor {

// The icon sync's texts for a refused save or fetch and for two spellings of one icon.

// "The icon “X” could not be synced: …" with what the user can do about the cause; a
// reason that names the icon's record already stands as it is.
QString iconCloudRefusalText(const QString& recordName, const QString& reason);
// Two files of one icon whose extensions differ only in letter case hold different drawings.
QString iconSpellingsText(const QString& synced, const QString& other, const QString& folder);

} // namespace velmor
