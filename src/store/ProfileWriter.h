#pragma once

#include "model/BuiltInRemovals.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "platform/SerialQueue.h"
#include "store/ProfilesFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QUuid>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace velmor {

// The profiles as one document is written from. Copying one is cheap: the lists
// share their data with the store's until either side changes them.
struct ProfileSnapshot {
    QList<PacsProfile> pacs;
    QList<UserProfile> users;
    QUuid activePacs;
    QUuid activeUser;
    BuiltInRemovals removedBuiltIns = {};

    // Same lists (shared, or equal value by value) and the same active ids.
    bool operator==(const ProfileSnapshot& other) const;
    QByteArray encode(qsizetype expectedSize = 0) const;
};

// Writes profiles.json on a serial queue of its own, so that the window's thread
// never waits for the encoder or the disk. Writes reach the disk in the order they
// were handed over; the ones handed over while an earlier write still waits for
// its turn go in one write of the latest snapshot. Each hand-over's outcome arrives
// on the main queue, in hand-over order. Once constructed, the profiles file is
// used only through the writer.
class ProfileWriter {
public:
    struct Outcome {
        ProfilesFile::SaveOutcome outcome = ProfilesFile::SaveOutcome::failed;
        QList<ProfilesFile::Notice> notices;
        // What profiles.json holds after a write that worked, and its bytes.
        ProfileSnapshot snapshot;
        QByteArray document;
        // Versions someone else wrote, kept aside by the write; remembered as untold
        // until the notices reach the user.
        QStringList keptExternal;
        // The write failed on a data folder that cannot be written (ProfilesFile::SaveResult).
        std::optional<QString> unwritable;
    };
    // Runs on the main queue.
    using Done = std::function<void(const Outcome&)>;

    explicit ProfileWriter(ProfilesFile& file);
    // Waits for the writes handed over.
    ~ProfileWriter();
    ProfileWriter(const ProfileWriter&) = delete;
    ProfileWriter& operator=(const ProfileWriter&) = delete;

    // Writes `snapshot` unless profiles.json already holds it; `changedAt` dates the file.
    void write(ProfileSnapshot snapshot, const std::optional<QDateTime>& changedAt, Done done);

    // Reads profiles.json (ProfilesFile::load) after every write handed over.
    ProfilesFile::Loaded load(const ProfilesFile::Classifier& decode);
    // The document just loaded is the encoding of `snapshot`: saving that snapshot
    // needs no encoding to find it written already.
    void noteLoaded(ProfileSnapshot snapshot);
    // Returns once every write handed over is on disk (or failed).
    void flush();
    // Lets go of a document and its profiles on the writer's queue: the pages of
    // many megabytes go back there, not on the window's thread.
    void letGo(ProfileSnapshot snapshot, QByteArray document);

private:
    struct Pending {
        ProfileSnapshot snapshot;
        std::optional<QDateTime> changedAt;
        QList<Done> done;
    };

    // On the queue: takes the pending snapshot and writes it.
    void writePending();
    Outcome writeNow(const ProfileSnapshot& snapshot, const std::optional<QDateTime>& changedAt);

    ProfilesFile& file_;
    std::mutex mutex_;
    std::optional<Pending> pending_;
    // Queue-side: what profiles.json holds, when known without encoding.
    std::optional<ProfileSnapshot> written_;
    std::unique_ptr<SerialQueue> queue_;
};

} // namespace velmor
