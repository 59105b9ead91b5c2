#pragma once

#include "platform/cloud/Record.h"
#include "sync/SyncBase.h"
#include "sync/SyncedRecordTags.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

// Where a profiles record stands against the state this computer last synced. Every
// upload names the records it descends from (the change tags of the record it replaces
// and of that one's ancestors), and the restore it came after; a database gives every
// save a new change tag, so a tag met again is a copy put back. Readers that know none
// of this ignore the fields; a writer that keeps them while it writes other profiles
// (an older build, a hand edit) names an ancestor that is not this computer's state.
namespace velmor::recordLineage {

inline const QString replacesKey = QStringLiteral("replaces");
inline const QString restoresKey = QStringLiteral("restores");
// Enough to see across a long time offline; a record that names more is cut to these.
constexpr qsizetype maxAncestors = 64;
constexpr qsizetype maxSeen = 64;
// A number further beyond every one met than this many uploads is none.
constexpr qint64 maxGenerationStep = 1'000'000;

enum class Descent {
    // The record this computer last synced.
    same,
    // Made over this computer's state (or over one made over it): weighed against the base.
    follows,
    // A copy of a record this computer synced or came from, put back, or one made after a
    // restore that this computer has not taken: it wins, and what it replaces here is kept.
    restore,
    // Made over another state than this computer's (an upload that landed over another's,
    // a writer that kept or reused a number): merged with this computer's without a base.
    apart,
    // It names no history, nor a number that says more (an older Velmor, a hand edit):
    // told by number and date whether it is a copy put back; otherwise merged with this
    // computer's against what this computer changed only, so it removes nothing synced.
    unknown,
};

// The tags the record names, none when it has no such field; the restore it came after.
std::optional<QStringList> replacesOf(const cloud::Record& record);
QString restoresOf(const cloud::Record& record);

// `met`: the records synced long ago, beyond the stamp's few.
Descent descentOf(const cloud::Record& record, const SyncBase::Stamp& synced, const SyncedRecordTags& met = {});
// The tags a stamp names: its record's, the ones synced before it, and their ancestors.
QStringList tagsOf(const SyncBase::Stamp& stamp);

// The record's generation where it can be one against what `synced` met.
std::optional<qint64> plausibleGeneration(const cloud::Record& record, const std::optional<SyncBase::Stamp>& synced);
// The history fields and generation of an upload over `synced` (none: over nothing this
// computer knows), with `current` the record in the cloud where it was fetched.
void stampUpload(cloud::Record& upload, const std::optional<SyncBase::Stamp>& synced,
                 const std::optional<cloud::Record>& current);

// The stamp once `record` (dated `date`) is synced, after `previous`; `restore`: taken as one.
SyncBase::Stamp stampAfter(const QString& account, const cloud::Record& record, const std::optional<QDateTime>& date,
                           const std::optional<SyncBase::Stamp>& previous, bool restore);
// `synced` once this computer goes over `record` with its own document.
SyncBase::Stamp stampOver(const SyncBase::Stamp& synced, const cloud::Record& record);

} // namespace velmor::recordLineage
