#pragma once

#include "model/BuiltInRemovals.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/UserProfile.h"
#include "platform/Published.h"
#include "store/FileSystem.h"
#include "store/LoadResult.h"
#include "store/ProfileMerge.h"
#include "store/ProfilesFile.h"
#include "store/ProfileWriter.h"
#include "store/RepairedDocument.h"
#include "store/SyncChangeSummary.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace velmor {

namespace test {
struct ProfileStoreSeed;
}

// The one persistent store of PACS profiles, user profiles and the active ids.
// Lives on the main thread. Every change to a published property reaches its
// observers at once; saves are written in the background, in order, and the
// outcome of a save (lastSaved, onSave, onError) arrives on a later turn of the
// main queue and is dropped once the store is gone. Destroying the store waits
// for the writes handed over.
class ProfileStore {
public:
    // Receives every user-facing notice: failures, restores, import and export results.
    using ErrorHandler = std::function<void(const QString& title, const QString& message)>;
    // Receives a line for the log only (the details behind a notice that counts them).
    using LogHandler = std::function<void(const QString& line)>;
    // Called after a save that wrote the profiles file, unless that save suppressed it.
    using SaveHandler = std::function<void()>;
    // The wall clock that dates the store's writes.
    using Clock = std::function<QDateTime()>;
    // Told whether the save it was given to is on disk (written, or there already),
    // and then the document profiles.json holds.
    using SaveOutcomeHandler = std::function<void(bool saved, const QByteArray& document)>;

    // Sweeps what killed writes left in the data folder (sweepDataFolder), loads
    // profiles.json from it (else the bundle's seed, else the built-in profiles),
    // normalises, and saves when needed.
    ProfileStore();
    // The same, with other file access (tests inject failures through it).
    explicit ProfileStore(std::shared_ptr<FileSystem> fileSystem);
    ~ProfileStore();
    ProfileStore(const ProfileStore&) = delete;
    ProfileStore& operator=(const ProfileStore&) = delete;

    // Read and subscribe; only the store's operations below change them.
    const Published<QList<PacsProfile>>& pacsProfiles() const { return pacsProfiles_; }
    const Published<QList<UserProfile>>& userProfiles() const { return userProfiles_; }
    const Published<QUuid>& activePacsProfileId() const { return activePacsProfileId_; }
    const Published<QUuid>& activeUserProfileId() const { return activeUserProfileId_; }
    // The last successful save of this run; none until the first.
    const Published<std::optional<QDateTime>>& lastSaved() const { return lastSaved_; }

    ErrorHandler onError;
    LogHandler onLog;
    SaveHandler onSave;
    // The system's UTC time unless a test puts another in place.
    Clock clock = [] { return QDateTime::currentDateTimeUtc(); };

    const QString& fileURL() const { return file_.path(); }
    // No profiles file existed when this run started.
    bool isFreshInstall() const { return isFreshInstall_; }
    // When the data on disk was last changed: the last write of this run (for data
    // taken from the cloud, the time of the change it holds; for data only repaired
    // on load, the date it was loaded with; for profiles nobody changed, untouchedDate()),
    // else the file's modification time, which
    // carries the same date into the next run. A save that had nothing new to write
    // leaves it alone.
    std::optional<QDateTime> lastModifiedDate() const;
    // The date of profiles that nobody changed (the built-in or bundled ones a fresh
    // install or an unusable file without a backup starts with): earlier than any
    // real change, so that any profiles of the user's win over them.
    static QDateTime untouchedDate();
    // The profiles are still the ones nobody changed.
    bool holdsUntouchedProfiles() const { return lastModifiedDate() == untouchedDate(); }
    // The latest save failed: the profiles in memory are not the ones on disk.
    bool hasUnsavedChanges() const { return hasUnsavedChanges_; }
    // Why nothing can be saved in the data folder now ("Read-only file system"); none
    // while it can be written, as far as the system tells.
    std::optional<QString> unwritableDataFolder() const { return file_.unwritableFolder(); }

    // Writes every profile to profiles.json; never throws. The outcome arrives later.
    void save(bool suppressOnSave = false);
    // Saves again, as the save that failed last would have (its date, its upload or
    // none), the profiles whose latest save failed: a disk that was full may have room
    // now. `whenSaved` learns the outcome on a later turn; with nothing unsaved, at once.
    void retryFailedSave(SaveOutcomeHandler whenSaved);
    // Returns once every save so far is on disk or failed (their outcomes still
    // arrive on the main queue).
    void flush();

    // The profiles file decoded (the backup when the file is damaged), or none.
    std::optional<LoadResult> loadFromDisk();

    // Steps of the repair chain that also run at application start-up.
    void repairActiveSelection();
    void normalizeAllMappings(bool suppressOnSave);
    // Reads profiles.json again (the mapping window's Reset).
    void reloadFromDisk();

