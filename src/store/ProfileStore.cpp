#include "store/ProfileStore.h"

#include "model/ProfileTemplates.h"
#include "platform/Bundle.h"
#include "platform/Json.h"
#include "platform/MainQueue.h"
#include "platform/Paths.h"
#include "store/DataFolderSweep.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"
#include "store/UntoldKeptFiles.h"

#include <QTimeZone>

namespace velmor {

ProfileStore::ProfileStore() : ProfileStore(std::make_shared<LocalFileSystem>()) {}

ProfileStore::ProfileStore(std::shared_ptr<FileSystem> fileSystem)
    : activePacsProfileId_(QUuid::createUuid()),
      activeUserProfileId_(QUuid::createUuid()),
      self_(std::make_shared<ProfileStore*>(this)),
      file_(paths::applicationSupport(), fileSystem, &ProfileStore::formatOf),
      writer_(std::make_unique<ProfileWriter>(file_))
{
    try {
        fileSystem->makeFolder(paths::applicationSupport());
    } catch (const FileError&) {
        // The first save reports it.
    }
    // A data folder that cannot be written still opens, told once: the profiles are used, saves refused.
    if (const std::optional<QString> cause = file_.unwritableFolder()) {
        const ProfilesFile::Notice notice = file_.unwritableNotice(*cause);
        notify(notice.title, notice.message);
        unwritableTold_ = true;
    }
    const SweptDataFolder swept = sweepDataFolder(paths::applicationSupport());
    isFreshInstall_ = !file_.exists();

    // What an earlier run kept aside without telling is told first.
    for (const SweptDataFolder::KeptCopy& copy : swept.kept) {
        const ProfilesFile::Notice notice = ProfilesFile::unfinishedCopyNotice(copy.file, copy.kept);
        notify(notice.title, notice.message);
    }
    for (const QString& kept : untoldKeptFiles::take(paths::applicationSupport())) {
        const ProfilesFile::Notice notice = file_.untoldExternalNotice(kept);
        notify(notice.title, notice.message);
    }

    const DiskState disk = readDisk();
    std::optional<LoadResult> loaded = disk.result;
    if (!loaded) {
        if (const auto seed = Bundle::main().data(QStringLiteral("SeedProfiles"), QStringLiteral("json")))
            loaded = decodePayload(*seed);
    }
    // A damaged file is replaced by what was loaded in its place as soon as possible.
    const bool needsSave = !loaded || loaded->didMigrate || disk.wasDamaged;

    QList<PacsProfile> pacs = loaded ? loaded->pacsProfiles : ProfileTemplates::builtInPacsProfiles();
    QList<UserProfile> users = loaded ? loaded->userProfiles : ProfileTemplates::defaultUserProfiles(pacs);
    replaceAll(std::move(pacs), std::move(users), loaded ? loaded->activePacsProfileId : std::nullopt,
               loaded ? loaded->activeUserProfileId : std::nullopt,
               loaded ? loaded->removedBuiltIns : BuiltInRemovals());

    const bool changed = normalizeAll(false);
    // Repairing what was loaded is no change of the user's: the data keeps its date.
    if (!file_.exists() || changed || needsSave)
        save(false, disk.result ? disk.date : untouchedDate());
    else
        keepLoadedDocument(disk);
}

ProfileStore::~ProfileStore() = default;

void ProfileStore::flush() { writer_->flush(); }

QDateTime ProfileStore::untouchedDate() { return QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc()); }

std::optional<QDateTime> ProfileStore::lastModifiedDate() const
{
    if (lastWritten_)
        return lastWritten_;
    return file_.modificationTime();
}

void ProfileStore::save(bool suppressOnSave) { save(suppressOnSave, std::nullopt); }

void ProfileStore::save(bool suppressOnSave, const std::optional<QDateTime>& changedAt, SaveOutcomeHandler whenSaved)
{
    SaveTicket ticket{++handedSaves_, suppressOnSave, changedAt, lastWritten_, remoteApplies_, 0, std::move(whenSaved)};
    // Until the outcome arrives, the date stays what it was before the write.
    if (!lastWritten_) {
        lastWritten_ = lastModifiedDate();
        dateHeld_ = true;
    }
    // Data taken from elsewhere is as recent as its change, written or already on disk;
    // outcomes of earlier saves that arrive later do not date it again.
    if (changedAt) {
        lastWritten_ = changedAt;
        dateHeld_ = false;
        ++datedSaves_;
    }
    ticket.dated = datedSaves_;
    writer_->write(contents(), changedAt,
                   [weak = std::weak_ptr<ProfileStore*>(self_), ticket](const ProfileWriter::Outcome& outcome) {
                       if (const auto self = weak.lock())
                           (*self)->saved(ticket, outcome);
                   });
}

