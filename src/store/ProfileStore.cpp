#include "store/ProfileStore.h"

#include "model/ProfileTemplates.h"
#include "platform/Bundle.h"
#include "platform/Json.h"
#include "platform/MainQueue.h"
#include "platform/Paths.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/PersistedProfiles.h"

#include <QTimeZone>

namespace velmor {

ProfileStore::ProfileStore() : ProfileStore(std::make_shared<LocalFileSystem>()) {}

ProfileStore::ProfileStore(std::shared_ptr<FileSystem> fileSystem)
    : activePacsProfileId_(QUuid::createUuid()),
      activeUserProfileId_(QUuid::createUuid()),
      self_(std::make_shared<ProfileStore*>(this)),
      file_(paths::applicationSupport(), fileSystem, &ProfileStore::formatOf)
{
    try {
        fileSystem->makeFolder(paths::applicationSupport());
    } catch (const FileError&) {
        // The first save reports it.
    }
    isFreshInstall_ = !file_.exists();

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
               loaded ? loaded->activeUserProfileId : std::nullopt);

    const bool changed = normalizeAll(false);
    // Repairing what was loaded is no change of the user's: the data keeps its date.
    if (!file_.exists() || changed || needsSave)
        save(false, disk.result ? disk.date : untouchedDate());
}

ProfileStore::~ProfileStore() = default;

QDateTime ProfileStore::untouchedDate() { return QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc()); }

std::optional<QDateTime> ProfileStore::lastModifiedDate() const
{
    if (lastWritten_)
        return lastWritten_;
    return file_.modificationTime();
}

void ProfileStore::save(bool suppressOnSave) { save(suppressOnSave, std::nullopt); }

void ProfileStore::save(bool suppressOnSave, const std::optional<QDateTime>& changedAt)
{
    const std::optional<QDateTime> previousDate = lastModifiedDate();
    const Contents now = contents();
    const bool unchanged = written_ && now.isUnchanged(*written_);
    const ProfilesFile::SaveResult result
        = unchanged ? file_.saveAgain(changedAt) : file_.save(encodedDocument(now), changedAt);
    postNotices(result.notices);
    hasUnsavedChanges_ = result.outcome == ProfilesFile::SaveOutcome::failed;
    if (hasUnsavedChanges_)
        return;
    written_ = now;
    const bool wrote = result.outcome == ProfilesFile::SaveOutcome::written;
    // Until the outcome arrives, the date stays what it was before the write.
    if (wrote && !lastWritten_)
        lastWritten_ = previousDate;
    // Data taken from elsewhere is as recent as its change, written or already on disk;
    // outcomes of earlier saves that arrive later do not date it again.
    if (changedAt) {
        lastWritten_ = changedAt;
        ++datedSaves_;
    }
    later([wrote, suppressOnSave, changedAt, applies = remoteApplies_, dated = datedSaves_](ProfileStore& store) {
        const QDateTime now = store.clock();
        if (wrote && !changedAt && dated == store.datedSaves_)
            store.lastWritten_ = now;
        store.lastSaved_.set(now);
        // Nothing new on disk means nothing new to upload; nor does data that a
        // remote apply has replaced since.
        if (wrote && !suppressOnSave && applies == store.remoteApplies_) {
            if (const SaveHandler handler = store.onSave)
                handler();
        }
    });
}

std::optional<LoadResult> ProfileStore::loadFromDisk() { return readDisk().result; }

ProfileStore::DiskState ProfileStore::readDisk()
{
    written_.reset();
    DiskState state;
    // Each document read is decoded once; the one kept is the one loaded.
    const ProfilesFile::Loaded loaded = file_.load([&state](const QByteArray& bytes) {
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
    if (!loaded.bytes)
        state.result.reset();
    return state;
}

void ProfileStore::reloadFromDisk()
{
    const DiskState disk = readDisk();
    if (disk.result) {
        replaceAll(disk.result->pacsProfiles, disk.result->userProfiles, disk.result->activePacsProfileId,
                   disk.result->activeUserProfileId);
    } else {
        QList<PacsProfile> pacs = ProfileTemplates::builtInPacsProfiles();
        QList<UserProfile> users = ProfileTemplates::defaultUserProfiles(pacs);
        replaceAll(std::move(pacs), std::move(users), std::nullopt, std::nullopt);
    }

    const bool changed = normalizeAll(false);
    if (changed || disk.wasDamaged) {
        save(false, disk.result ? disk.date : untouchedDate());
        return;
    }
    // The file as read is the state now: its time is the time of the data.
    lastWritten_.reset();
    hasUnsavedChanges_ = false;
    // Profiles nobody changed were saved at no time the user would recognise.
    if (const auto modified = file_.modificationTime(); modified && *modified != untouchedDate())
        lastSaved_.set(*modified);
}

void ProfileStore::replaceAll(QList<PacsProfile> pacs, QList<UserProfile> users, std::optional<QUuid> activePacs,
                              std::optional<QUuid> activeUser)
{
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

ProfileStore::Contents ProfileStore::contents() const
{
    return Contents{pacsProfiles_.get(), userProfiles_.get(), activePacsProfileId_.get(), activeUserProfileId_.get()};
}

bool ProfileStore::Contents::isUnchanged(const Contents& written) const
{
    // Same data and size: the same list, which no one changed in place.
    const auto same = [](const auto& a, const auto& b) { return a.constData() == b.constData() && a.size() == b.size(); };
    return same(pacs, written.pacs) && same(users, written.users) && activePacs == written.activePacs
        && activeUser == written.activeUser;
}

QByteArray ProfileStore::encodedDocument(const Contents& contents) const
{
    if (written_ && contents.isUnchanged(*written_)) {
        if (auto last = file_.lastDocument())
            return *last;
    }
    PersistedProfiles document;
    document.version = 6;
    document.activePacsProfileId = contents.activePacs;
    document.activeUserProfileId = contents.activeUser;
    document.pacsProfiles = contents.pacs;
    document.userProfiles = contents.users;
    const std::optional<QByteArray> last = file_.lastDocument();
    return document.encode(last ? last->size() : 0);
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

void ProfileStore::postNotices(const QList<ProfilesFile::Notice>& notices)
{
    for (const ProfilesFile::Notice& notice : notices)
        notify(notice.title, notice.message);
}

} // namespace velmor