    // --- Editing. An id or value that matches no stored profile changes and saves
    // nothing; every other edit writes the published lists and ends in save().

    // PACS profiles and their tools (ProfileStorePacsOperations.cpp).
    // The active one, else the first, else a built-in profile made afresh (not stored).
    PacsProfile activePacsProfile() const;
    // The same in place, or null when no PACS profile is stored. Valid until the list changes.
    const PacsProfile* storedActivePacsProfile() const;
    // Replaces the tool of the same id, else appends it.
    void upsertTool(const RadiologyTool& tool, const QUuid& pacsProfileId);
    // Only replaces; a tool the profile lacks changes nothing.
    void updateTool(const RadiologyTool& tool, const QUuid& pacsProfileId);
    void setShortcut(const std::optional<KeyboardShortcut>& shortcut, const QUuid& toolId, const QUuid& pacsProfileId);
    // Also removes the tool's mappings from the user profiles bound to that PACS profile.
    void deleteTool(const QUuid& id, const QUuid& pacsProfileId);
    void renamePacsProfile(const QUuid& id, const QString& name);
    void setDefaultLightingHex(const std::optional<QString>& hex, const QUuid& pacsProfileId);
    void selectPacsProfile(const QUuid& id);
    // Tools copied from the first PACS profile (same tool ids); becomes active.
    void createPacsProfile(const QString& name);
    // The stored profile's copy, named after `profile` plus " Copy"; becomes active.
    void duplicatePacsProfile(const PacsProfile& profile);
    // Refused while fewer than two exist. Bound user profiles move to the first
    // remaining profile, their mappings re-pointed by tool name.
    void deletePacsProfile(const PacsProfile& profile);

