#pragma once

#include "platform/TemporaryFolders.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace velmor {

struct SweptDataFolder {
    // A copy of `file` that a write was keeping aside when it stopped, moved to a name
    // of its own (`kept`: "profiles.json.external-2", …) since the file holds other
    // bytes now: the user is told where it is.
    struct KeptCopy {
        QString file;
        QString kept;
        bool operator==(const KeptCopy&) const = default;
    };
    // The paths removed.
    QStringList removed;
    QList<KeptCopy> kept;
};

// Removes what writes of Velmor processes that no longer run left behind (killed
// while writing): the temporary files in the data folder `folder`, and beside the
// files elsewhere that the user's own links at the files one may link (profiles.json,
// its backup, layout_overrides.json, custom_usages.json) lead to, those of the linked
// file's very name only. No other link leads the sweep out of the folder.
// A file another running process may still write stays. At the fixed temporary
// names earlier versions wrote through ("profiles.json.tmp", "….backup.tmp", …) a
// link goes whatever runs, never followed, a copy being kept aside as KeptCopy
// says, and another regular file while no other velmor runs; anything else there
// stays.
SweptDataFolder sweepDataFolder(const QString& folder,
                                const temporaryFolders::Processes& processes = temporaryFolders::Processes::system());

} // namespace velmor
