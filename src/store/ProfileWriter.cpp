#include "store/ProfileWriter.h"

#include "platform/MainQueue.h"
#include "store/PersistedProfiles.h"
#include "store/UntoldKeptFiles.h"

#include <utility>

namespace velmor {

bool ProfileSnapshot::operator==(const ProfileSnapshot& other) const
{
    // QList compares shared data first, so lists nobody changed cost nothing.
    return activePacs == other.activePacs && activeUser == other.activeUser && pacs == other.pacs
        && users == other.users && removedBuiltIns == other.removedBuiltIns;
}

QByteArray ProfileSnapshot::encode(qsizetype expectedSize) const
{
    PersistedProfiles document;
    document.version = PersistedProfiles::currentVersion;
    document.activePacsProfileId = activePacs;
    document.activeUserProfileId = activeUser;
    document.pacsProfiles = pacs;
    document.userProfiles = users;
    document.removedBuiltIns = removedBuiltIns;
    return document.encode(expectedSize);
}

ProfileWriter::ProfileWriter(ProfilesFile& file)
    : file_(file), queue_(SerialQueue::create(QStringLiteral("com.velmor.profiles")))
{
}

ProfileWriter::~ProfileWriter() { flush(); }

void ProfileWriter::write(ProfileSnapshot snapshot, const std::optional<QDateTime>& changedAt, Done done)
{
    {
        const std::lock_guard lock(mutex_);
        if (pending_) {
            // Not started yet: the newer state goes in its place, with its date.
            pending_->snapshot = std::move(snapshot);
            pending_->changedAt = changedAt;
            pending_->done.append(std::move(done));
            return;
        }
        pending_ = Pending{std::move(snapshot), changedAt, {std::move(done)}};
    }
    queue_->async([this] { writePending(); });
}

ProfilesFile::Loaded ProfileWriter::load(const ProfilesFile::Classifier& decode)
{
    return queue_->sync([this, &decode] {
        written_.reset();
        return file_.load(decode);
    });
}

void ProfileWriter::noteLoaded(ProfileSnapshot snapshot)
{
    queue_->async([this, snapshot = std::move(snapshot)] { written_ = snapshot; });
}

void ProfileWriter::letGo(ProfileSnapshot snapshot, QByteArray document)
{
    auto held = std::make_shared<std::pair<ProfileSnapshot, QByteArray>>(std::move(snapshot), std::move(document));
    // Emptied by the job, whichever copy of it goes last.
    queue_->async([held] { *held = {}; });
}

void ProfileWriter::flush()
{
    queue_->sync([] {});
}

void ProfileWriter::writePending()
{
    std::optional<Pending> pending;
    {
        const std::lock_guard lock(mutex_);
        pending.swap(pending_);
    }
    if (!pending)
        return;
    Outcome outcome = writeNow(pending->snapshot, pending->changedAt);
    postToMain([outcome = std::move(outcome), done = std::move(pending->done)] {
        for (const Done& each : done)
            each(outcome);
    });
}

ProfileWriter::Outcome ProfileWriter::writeNow(const ProfileSnapshot& snapshot,
                                               const std::optional<QDateTime>& changedAt)
{
    ProfilesFile::SaveResult result;
    if (written_ && *written_ == snapshot) {
        result = file_.saveAgain(changedAt);
    } else {
        const std::optional<QByteArray> last = file_.lastDocument();
        result = file_.save(snapshot.encode(last ? last->size() : 0), changedAt);
    }
    // Remembered at once: at quit the outcome never reaches the window's thread.
    for (const QString& kept : result.keptExternal)
        untoldKeptFiles::add(kept);
    Outcome outcome{result.outcome, result.notices, {}, {}, result.keptExternal, result.unwritable};
    if (result.outcome != ProfilesFile::SaveOutcome::failed) {
        written_ = snapshot;
        outcome.snapshot = snapshot;
        outcome.document = file_.lastDocument().value_or(QByteArray());
    }
    return outcome;
}

} // namespace velmor
