#pragma once

#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "platform/Published.h"
#include "store/FileSystem.h"
#include "store/LoadResult.h"
#include "store/ProfilesFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace velmor {

// The one persistent store of PACS profiles, user profiles and the active ids.
// Lives on the main thread. Every change to a published property reaches its
// observers at once; the outcome of a save (lastSaved, onSave, onError) arrives
// on a later turn of the main queue and is dropped once the store is gone.
class ProfileStore {
public:
    // Receives every user-facing notice: failures, restores, import and export results.
    using ErrorHandler = std::function<void(const QString& title, const QString& message)>;
    // Called after a save that wrote the profiles file, unless that save suppressed it.
    using SaveHandler = std::function<void()>;

    // Loads profiles.json from the data folder (else the bundle's seed, else the
    // built-in profiles), normalises, and saves when needed.
    ProfileStore();
    // The same, with other file access (tests inject failures through it).
    explicit ProfileStore(std::shared_ptr<FileSystem> fileSystem);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    Published<QList<PacsProfile>> pacsProfiles;
    Published<QList<UserProfile>> userProfiles;
    Published<QUuid> activePacsProfileId;
    Published<QUuid> activeUserProfileId;
    // The last successful save of this run; none until the first.
    Published<std::optional<QDateTime>> lastSaved;

    ErrorHandler onError;
    SaveHandler onSave;

    const QString& fileURL() const { return file_.path(); }
    // No profiles file existed when this run started.
    bool isFreshInstall() const { return isFreshInstall_; }
    // How recent the data on disk is: the last write of this run, else the file's
    // modification time. A save that had nothing new to write leaves it alone.
    std::optional<QDateTime> lastModifiedDate() const;

    // Writes every profile to profiles.json; never throws. The outcome arrives later.
    void save(bool suppressOnSave = false);

    // The profiles file decoded (the backup when the file is damaged), or none.
    std::optional<LoadResult> loadFromDisk();

    // The repair chain run whenever a whole set of profiles comes in.
    bool normalizeProfiles();
    void repairActiveSelection();
    void normalizeAllMappings(bool suppressOnSave);
    // Reads profiles.json again (the mapping window's Reset).
    void reloadFromDisk();

private:
    struct DiskState {
        std::optional<LoadResult> result;
        bool wasDamaged = false;
    };

    DiskState readDisk();
    // Assigns the lists, then the active ids (each the given one, else the first
    // profile's, else left as it is).
    void replaceAll(QList<PacsProfile> pacs, QList<UserProfile> users, std::optional<QUuid> activePacs,
                    std::optional<QUuid> activeUser);
    QByteArray encodedDocument() const;
    std::pair<UserProfile, bool> normalizedMappings(const UserProfile& profile) const;
    static PacsProfile mergedPacsProfile(const PacsProfile& stored, const PacsProfile& builtIn);
    static ProfilesFile::Format formatOf(const QByteArray& bytes);

    // Runs `work` on a later turn of the main queue, unless the store is gone by then.
    void later(std::function<void(ProfileStore&)> work);
    // Hands a notice to onError on a later turn (to the handler installed then).
    void notify(const QString& title, const QString& message);
    void postNotices(const QList<ProfilesFile::Notice>& notices);

    std::shared_ptr<ProfileStore*> self_;
    ProfilesFile file_;
    bool isFreshInstall_ = false;
    // Time of the last write of profiles.json in this run; until that write's
    // outcome arrives, the date the data had before it.
    std::optional<QDateTime> lastWritten_;
};

} // namespace velmor
