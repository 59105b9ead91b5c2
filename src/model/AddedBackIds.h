#pragma once

#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

namespace velmor {

// Ids of the built-in PACS profiles and tools that normalisation adds back. They are
// derived from names and from what is stored, never drawn, so that machines that add
// back the same built-in end with the same profile, tool for tool. A fresh seed keeps
// drawn ids: fresh installs share none.
class AddedBackIds {
public:
    AddedBackIds() = delete;

    // The id of the `copy`-th (from 1) built-in profile of this name, in any case.
    static QUuid profileId(const QString& name, int copy);
    // The id of the `occurrence`-th (from 1) tool of this name, in any case, in the profile.
    static QUuid toolId(const QUuid& profileId, const QString& toolName, int occurrence);
    // The derived id of each of `tools`, in order, as if they were the profile's tools.
    static QList<QUuid> toolIds(const QUuid& profileId, const QList<RadiologyTool>& tools);

    // `builtIn` under the first copy's id that `takenIds` does not hold, its tools
    // under their derived ids.
    static PacsProfile addedBack(PacsProfile builtIn, const QSet<QUuid>& takenIds);
    // True when `id` is one of the first `copies` copies of a built-in profile.
    static bool isProfileId(const QUuid& id, int copies);
};

} // namespace velmor
