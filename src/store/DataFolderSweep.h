#pragma once

#include <QString>
#include <QStringList>

namespace velmor {

// Removes what writes of Velmor processes that no longer run left behind (killed
// while writing): the temporary files in the data folder `folder`, and beside the
// files elsewhere that links in it lead to, those of the linked file's name only.
// A file another running process may still write stays. Returns the paths removed.
QStringList sweepDataFolder(const QString& folder);

} // namespace velmor
