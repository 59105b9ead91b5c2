#pragma once

#include "store/ProfileStore.h"

#include <QStringList>

#include <random>

namespace velmor::test {

// What users made, each with a name no other edit uses: user and PACS profiles,
// tools, and mappings of the device "marks" (by button).
struct Marks {
    QStringList users;
    QStringList pacs;
    QStringList tools;
    QStringList buttons;
    static inline const QString prefix = QStringLiteral("mark-");
    static inline const QString device = QStringLiteral("marks");
    static bool isMarked(const QString& name) { return name.startsWith(prefix); }
};

// Random edits through the store's operations, of two sorts: marks (things
// made, never undone on purpose) and other edits that overlap between machines
// (renames, lighting, the buttons of "tartarus_v2", deletions). The latter
// never take a mark away on the machine that makes them: they delete, rename or
// rebind only what holds no mark there. A mark can then only go when a merge
// drops it.
class MarkedEdits {
public:
    MarkedEdits(ProfileStore& store, std::mt19937& rng, Marks& marks) : store_(store), rng_(rng), marks_(marks) { }

    void apply();

private:
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    template <typename T> T pick(const QList<T>& items) { return items.at(below(int(items.size()))); }
    QString newMark(QStringList& kind);
    bool holdsMarks(const UserProfile& profile) const;
    bool holdsMarks(const PacsProfile& profile) const;
    // Mapped by a mark somewhere, or a mark itself.
    bool isNeeded(const RadiologyTool& tool) const;

    void markUser();
    void markPacs();
    void markTool();
    void markMapping();
    void rename();
    void light();
    void mapNoise();
    void changeTool();
    void deleteSomething();
    void rebind();

    ProfileStore& store_;
    std::mt19937& rng_;
    Marks& marks_;
};

} // namespace velmor::test
