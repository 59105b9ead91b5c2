#pragma once

#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "store/LoadResult.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace velmor {

// Words for what a downloaded set of profiles changes against the local one:
// profiles added, updated and removed (matched by id), button mappings changed
// inside user profiles present on both sides, and a new active profile. Reads
// its arguments only.
class SyncChangeSummary {
public:
    SyncChangeSummary() = delete;

    struct Notice {
        QString title;
        QString body;
        bool operator==(const Notice&) const = default;
    };

    // One button of one device inside a user profile's mappings.
    struct MappingKey {
        QString deviceId;
        QString buttonId;
        bool operator==(const MappingKey&) const = default;
    };

    struct MappingChange {
        // The user profile's name as the incoming side has it.
        QString profileName;
        QString detail;
    };

    // Names of the profiles added, updated and removed, each list in plain string order.
    struct NameChanges {
        QStringList added;
        QStringList updated;
        QStringList removed;
    };

    // None when nothing that the summary looks at differs.
    static std::optional<Notice> summarize(const LoadResult& current, const LoadResult& incoming);

    static NameChanges pacsProfileChanges(const QList<PacsProfile>& current, const QList<PacsProfile>& incoming);
    // A profile added under the name of one removed counts as that one, updated
    // unless equal in all but ids; the PACS lists name the tools of the mappings.
    static NameChanges userProfileChanges(const QList<UserProfile>& current, const QList<UserProfile>& incoming,
                                          const QList<PacsProfile>& currentPacs = {},
                                          const QList<PacsProfile>& incomingPacs = {});
    // Trimmed, blanks dropped, localized order, at most three names then " +N more".
    static QString formatNameList(const QStringList& names);
    static QStringList mappingChangeLines(const LoadResult& from, const LoadResult& to);
    // A later mapping of the same key replaces an earlier one.
    static QHash<MappingKey, ButtonMapping> mappingsByKey(const QList<ButtonMapping>& mappings);
    static std::optional<QString> toolName(const QUuid& toolId, const QUuid& pacsProfileId,
                                           const QHash<QUuid, PacsProfile>& primary,
                                           const QHash<QUuid, PacsProfile>& fallback);
    // "Button " and the built-in template's label, else the button id.
    static QString buttonDisplayName(const QString& deviceId, const QString& buttonId);
};

size_t qHash(const SyncChangeSummary::MappingKey& key, size_t seed = 0) noexcept;

} // namespace velmor