void ProfileStore::retryFailedSave(SaveOutcomeHandler whenSaved)
{
    if (!hasUnsavedChanges_) {
        later([done = std::move(whenSaved), document = document_ ? document_->second : QByteArray()](ProfileStore&) {
            done(true, document);
        });
        return;
    }
    save(failedSave_.suppressOnSave, failedSave_.changedAt, std::move(whenSaved));
}

void ProfileStore::saved(const SaveTicket& ticket, const ProfileWriter::Outcome& outcome)
{
    // A handler may release the store: each notice goes on its own turn, none once it is gone.
    if (outcome.unwritable && std::exchange(unwritableTold_, true))
        logLater(QStringLiteral("Save Failed: ") + *outcome.unwritable);
    else
        postNotices(outcome.notices);
    if (outcome.outcome == ProfilesFile::SaveOutcome::written)
        unwritableTold_ = false;
    later([kept = outcome.keptExternal](ProfileStore&) {
        for (const QString& path : kept)
            untoldKeptFiles::told(path);
    });
    const bool failed = outcome.outcome == ProfilesFile::SaveOutcome::failed;
    if (ticket.whenSaved)
        later([done = ticket.whenSaved, failed, document = failed ? QByteArray() : outcome.document](ProfileStore&) {
            done(!failed, document);
        });
    const bool wrote = outcome.outcome == ProfilesFile::SaveOutcome::written;
    hasUnsavedChanges_ = failed;
    if (failed)
        failedSave_ = {ticket.suppressOnSave, ticket.changedAt};
    // Nothing written and nothing saved since: the date is the file's again, as
    // it was before the save; a failed dated save does not date the data.
    const bool latest = ticket.number == handedSaves_ && ticket.dated == datedSaves_;
    if (latest && !wrote && dateHeld_ && !ticket.changedAt) {
        lastWritten_.reset();
        dateHeld_ = false;
    } else if (latest && failed && ticket.changedAt) {
        lastWritten_ = ticket.dateBefore;
    }
    if (failed)
        return;
    forgetDocument();
    document_.emplace(outcome.snapshot, outcome.document);
    const QDateTime now = clock();
    if (wrote && !ticket.changedAt && ticket.dated == datedSaves_) {
        lastWritten_ = now;
        dateHeld_ = false;
    }
    const std::weak_ptr<ProfileStore*> alive = self_;
    lastSaved_.set(now);
    // Nothing new on disk means nothing new to upload; nor does data that a
    // remote apply has replaced since. An observer of lastSaved may have let the store go.
    if (!alive.expired() && wrote && !ticket.suppressOnSave && ticket.applies == remoteApplies_) {
        if (const SaveHandler handler = onSave)
            handler();
    }
}

std::optional<LoadResult> ProfileStore::loadFromDisk() { return readDisk().result; }

void ProfileStore::forgetDocument()
{
    if (document_)
        writer_->letGo(std::move(document_->first), std::move(document_->second));
    document_.reset();
}

ProfileStore::DiskState ProfileStore::readDisk()
{
    forgetDocument();
    DiskState state;
    // Each document read is decoded once; the one kept is the one loaded.
    const ProfilesFile::Loaded loaded = writer_->load([&state](const QByteArray& bytes) {
        std::optional<DecodedPayload> decoded = decodeDocument(bytes);
        if (!decoded) {
            state.result.reset();
            return ProfilesFile::Format::unreadable;
        }
        state.result = std::move(decoded->result);
        return decoded->isLegacy ? ProfilesFile::Format::legacy : ProfilesFile::Format::current;
    });
    postNotices(loaded.notices);
    state.wasDamaged = loaded.wasDamaged;
    state.date = loaded.modified;
    state.bytes = loaded.bytes;
    if (!loaded.bytes)
        state.result.reset();
    return state;
}

