#pragma once

#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "ui/shared/Prompter.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace velmor {

// What deleting one PACS profile takes with it, worked out from the stored lists
// the way ProfileStore::deletePacsProfile applies it: the profile's tools go, and
// the user profiles bound to it move to the first other PACS profile, keeping
// only the mappings whose tool has a namesake there.
struct PacsDeletion {
    struct BoundUser {
        QString name;
        qsizetype mappings = 0;
        qsizetype kept = 0;
    };

    QUuid pacsId;
    QString name;
    qsizetype toolCount = 0;
    QString fallbackName;
    QList<BoundUser> users; // in the store's order

    // None when the profile is not stored or is the only one (nothing would be deleted).
    static std::optional<PacsDeletion> of(const QUuid& pacsId, const QList<PacsProfile>& pacsProfiles,
                                          const QList<UserProfile>& userProfiles);

    // "Delete PACS?", naming all of the above, with a destructive "Delete" and "Cancel".
    Prompter::Question question() const;
};

} // namespace velmor
