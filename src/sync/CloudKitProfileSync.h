#pragma once

#include "platform/Debouncer.h"
#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "platform/cloud/Container.h"
#include "sync/ChangeNotices.h"
#include "sync/EmptyFolderGuard.h"
#include "sync/ProfileSubscriptions.h"
#include "sync/RecordLineage.h"
#include "sync/RemotePayloadDecoder.h"
#include "sync/SyncBase.h"
#include "sync/SyncMemory.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace velmor {

class CloudKitIconSync;
class ProfileStore;

// Keeps the whole profile store, as one payload, in the record "profiles" of the
// user's private cloud database, and the two subscriptions that tell the user's
// other machines about changes to it.
//
// Every save of the store asks for an upload, one second after the last of a burst
// and only once the initial sync has decided between the local and the remote
// profiles. Pushes and "Sync Now" fetch the record and take its payload when it is
// newer than the local data. Every outcome is reported through the store's onError.
//
// Data that never synced with the cloud account (remembered in SyncMemory) takes
// the record it finds there, keeping the profiles made here as exchange files and
// its own differing drawings of the account's icons beside them, and never uploads
// over it; the account is remembered once the taken profiles are saved. The account
// is checked at every sync and upload: another one met while running is met as at
// a restart. A record with an empty payload counts as one without. A record dated later than this machine's clock
// counts as changed when this machine first saw it. After an upload that failed,
// the next "Sync Now", push or "writable again" from the container uploads the
// local data when it is newer than the record.
//
// Once the data has synced with the account, the document as last synced is kept
// (SyncBase). A record is then compared with it by content, never by date: changes
// made only here go up, changes made only elsewhere are taken, and changes made on
// both sides while apart are merged at the grain they were made (ProfileMerge,
// CloudKitProfileSyncMerge.cpp), saved, then uploaded. Without a usable base the two
// merge two ways, so nothing either holds is dropped. Uploads go over the record the
// base came from only, so a record changed meanwhile is merged first.
//
// Main thread only. Made with create(); each task it starts keeps it alive until the
// task ends, while the store's save callback and the debounce hold it weakly.
class CloudKitProfileSync : public std::enable_shared_from_this<CloudKitProfileSync> {
    struct Token {
        explicit Token() = default;
    };

public:
    using Clock = std::function<QDateTime()>;

    static inline const QString containerIdentifier = QStringLiteral("iCloud.Velmor");
    static constexpr qint64 schemaVersion = 6;
    static constexpr std::chrono::milliseconds uploadDelay{1000};
    // The longest an edit waits for its upload while edits keep coming.
    static constexpr std::chrono::milliseconds uploadMaxWait{3000};
    // Conflicting saves in a row that are retried before an upload gives up.
    static constexpr int maxConflictRetries = 3;

    // `container`: the one named containerIdentifier when none is given. `clock`: the
    // time written as "updatedAt" while the store knows no date of its data; the
    // system's when none is given.
    static std::shared_ptr<CloudKitProfileSync> create(std::shared_ptr<ProfileStore> store,
                                                       std::shared_ptr<cloud::Container> container = {},
                                                       Clock clock = {});
    CloudKitProfileSync(Token, std::shared_ptr<ProfileStore> store, std::shared_ptr<cloud::Container> container,
                        Clock clock);
    ~CloudKitProfileSync();
    CloudKitProfileSync(const CloudKitProfileSync&) = delete;
    CloudKitProfileSync& operator=(const CloudKitProfileSync&) = delete;

    // Once: takes over the store's save callback, then, from the next turn of the main
    // queue, runs the initial sync and, with the account available, the subscription checks.
    void start();

    // --- Upload.
    // The store's save callback: dropped while a remote payload is being applied,
    // parked until the initial sync has ended, else debounced.
    void scheduleUpload();
    QCoro::Task<> uploadProfiles();
    // After a save refused because the record changed on the server.
    QCoro::Task<> resolveSaveConflict();
    // Starts the icon sync for the custom icons the profiles use and those synced before,
    // without waiting for it; requests close together make one pass.
    void syncCustomIcons();
    // At every start, "Sync Now" and push: syncCustomIcons() once the data synced with the account.
    void syncIconsOnce();