    // User profiles and their mappings (ProfileStoreUserOperations.cpp).
    // The active one, else the first, else a default profile made afresh (not stored).
    UserProfile activeUserProfile() const;
    // The same in place, or null when no user profile is stored. Valid until the list changes.
    const UserProfile* storedActiveUserProfile() const;
    // With the default mappings of its PACS profile (the active one when none is
    // given); becomes active together with that PACS profile.
    void createUserProfile(const QString& name, const std::optional<QUuid>& pacsProfileId = std::nullopt);
    void renameUserProfile(const QUuid& id, const QString& name);
    // Refused for the only user profile.
    void deleteUserProfile(const QUuid& id);
    // Makes the stored profile of that id active, with the PACS profile it is bound to.
    void selectUserProfile(const UserProfile& profile);
    // Binds the user profile to that PACS profile, re-pointing its mappings by tool name.
    void setPacsProfile(const QUuid& pacsProfileId, const QUuid& userProfileId);
    void setSelectedDeviceId(const std::optional<QString>& deviceId, const QUuid& userProfileId);
    void setLightingHex(const std::optional<QString>& hex, const QUuid& userProfileId);
    // Leaves exactly one mapping for that device button, at the end of the list.
    void setMapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId, const QUuid& userProfileId);
    void removeMapping(const QString& deviceId, const QString& buttonId, const QUuid& userProfileId);
    // No device id: every mapping.
    void clearMappings(const std::optional<QString>& deviceId, const QUuid& userProfileId);
    // The default mappings of the PACS profile the user profile is bound to (of
    // `pacsProfile` only when that one is gone), for one device or all; nothing
    // happens when there are none.
    void resetMappingsToDefaults(const QUuid& userProfileId, const PacsProfile& pacsProfile,
                                 const std::optional<QString>& deviceId);

    // Gives each button of `deviceId` without a mapping its entry of `defaults` (the
    // last one for a button wins), appended; saves only when something was added.
    void fillUnmappedButtons(const QString& deviceId, const QList<ButtonMapping>& defaults,
                             const QUuid& userProfileId);

    // --- Exchange files (ProfileStoreExchange.cpp). Outcomes, successes included,
    // also reach onError on a later turn of the main queue.

    // False, with nothing written, when the profile's PACS profile is gone. Throws
    // FileError when the file cannot be written (an earlier file stays intact).
    [[nodiscard]] bool exportUserProfile(const UserProfile& profile, const QString& path);
    // Throws FileError.
    void exportPacsProfile(const PacsProfile& profile, const QString& path);
    // Adds the file's profile under a new id and makes it active. Throws FileError or
    // json::DecodeError, and then changes nothing.
    void importUserProfile(const QString& path);
    void importPacsProfile(const QString& path);

    // --- Cloud sync (ProfileStoreSync.cpp).

    // The profiles document as uploaded: the same bytes as profiles.json.
    QByteArray makeSyncPayload() const;
    // Takes a downloaded document in place of the local data, repairs and saves it
    // without asking for an upload, and cancels the uploads that earlier saves still
    // had pending. `changedAt`, the time of the change the document holds, becomes
    // lastModifiedDate() and profiles.json's modification time (else the time of the save). Throws ProfileStoreError
    // (invalidPayload) and then changes nothing.
    void applySyncPayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt = std::nullopt);
    // The same with a payload decoded already (never throws).
    void applySyncPayload(const LoadResult& decoded, const std::optional<QDateTime>& changedAt = std::nullopt);
    // The same; `whenSaved` learns the outcome of its save on a later turn of the
    // main queue, after that save's notices, unless the store is gone by then.
    void applySyncPayload(const LoadResult& decoded, const std::optional<QDateTime>& changedAt,
                          SaveOutcomeHandler whenSaved);
    // The same with a document repaired already, so that nothing is repaired here.
    void applySyncPayload(const RepairedDocument& taken, const std::optional<QDateTime>& changedAt,
                          SaveOutcomeHandler whenSaved);
    // `document` as applySyncPayload() leaves the profiles, repaired as the store
    // repairs what comes in; any thread may run it. A document without removed
    // built-ins says nothing of them (an older Velmor writes none): `standing`, the
    // taker's own, stand for it, as applySyncPayload() keeps the store's.
    static RepairedDocument repaired(LoadResult document, const BuiltInRemovals& standing = {});
    // Custom icon file names the PACS profiles use, in plain order; names that are
    // no plain file name are left out.
    QStringList referencedCustomIconNames() const;
    // What applying `payload` would change, in words; none when nothing or unreadable.
    std::optional<SyncChangeSummary::Notice> syncChangeSummary(const QByteArray& payload) const;
    // The profiles as they are now, for comparing with what they become.
    LoadResult snapshot() const;
    // Data dated later than `time` (a clock that was ahead, a file dated in the
    // future) counts as changed at `time`: it is dated so, in memory and on disk.
    void dateNoLaterThan(const QDateTime& time);
    // `payload` is the document of the profiles as they are now, byte for byte.
    // Never encodes: false while the document written or loaded is not the state now.
    bool holdsDocument(const QByteArray& payload) const;
    // The profiles, unchanged, count as changed at `changedAt` (another copy of
    // the very same document carries that date): dated so, in memory and on disk,
    // with no upload asked for.
    void dateAs(const QDateTime& changedAt);

    // --- First contact with a cloud folder (ProfileStoreFirstContact.cpp).

    // Some PACS or user profile of `payload` is one of these (same id): the two
    // sets share their history.
    bool sharesProfilesWith(const QByteArray& payload) const;
    // Writes each profile made or changed on this computer that `payload` lacks
    // as an exchange file beside profiles.json, never over an existing file:
    // user profiles for "Import User Profile…", PACS profiles for "Import PACS
    // Profile…". Built-in profiles nobody changed are left out, and so is a profile
    // whose file is there already (an earlier attempt kept it). Names are cut to fit
    // the file system. Returns the file names that hold them; throws FileError when
    // one could not be written.
    QStringList keepProfilesMissingFrom(const QByteArray& payload) const;
    // Writes the versions that lost in `merge` as exchange files into `folder` (the one
    // profiles.json is in), named and written as above. Throws FileError. Touches nothing
    // but files there, so any thread may run it.
    static QStringList keepLostVersions(const QString& folder, const ProfileMerge::Result& merge);
    // Writes `bytes` into `folder` as "‹name› (‹kind›).json", numbered when that is taken
    // (a file that holds these bytes already is the one): the file name. Throws FileError.
    static QString keepDocument(const QString& folder, const QString& name, const QString& kind,
                                const QByteArray& bytes);

