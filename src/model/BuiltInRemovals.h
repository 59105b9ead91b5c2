#pragma once

#include "model/PacsProfile.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

namespace velmor {

// The built-ins the user took away, so that normalisation does not add them back:
// built-in PACS profiles by name, and built-in tools by the PACS profile that held
// them (its id) and their name. Renaming counts as taking away. Names are the
// built-ins' own spelling and match in any letter case. Empty for data that never
// lost a built-in, which then stores nothing.
class BuiltInRemovals {
public:
    struct Entry {
        // Null for a PACS profile.
        QUuid pacsProfileId;
        QString name;

        bool operator==(const Entry&) const = default;
    };

    bool isEmpty() const { return entries_.isEmpty(); }
    // In one order, one entry per profile and lower-cased name.
    const QList<Entry>& entries() const { return entries_; }
    bool removesPacsProfile(const QString& name) const;
    bool removesTool(const QUuid& pacsProfileId, const QString& name) const;

    // After a user's edit from `before` to `after`: the built-in profiles and tools
    // the edit took away are added (a tool only from the first profile of a built-in
    // name, the one built-in tools go to), and entries the result makes moot dropped.
    BuiltInRemovals noted(const QList<PacsProfile>& before, const QList<PacsProfile>& after) const;
    // Without the entries `pacs` makes moot: a profile or tool of that name is there,
    // or the profile that lost the tool is gone; and without those that name no
    // built-in profile or tool.
    BuiltInRemovals pruned(const QList<PacsProfile>& pacs) const;
    // Changed apart: an entry added on one side stays, one dropped on one side goes.
    // A side without entries says nothing (an older Velmor's document has no list):
    // the base's stand for it. Without a base (empty), both sides' entries stay.
    // Takes time in proportion to the entries.
    static BuiltInRemovals merged(const BuiltInRemovals& base, const BuiltInRemovals& local,
                                  const BuiltInRemovals& remote);

    // {"pacsProfiles": [names], "tools": [{"name", "pacsProfileId"}]}, lists left out when empty.
    QJsonObject toJson() const;
    static BuiltInRemovals fromJson(const QJsonValue& value, const QString& path = {});

    bool operator==(const BuiltInRemovals&) const = default;

private:
    static BuiltInRemovals from(QList<Entry> entries);
    bool holds(const Entry& entry) const;

    QList<Entry> entries_;
};

} // namespace velmor