    // --- Download.
    // Whether the account lets the sync go on; reports the first unavailable status
    // after each time the account was seen available. An available account whose
    // folder this data synced with but that now holds no database (an unmounted
    // share's empty mount point) pauses it too, reported the same way (EmptyFolderGuard).
    QCoro::Task<bool> ensureAccountAvailable();
    QCoro::Task<> performInitialSync();
    // Fetches the record and takes it when newer. While the initial sync has not ended
    // (the account was unavailable at start) this runs the whole start sequence instead.
    QCoro::Task<> syncNow();
    // At the first contact with the account, takes the record's payload (see above).
    // Takes it when the local profiles are untouched ones and the payload differs.
    // A record that is not the local document is reconciled with it (against the
    // base, or two ways without one). A record that holds the local document only
    // dates the local data when it is later; the initial sync uploads it again when the
    // record is dated otherwise, and a later sync when an upload failed and the local
    // data is newer.
    void applyRemoteRecord(const cloud::Record& record, bool isInitialSync);
    // Replaces the store's profiles by the payload, in one step, asking for no upload;
    // `changedAt` (the record's date) dates the store's data. The payload is decoded
    // on a later turn, away from the window's thread; an edit made meanwhile keeps
    // the profiles as they are (its own upload follows). Nothing is replaced while
    // the store holds edits it could not save: the user is told instead. The notice
    // names `keptFiles`, the exchange files that hold what was replaced.
    void applyRemotePayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt = std::nullopt,
                            const QStringList& keptFiles = {});
    // Where the lines for Velmor's log go: one for each upload, take and merge, saying what changed.
    std::function<void(const QString& line)> onLog;
    // Where the lines a notice points to go, all of one notice at once: the problems an
    // icon pass only counts, and the kept files a notice names past its first ten. The log
    // keeps each kind's lines until the next lines of that kind.
    enum class NoticeLines { iconProblems, keptFiles };
    std::function<void(NoticeLines kind, const QStringList& lines)> onNoticeLines;
    // Shows a notification now; the sync's own notices go through ChangeNotices.
    void postChangeNotification(const QString& title, const QString& body);

    // --- Commands and pushes; each returns before any cloud call, its task starting
    // on a later turn of the main queue.
    // "Sync Now": looks for other machines' changes at once, then syncNow(), which
    // first saves again profiles whose save failed (a disk that was full may have room).
    void requestSyncNow();
    // A quit: the icon pass under way ends at its next step (the rest syncs at the next
    // start), so that the sync's work ends within the quit's time.
    void stopIconPasses();
    // A quit: an upload owed (its folder was locked, say) or waiting out its delay starts
    // now, while the quit still waits a moment for the sync's calls.
    void uploadAtQuit();
    // A push: syncNow() for query, zone and database notifications. Requests that come
    // while a sync runs or waits are merged: at most one runs and one waits.
    void handleRemoteNotification(const QVariantMap& dictionary);
    // "Reset CloudKit Subscriptions".
    void requestSubscriptionReset();

    // --- Subscriptions.
    QCoro::Task<> cleanUpSubscriptions();
    QCoro::Task<> ensureDatabaseSubscription();
    QCoro::Task<> ensureQuerySubscription();
    QCoro::Task<> resetSubscriptions();
    static cloud::Subscription makeDatabaseSubscription() { return ProfileSubscriptions::makeDatabaseSubscription(); }
    static cloud::Subscription makeQuerySubscription() { return ProfileSubscriptions::makeQuerySubscription(); }

    bool hasStarted() const { return hasStarted_; }
    bool hasCompletedInitialSync() const { return hasCompletedInitialSync_; }
    // The local data has synced with this cloud account (now or in an earlier run).
    bool hasSyncedWithAccount() const { return hasSynced_; }
    // The latest upload failed, or could not start, and nothing has replaced its data since.
    bool isUploadOwed() const { return uploadOwed_; }
    // The profiles record last seen, without its payload: the base of the next upload.
    const std::optional<cloud::Record>& cachedRecord() const { return cachedRecord_; }
    const std::shared_ptr<cloud::Container>& container() const { return container_; }