private:
    // Tests put states in place that no operation would leave, to check the repairs.
    friend struct test::ProfileStoreSeed;

    struct DiskState {
        std::optional<LoadResult> result;
        bool wasDamaged = false;
        // When the file the result came from was last changed.
        std::optional<QDateTime> date;
        // The bytes the result was decoded from.
        std::optional<QByteArray> bytes;
    };

    DiskState readDisk();
    // Lets go of the document last written or loaded away from the window's thread.
    void forgetDocument();
    // After a load that wrote nothing: the file's bytes are the document of the
    // profiles now when they decode to exactly these profiles and active ids.
    void keepLoadedDocument(const DiskState& disk);
    // save(), dating the data (in memory and on disk) `changedAt` instead of the
    // time the outcome of its write arrives.
    void save(bool suppressOnSave, const std::optional<QDateTime>& changedAt, SaveOutcomeHandler whenSaved = {});
    // The repair chain run whenever a whole set of profiles comes in: profiles,
    // then the active pair, then mappings. True when the profiles changed.
    bool normalizeAll(bool suppressOnSave);
    bool normalizeProfiles();
    // Assigns the lists and removals, then the active ids (each the given one, else
    // the first profile's, else left as it is).
    void replaceAll(QList<PacsProfile> pacs, QList<UserProfile> users, std::optional<QUuid> activePacs,
                    std::optional<QUuid> activeUser, BuiltInRemovals removedBuiltIns);
    ProfileSnapshot contents() const;
    // The outcome of the save handed over as `ticket`.
    struct SaveTicket {
        quint64 number = 0;
        bool suppressOnSave = false;
        std::optional<QDateTime> changedAt;
        // lastWritten_ before the save.
        std::optional<QDateTime> dateBefore;
        quint64 applies = 0;
        quint64 dated = 0;
        SaveOutcomeHandler whenSaved;
    };
    void saved(const SaveTicket& ticket, const ProfileWriter::Outcome& outcome);
    // The repair chain's steps on plain values, so that any thread may run them; each
    // says what it changed, which the store then publishes (and nothing else).
    struct Repairs {
        bool pacs = false;
        bool activePacs = false;
        bool users = false;
        bool activeUser = false;
        bool removals = false;
    };
    // Sets what `repairs` names to its value in `profiles`, in that order.
    void publish(const ProfileSnapshot& profiles, const Repairs& repairs);
    static Repairs repairProfiles(ProfileSnapshot& profiles);
    static Repairs repairActive(ProfileSnapshot& profiles);
    static bool repairMappings(ProfileSnapshot& profiles);
    static std::pair<UserProfile, bool> normalizedMappings(const QList<PacsProfile>& pacs, const UserProfile& profile);
    static PacsProfile mergedPacsProfile(const PacsProfile& stored, const PacsProfile& builtIn,
                                         const BuiltInRemovals& removed);
    static ProfilesFile::Format formatOf(const QByteArray& bytes);

    // Runs `work` on a later turn of the main queue, unless the store is gone by then.
    void later(std::function<void(ProfileStore&)> work);
    // Hands a notice to onError on a later turn (to the handler installed then).
    void notify(const QString& title, const QString& message);
    void postNotices(const QList<ProfilesFile::Notice>& notices);
    // Hands a line to onLog on a later turn.
    void logLater(const QString& line);

    Published<QList<PacsProfile>> pacsProfiles_;
    Published<QList<UserProfile>> userProfiles_;
    Published<QUuid> activePacsProfileId_;
    Published<QUuid> activeUserProfileId_;
    Published<std::optional<QDateTime>> lastSaved_;
    // The built-ins the user renamed or deleted; saved with the profiles.
    BuiltInRemovals removedBuiltIns_;

    std::shared_ptr<ProfileStore*> self_;
    ProfilesFile file_;
    // The only user of file_ once constructed; goes first, waiting for its writes.
    std::unique_ptr<ProfileWriter> writer_;
    bool isFreshInstall_ = false;
    // Time of the last write of profiles.json in this run; until that write's
    // outcome arrives, the date the data had before it.
    std::optional<QDateTime> lastWritten_;
    // lastWritten_ only holds the file's date while saves are under way.
    bool dateHeld_ = false;
    // The document last written or found written, and the profiles it holds.
    std::optional<std::pair<ProfileSnapshot, QByteArray>> document_;
    // Saves handed to the writer so far.
    quint64 handedSaves_ = 0;
    bool hasUnsavedChanges_ = false;
    // How the latest save that failed was asked for, for retryFailedSave().
    struct FailedSave {
        bool suppressOnSave = false;
        std::optional<QDateTime> changedAt;
    };
    FailedSave failedSave_;
    // The user was told that the data folder cannot be written, and no save worked since:
    // saves it refuses go to the log only.
    bool unwritableTold_ = false;
    // Saves dated by the change they hold (remote applies).
    quint64 datedSaves_ = 0;

    // Editing, exchange and sync helpers.
    // Every edit of the PACS profiles goes through here, to note the built-ins it took away.
    void editPacsProfiles(const std::function<void(QList<PacsProfile>&)>& edit);
    void editTool(const QUuid& toolId, const QUuid& pacsProfileId, const std::function<void(RadiologyTool&)>& change);
    void editUserProfile(const QUuid& userProfileId, const std::function<void(UserProfile&)>& change);
    // Runs `work`; a failure is told to onError as "<title>" / "<prefix><error>" and rethrown.
    template <typename Work>
    auto reportingFailure(const QString& title, const QString& prefix, Work work) -> decltype(work());
    template <typename Profile>
    void renameProfile(const QUuid& id, const QString& name, Published<QList<Profile>>& profiles);
    UserProfile resolveImportedPacsProfile(UserProfile profile, const std::optional<QString>& pacsProfileName,
                                           const std::optional<QList<RadiologyTool>>& pacsTools);
    // Counts remote applies; a save's deferred onSave runs only if none came between.
    quint64 remoteApplies_ = 0;
};

} // namespace velmor