void ProfileStore::keepLoadedDocument(const DiskState& disk)
{
    // Without this, the first save, upload or comparison would encode the whole
    // document again to find what profiles.json already holds.
    if (!disk.result || !disk.bytes || disk.wasDamaged || disk.result->didMigrate ||
        !disk.result->activePacsProfileId || !disk.result->activeUserProfileId)
        return;
    const LoadResult& loaded = *disk.result;
    const ProfileSnapshot now = contents();
    if (now == ProfileSnapshot{loaded.pacsProfiles, loaded.userProfiles, *loaded.activePacsProfileId,
                               *loaded.activeUserProfileId, loaded.removedBuiltIns}) {
        document_.emplace(now, *disk.bytes);
        writer_->noteLoaded(now);
    }
}

void ProfileStore::reloadFromDisk()
{
    const DiskState disk = readDisk();
    if (disk.result) {
        replaceAll(disk.result->pacsProfiles, disk.result->userProfiles, disk.result->activePacsProfileId,
                   disk.result->activeUserProfileId, disk.result->removedBuiltIns);
    } else {
        QList<PacsProfile> pacs = ProfileTemplates::builtInPacsProfiles();
        QList<UserProfile> users = ProfileTemplates::defaultUserProfiles(pacs);
        replaceAll(std::move(pacs), std::move(users), std::nullopt, std::nullopt, {});
    }

    const bool changed = normalizeAll(false);
    if (changed || disk.wasDamaged || (disk.result && disk.result->didMigrate)) {
        save(false, disk.result ? disk.date : untouchedDate());
        return;
    }
    keepLoadedDocument(disk);
    // The file as read is the state now: its time is the time of the data.
    lastWritten_.reset();
    dateHeld_ = false;
    hasUnsavedChanges_ = false;
    // Profiles nobody changed were saved at no time the user would recognise.
    if (const auto modified = file_.modificationTime(); modified && *modified != untouchedDate())
        lastSaved_.set(*modified);
}

void ProfileStore::replaceAll(QList<PacsProfile> pacs, QList<UserProfile> users, std::optional<QUuid> activePacs,
                              std::optional<QUuid> activeUser, BuiltInRemovals removedBuiltIns)
{
    removedBuiltIns_ = std::move(removedBuiltIns);
    if (!activePacs && !pacs.isEmpty())
        activePacs = pacs.first().id;
    if (!activeUser && !users.isEmpty())
        activeUser = users.first().id;
    pacsProfiles_.set(std::move(pacs));
    userProfiles_.set(std::move(users));
    if (activePacs)
        activePacsProfileId_.set(*activePacs);
    if (activeUser)
        activeUserProfileId_.set(*activeUser);
}

ProfileSnapshot ProfileStore::contents() const
{
    return ProfileSnapshot{pacsProfiles_.get(), userProfiles_.get(), activePacsProfileId_.get(),
                           activeUserProfileId_.get(), removedBuiltIns_};
}

ProfilesFile::Format ProfileStore::formatOf(const QByteArray& bytes)
{
    try {
        const QJsonValue value = json::parse(bytes);
        try {
            PersistedProfiles::fromJson(value);
            return ProfilesFile::Format::current;
        } catch (const json::DecodeError&) {
        }
        LegacyPersistedProfiles::fromJson(value);
        return ProfilesFile::Format::legacy;
    } catch (const json::DecodeError&) {
        return ProfilesFile::Format::unreadable;
    }
}

void ProfileStore::later(std::function<void(ProfileStore&)> work)
{
    postToMain([weak = std::weak_ptr<ProfileStore*>(self_), work = std::move(work)] {
        if (const auto self = weak.lock())
            work(**self);
    });
}

void ProfileStore::notify(const QString& title, const QString& message)
{
    later([title, message](ProfileStore& store) {
        if (const ErrorHandler handler = store.onError)
            handler(title, message);
    });
}

void ProfileStore::logLater(const QString& line)
{
    later([line](ProfileStore& store) {
        if (const LogHandler handler = store.onLog)
            handler(line);
    });
}

void ProfileStore::postNotices(const QList<ProfilesFile::Notice>& notices)
{
    for (const ProfilesFile::Notice& notice : notices)
        notify(notice.title, notice.message);
}

} // namespace velmor