private:
    // The start sequence: initial sync, account check, subscriptions.
    QCoro::Task<> runStart();
    // What a first contact keeps of this machine's own.
    struct FirstContact {
        QStringList keptFiles;
        // The custom icons the local profiles used before the take.
        QStringList localIcons;
    };
    // `record`: the record the payload is in, which becomes the base once the take is saved.
    void launchApply(const QByteArray& payload, const std::optional<QDateTime>& changedAt,
                     std::optional<FirstContact> firstContact, std::optional<cloud::Record> record = std::nullopt);
    // `olderThan`: the base the record is older than; what the take replaces is kept first.
    QCoro::Task<> applyDecodedPayload(QByteArray payload, std::optional<QDateTime> changedAt,
                                      std::optional<FirstContact> firstContact, std::optional<cloud::Record> record,
                                      std::optional<SyncBase::Stamp> olderThan = std::nullopt);
    // The date rule, for a record that holds this very document (its date only) or no
    // profiles at all.
    void applyByDates(const cloud::Record& record, const QByteArray& payload, const std::optional<QDateTime>& remote,
                      bool isInitialSync);

    // An upload that may replace `record`.
    void uploadOver(const cloud::Record& record);

    // --- Against the base (CloudKitProfileSyncMerge.cpp).
    // The document of `record` (its change tag) is the one last synced from now on.
    void rememberBase(const cloud::Record& record, QByteArray document);
    // After the record's profiles (`document`) were taken and saved as `saved`: the record's
    // document is the base, and with `sendsRepairs`, what the store added goes up.
    void rememberTaken(const cloud::Record& record, QByteArray document, const QByteArray& saved,
                       bool sendsRepairs);
    // Compares the record with the base and the local data, away from the window's
    // thread, and takes, uploads or merges. One at a time; a record met meanwhile is
    // fetched again after it.
    // After `conflicts` refused saves in a row, what is left goes up at once, counted.
    QCoro::Task<> reconcile(cloud::Record record, QByteArray payload, std::optional<QDateTime> remote,
                            bool isInitialSync, int conflicts = 0);
    void endReconcile();
    // Keeps the versions that lost as files (away from the window's thread), saves the
    // merged profiles dated by mergeDate(), tells the user, then uploads them (unless
    // they are the record's).
    // `olderThan`: as for applyDecodedPayload.
    QCoro::Task<> applyMerge(cloud::Record record, QByteArray payload, std::optional<QDateTime> remote,
                             ChangesApart changes, std::optional<SyncBase::Stamp> olderThan);
    // `remote`: the record's date, which a merge that is the record's profiles keeps.
    QDateTime mergeDate(const ChangesApart& changes, const std::optional<QDateTime>& remote);
    // A copy put back, or a record made after one, that this computer has not taken.
    bool isRestore(const cloud::Record& record, const SyncBase::Stamp& synced) const;
    // The same for the record's descent from `synced`, found already.
    bool isRestore(const cloud::Record& record, const SyncBase::Stamp& synced, recordLineage::Descent descent) const;
    // --- Records not taken (CloudKitProfileSyncRefusals.cpp).
    enum class Refusal {
        // The payload is no profiles document this computer can read.
        unreadable,
        // Taken, the profiles would make a document too large to upload again.
        tooLarge,
    };
    // Keeps the record's payload as a file beside profiles.json and tells the user, once
    // per record, then uploads this computer's profiles over it, so that every machine
    // reads a good record again (profiles that never synced here wait for a change made
    // here). `writtenBytes`: the document the take would have made.
    QCoro::Task<> refuse(cloud::Record record, QByteArray payload, Refusal why, qint64 writtenBytes = 0);
    bool wasRefused(const cloud::Record& record) const { return refused_.contains(record.recordChangeTag()); }
    // This computer's profiles are a synced state: they go over a refused record at once.
    bool uploadsOverRefused() const;
    // The largest profiles document, as this computer writes it, that fits in a record.
    qint64 maxDocumentBytes() const;
    // Before a take of a record older than the base: this computer's versions of what it
    // replaces, kept as files. The words that tell it (empty when nothing is kept), or none,
    // told, when they could not be kept.
    QCoro::Task<std::optional<QString>> keepReplacedByOlder(LoadResult before, LoadResult taken,
                                                            SyncBase::Stamp olderThan,
                                                            std::optional<QDateTime> changedAt);
    // --- Notices (CloudKitProfileSyncNotices.cpp).
    // Tells what a take changed (`summary`, from `before`), with `extra` words added.
    void tellChange(std::optional<SyncChangeSummary::Notice> summary, LoadResult before, const QString& extra);
    // Several notices told as one: the change from the first one's profiles to now.
    QCoro::Task<> tellGathered(ChangeNotices::Gathered gathered);
    // After the take's save: the account's icons, the notice, the icon sync.
    QCoro::Task<> completeFirstContact(FirstContact firstContact, LoadResult before, LoadResult after);
    // Ends a take that is no longer under way; an upload asked for meanwhile follows
    // unless its save failed.
    void endTake(bool saveFailed);
    // syncNow() through the merging gate.
    void queueSync();
    QCoro::Task<> runQueuedSyncs();
    // What taking a payload that is the local document does: only its date changes.
    void takeDateOf(const QDateTime& changedAt);
    // True, with the user told, while the store holds edits it could not save.
    bool keepsUnsavedEdits() const;
    // One upload attempt after `conflicts` refused saves in a row.
    QCoro::Task<> upload(int conflicts);
    QCoro::Task<> resolveConflict(int conflicts);
    // The store holds profiles nobody changed and the record holds other profiles.
    bool replacesUntouchedProfiles(const cloud::Record& record) const;
    struct Fetched {
        std::optional<cloud::Record> record;
        bool failed = false;
    };
    QCoro::Task<Fetched> fetchProfilesRecord();

    // --- A profiles.json put back while Velmor was stopped (CloudKitProfileSyncRestore.cpp).
    // At start: profiles.json holds another document than this computer left in it.
    void noticeLocalRestore();
    // Remembers the document profiles.json holds as the one this computer left there.
    void rememberLeftDocument();
    // The same for `document`, told by a digest made on a queue of its own: a document of
    // many megabytes costs the window's thread nothing.
    void rememberLeft(QByteArray document);
    // Keeps the versions this computer last synced of what the restore changes, and tells.
    QCoro::Task<> keepForLocalRestore();
    // With a restore to send: it goes over `record` unmerged (true), uploaded soon.
    bool goesOverWithLocalRestore(const cloud::Record& record);
    // Marks an upload as that restore.
    void markLocalRestore(cloud::Record& upload) const;
    // A profiles.json put back alone where nothing this computer synced is kept (a new
    // disk): when `record` shares its profiles, the data synced with the account before,
    // and it goes up as a restore, the record's versions of what it changes kept (true).
    bool adoptPutBackAlone(const cloud::Record& record);
    // Keeps `record`, without its payload, as the last one seen.
    void cacheRecord(std::optional<cloud::Record> record);
    // A fetched record, once used, goes away from the window's thread.
    void letGo(std::optional<cloud::Record>& record);
    // At a first contact with the account, takes the record (takeAtFirstContact) and says so.
    bool takeIfFirstContact(const cloud::Record& record);
    // Asks the account's user record name; true when it is another account than the
    // one met before in this run. Unknown while it cannot be had.
    QCoro::Task<bool> checkAccount();
    void rememberSync();
    // True when the local data never synced with the account and shares no profile
    // with `payload`: the record is to be taken, never uploaded over.
    bool isFirstContact(const QByteArray& payload);
    void takeAtFirstContact(const QByteArray& payload, const std::optional<QDateTime>& remote,
                            const cloud::Record& record);
    // remoteDate(), a date after this machine's clock counting as when it was first seen.
    std::optional<QDateTime> countedRemoteDate(const cloud::Record& record);
    // The store's date, no later than now.
    std::optional<QDateTime> localDate();
    QDateTime now() const;
    // Runs `task` to its end, keeping the sync alive until then.
    void launch(QCoro::Task<> task);
    // Makes and runs the task on a later turn of the main queue, if the sync still exists.
    void launchLater(std::function<QCoro::Task<>(CloudKitProfileSync&)> makeTask);
    void report(const QString& title, const QString& message) const;
    // --- Log lines (CloudKitProfileSyncLog.cpp).
    void log(const QString& line) const;
    // Each of the files kept in `folder`, when the notice about them could not name them all.
    void logKeptFiles(const QString& folder, const QStringList& files) const;
    void logKeptLines(const QStringList& lines) const;
    // A take or merge is logged; the next upload's line tells what changed since.
    void logSynced(const QString& line);
    // What went up: the change since the last line's profiles, found away from the window's thread.
    QCoro::Task<> logUploaded(LoadResult sent, qsizetype bytes);
    // "updatedAt" when it holds a date, else the server's modification date.
    static std::optional<QDateTime> remoteDate(const cloud::Record& record);

    std::shared_ptr<ProfileStore> profileStore_;
    std::shared_ptr<cloud::Container> container_;
    std::shared_ptr<cloud::Database> database_;
    // The custom icons folder when the sync was made.
    QString iconsDirectory_;
    std::unique_ptr<CloudKitIconSync> iconSync_;
    RemotePayloadDecoder decoder_;
    ProfileSubscriptions subscriptions_;
    Clock clock_;
    std::optional<cloud::Record> cachedRecord_;
    Debouncer pendingUpload_{uploadDelay, uploadMaxWait};
    bool isApplyingRemote_ = false;
    bool hasStarted_ = false;
    bool hasCompletedInitialSync_ = false;
    bool isRunningInitialSync_ = false;
    bool pendingUploadAfterInitialSync_ = false;
    bool hasLoggedNoAccount_ = false;
    bool hasLoggedUnwritable_ = false;
    SyncMemory memory_;
    std::unique_ptr<SerialQueue> digests_ = SerialQueue::create(QStringLiteral("com.velmor.profiledigest"));
    // Counts the documents handed to digests_: one that a newer one follows is not digested.
    std::shared_ptr<std::atomic<quint64>> leftHandedOver_ = std::make_shared<std::atomic<quint64>>(0);
    SyncBase base_;
    bool isReconciling_ = false;
    bool reconcileAgain_ = false;
    EmptyFolderGuard emptyFolderGuard_;
    ChangeNotices notices_;
    std::optional<QString> account_;
    // Change tags of the records refused in this run: each is told once.
    QSet<QString> refused_;
    bool hasSynced_ = false;
    bool uploadOwed_ = false;
    // A first contact's take is being applied and saved; uploads wait for its outcome.
    bool isTaking_ = false;
    bool uploadAfterTake_ = false;
    // The merged sync: a scheduled one sees every request made before it begins; a
    // request made while one runs leaves one more to follow it.
    enum class QueuedSync { none, scheduled, running, runningWithOneWaiting };
    QueuedSync queuedSync_ = QueuedSync::none;
    // "Sync Now" asked for a failed save to be tried again before the next syncNow().
    bool retrySave_ = false;
    // The name of a restore put back here that has not gone up yet.
    std::optional<QString> localRestore_;
    bool localRestoreTold_ = false;
    // profiles.json was there at start with no state of the sync beside it: the first
    // record met tells whether it is a restore (adoptPutBackAlone).
    bool putBackAlone_ = false;
    // The restore was put back so: what it replaces is the record's, not a synced state.
    bool restoredOnNewDisk_ = false;
    // The profiles as the last upload, take or merge logged them; none before the first.
    std::optional<LoadResult> lastLogged_;
};

} // namespace velmor
