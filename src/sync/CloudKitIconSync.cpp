#include "sync/CloudKitIconSync.h"

#include "model/CustomIcon.h"
#include "model/SvgIconImage.h"
#include "platform/FileNames.h"
#include "platform/MainQueue.h"
#include "platform/Text.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitIconSyncParts.h"
#include "sync/CloudReply.h"
#include "sync/IconFolder.h"
#include "sync/IconSpellings.h"
#include "sync/IconSyncTexts.h"

#include <QMap>

#include <algorithm>
#include <utility>

namespace velmor {

namespace {

// Names looked at in one turn of the main queue.
constexpr qsizetype namesPerTurn = 2000;

// Resumes on the next turn of the main queue, after what was posted before.
QCoro::Task<> nextTurn()
{
    cloudkit::ReplyAwaiter<bool> turn(
        [](cloud::Completion<bool> done) { postToMain([done] { done(true, std::nullopt); }); });
    co_await turn;
}

} // namespace

CloudKitIconSync::CloudKitIconSync(cloud::Database& database, QString iconsDirectory, QString temporaryDirectory,
                                   QString baseFolder, std::unique_ptr<IconFolder> folder)
    : database_(database),
      iconsDirectory_(std::move(iconsDirectory)),
      temporaryDirectory_(std::move(temporaryDirectory)),
      folder_(folder ? std::move(folder) : std::make_unique<IconFolder>(iconsDirectory_)),
      writes_(folder_),
      base_(baseFolder, [this](const QString& message) {
          if (onRefusal_)
              onRefusal_(message);
      }),
      keptCopies_(baseFolder, [this](const QString& message) {
          if (onRefusal_)
              onRefusal_(message);
      })
{
    writes_.sweepTemporaries();
    recallUntoldCopies();
}

CloudKitIconSync::~CloudKitIconSync() = default;

QCoro::Task<> CloudKitIconSync::requestSync(QStringList names)
{
    requested_ += names;
    if (passing_ || stopped_)
        co_return;
    passing_ = true;
    const std::weak_ptr<const int> alive = alive_;
    do {
        co_await nextTurn();
        if (alive.expired())
            co_return;
        co_await base_.ready();
        if (alive.expired())
            co_return;
        QStringList batch = std::exchange(requested_, {});
        // The icons this computer synced before go on syncing, used by a tool or not.
        for (const QString& record : base_.recordNames())
            batch.append(base_.entry(record)->file);
        co_await syncIcons(std::move(batch));
        if (alive.expired())
            co_return;
    } while (!requested_.isEmpty() && !stopped_);
    passing_ = false;
}

QCoro::Task<> CloudKitIconSync::syncIcons(QStringList names)
{
    const std::weak_ptr<const int> alive = alive_;
    // Named, not temporaries in the await: g++ 12 destroys those twice.
    QCoro::Task<QList<Icon>> named = iconsNamed(std::move(names));
    const QList<Icon> icons = co_await std::move(named);
    if (alive.expired())
        co_return;
    co_await runPass(icons, Mode::sync);
    if (!alive.expired())
        tell();
}

QCoro::Task<QStringList> CloudKitIconSync::takeIcons(QStringList names)
{
    const std::weak_ptr<const int> alive = alive_;
    QCoro::Task<QList<Icon>> named = iconsNamed(std::move(names));
    const QList<Icon> icons = co_await std::move(named);
    if (alive.expired())
        co_return QStringList();
    co_await runPass(icons, Mode::take);
    if (alive.expired())
        co_return QStringList();
    QStringList kept = notices_.takeKept();
    // The caller tells them.
    keptCopies_.told(kept);
    tell();
    co_return kept;
}

QCoro::Task<QList<CloudKitIconSync::Icon>> CloudKitIconSync::iconsNamed(QStringList names)
{
    const std::weak_ptr<const int> alive = alive_;
    const IconSpellings spellings = IconSpellings::inFolder(folder_->path());
    QMap<QString, Icon> icons;
    for (qsizetype i = 0; i < names.size(); ++i) {
        // A base of tens of thousands of icons: the window's thread gets turns between slices.
        if (i > 0 && i % namesPerTurn == 0) {
            co_await nextTurn();
            if (alive.expired())
                co_return QList<Icon>();
        }
        const QString& name = names[i];
        if (name.isEmpty())
            continue;
        Icon icon{iconBaseName(name), iconFileName(name)};
        // The name becomes a file name in the icons folder and a record name.
        if (icon.file.toUtf8().size() > maxFileNameBytes) {
            notices_.problem(name, iconNameTooLongText(name, icon.file), IconProblem::name);
            continue;
        }
        if (!isCustomIconFileName(icon.file) || !isPlainFileName(icon.record)) {
            notices_.problem(name, iconNameRefusedText(name), IconProblem::name);
            continue;
        }
        // One file per icon whatever the letter case of its extension: the one here, else
        // the spelling asked for (".svg" when several were).
        if (const std::optional<QString> here = spellings.fileOf(icon.record))
            icon.file = *here;
        else if (icons.contains(icon.record) && icon.file != icon.record + QStringLiteral(".svg"))
            continue;
        icons.insert(icon.record, icon);
    }
    for (const Icon& icon : std::as_const(icons))
        tellSpellings(icon, spellings.othersOf(icon.record));
    co_return icons.values();
}

void CloudKitIconSync::tellSpellings(const Icon& icon, const QStringList& others)
{
    if (others.isEmpty())
        return;
    const std::optional<QByteArray> synced = folder_->read(icon.file, SvgIconLimits::maxFileBytes).bytes;
    for (const QString& other : others) {
        const std::optional<QByteArray> drawing = folder_->read(other, SvgIconLimits::maxFileBytes).bytes;
        if (!synced || !drawing || *drawing == *synced)
            continue;
        // Told once per drawing, across restarts: both files stay as they are.
        const QByteArray hash = IconSyncBase::hashOf(*drawing);
        if (keptCopies_.spellingTold(other, hash))
            continue;
        keptCopies_.tellSpelling(other, hash);
        notices_.problem(icon.record, iconSpellingsText(icon.file, other, iconsDirectory_), IconProblem::name);
    }
}

QCoro::Task<> CloudKitIconSync::runPass(QList<Icon> icons, Mode mode)
{
    const std::weak_ptr<const int> alive = alive_;
    for (const Icon& icon : std::as_const(icons))
        named_.insert(icon.record);
    co_await base_.ready();
    for (const Icon& icon : std::as_const(icons)) {
        if (alive.expired())
            co_return;
        if (stopped_)
            break;
        co_await syncIcon(icon, mode);
    }
    if (!alive.expired())
        base_.write();
}

QCoro::Task<> CloudKitIconSync::syncIcon(Icon icon, Mode mode)
{
    const std::weak_ptr<const int> alive = alive_;
    std::optional<Local> local = inspectLocal(icon);
    if (!local)
        co_return;
    std::optional<cloud::Record> record;
    try {
        record = co_await fetchRecord(icon.record);
    } catch (const cloud::Error& error) {
        if (!alive.expired())
            reportRefusal(icon.record, error);
        co_return;
    } catch (...) {
        co_return;
    }
    if (alive.expired())
        co_return;
    // Another kind of record under the icon's name (the profiles record, say) is never
    // the icon's to read or to overwrite.
    if (record && record->recordType() != recordType)
        co_return;
    Remote remote = inspectRemote(icon, record);

    switch (decideIconStep(sidesOf(icon, *local, remote, mode))) {
    case IconStep::nothing:
        break;
    case IconStep::settle:
        settled(icon, {icon.file, *local->hash, record->recordChangeTag(), local->stamp});
        break;
    case IconStep::upload:
        co_await uploadIcon(std::move(icon), std::move(*local), std::move(record), std::nullopt);
        break;
    case IconStep::uploadKeepingRemote:
        co_await uploadIcon(std::move(icon), std::move(*local), std::move(record), std::move(remote));
        break;
    case IconStep::download:
        co_await downloadIcon(std::move(icon), std::move(*local), std::move(*record), std::move(remote), false);
        break;
    case IconStep::downloadKeepingLocal:
        co_await downloadIcon(std::move(icon), std::move(*local), std::move(*record), std::move(remote), true);
        break;
    }
}

std::optional<CloudKitIconSync::Local> CloudKitIconSync::inspectLocal(const Icon& icon)
{
    Local local;
    local.stamp = folder_->stamp(icon.file);
    if (local.stamp.kind == files::FileKind::missing)
        return local;
    if (const std::optional<QString> refused = localRefusalText(icon.file, iconsDirectory_, local.stamp)) {
        notices_.problem(icon.record, *refused, localRefusalKind(local.stamp));
        return std::nullopt;
    }
    local.date = std::min(dateOfNs(local.stamp.modifiedNs), QDateTime::currentDateTimeUtc());
    // A file as it last synced is not read again.
    const std::optional<IconSyncBase::Entry> base = base_.entry(icon.record);
    if (base && base->file == icon.file && base->stamp == local.stamp) {
        local.hash = base->hash;
        return local;
    }
    files::FileRead read = folder_->read(icon.file, SvgIconLimits::maxFileBytes);
    if (read.failure == files::ReadFailure::missing)
        return Local{};
    if (!read.bytes) {
        notices_.problem(icon.record, read.error, IconProblem::unreadable);
        return std::nullopt;
    }
    // Being written now: the next sync finds it whole.
    if (folder_->stamp(icon.file) != local.stamp)
        return std::nullopt;
    local.hash = IconSyncBase::hashOf(*read.bytes);
    local.bytes = std::move(read.bytes);
    return local;
}

CloudKitIconSync::Remote CloudKitIconSync::inspectRemote(const Icon& icon, const std::optional<cloud::Record>& record)
{
    Remote remote;
    if (!record)
        return remote;
    // A date later than this machine's clock counts as now.
    remote.date = std::min(remoteDate(*record).value_or(QDateTime()), QDateTime::currentDateTimeUtc());
    remote.hasPreview = record->asset(pngAssetKey).has_value();
    const std::optional<cloud::Asset> asset = record->asset(svgAssetKey);
    if (!asset || asset->filePath.isEmpty())
        return remote;
    remote.present = true;
    // The record as it last synced holds the drawing the base knows.
    const std::optional<IconSyncBase::Entry> base = base_.entry(icon.record);
    if (base && !record->recordChangeTag().isEmpty() && base->changeTag == record->recordChangeTag()) {
        remote.usable = true;
        remote.hash = base->hash;
        return remote;
    }
    files::FileRead read = files::readRegular(asset->filePath, SvgIconLimits::maxFileBytes);
    if (!read.bytes) {
        notices_.problem(icon.record, remoteRefusalText(icon.file, read.error), IconProblem::refusedInCloud);
        return remote;
    }
    remote.usable = true;
    remote.hash = IconSyncBase::hashOf(*read.bytes);
    remote.document = std::move(read.bytes);
    return remote;
}

IconSides CloudKitIconSync::sidesOf(const Icon& icon, const Local& local, const Remote& remote, Mode mode) const
{
    const std::optional<IconSyncBase::Entry> base = base_.entry(icon.record);
    return IconSides{local.hash,
                     local.date,
                     remote.present,
                     remote.usable,
                     remote.hash,
                     remote.date,
                     remote.hasPreview,
                     base ? std::optional(base->hash) : std::nullopt,
                     // A kept copy that has not synced as an icon, as it was kept, gives way to
                     // another machine's icon of its name; with no such icon, a tool that uses it
                     // takes it up like any other, and one the user changed is theirs.
                     mode == Mode::take ||
                         (!base && local.hash && keptCopies_.holdsKeptDrawing(icon.file, *local.hash)),
                     mode != Mode::take};
}

void CloudKitIconSync::settled(const Icon& icon, IconSyncBase::Entry entry)
{
    base_.remember(icon.record, std::move(entry));
    // An icon from now on, synced as any other.
    keptCopies_.remove(icon.file);
    notices_.settled(icon.record);
    // A kill loses the syncs since the last write only; they then compare as drawings.
    if (++settledSinceWrite_ >= baseWriteInterval) {
        settledSinceWrite_ = 0;
        base_.write();
    }
}

void CloudKitIconSync::reportRefusal(const QString& name, const cloud::Error& error)
{
    // Conflicts, outages and a missing account pass; the next sync compares again.
    if (isRecordRefusal(error))
        notices_.problem(name, iconCloudRefusalText(name, error.localizedDescription()), IconProblem::cloud);
}

void CloudKitIconSync::tell()
{
    const IconNotices::Messages messages = notices_.take(iconsDirectory_);
    if (onLog_ && !messages.logLines.isEmpty())
        onLog_(messages.logLines);
    if (messages.problems && onRefusal_)
        onRefusal_(*messages.problems);
    if (messages.kept && onKept_) {
        onKept_(*messages.kept, messages.keptLines);
        keptCopies_.told(messages.keptFiles);
    }
}

void CloudKitIconSync::recallUntoldCopies()
{
    const QStringList untold = keptCopies_.untold();
    for (const QString& file : keptCopies_.files()) {
        if (folder_->stamp(file).kind != files::FileKind::regular)
            keptCopies_.remove(file);
        else if (untold.contains(file))
            notices_.kept(file);
    }
}

QString CloudKitIconSync::iconBaseName(const QString& name)
{
    QStringView path(name);
    while (path.endsWith(u'/'))
        path.chop(1);
    QStringView last = path.mid(path.lastIndexOf(u'/') + 1);
    // A leading dot starts a hidden name, not an extension.
    if (const qsizetype dot = last.lastIndexOf(u'.'); dot > 0)
        last.truncate(dot);
    return last.toString();
}

QString CloudKitIconSync::iconFileName(const QString& name)
{
    QStringView path(name);
    while (path.endsWith(u'/'))
        path.chop(1);
    const QStringView last = path.mid(path.lastIndexOf(u'/') + 1);
    if (last.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive))
        return last.toString();
    return iconBaseName(name) + QStringLiteral(".svg");
}

std::optional<QString> CloudKitIconSync::localIconURL(const QString& baseName) const
{
    for (const QString& spelling : customIconFileSpellings(baseName + QStringLiteral(".svg")))
        if (folder_->stamp(spelling).kind != files::FileKind::missing)
            return QDir(iconsDirectory_).filePath(spelling);
    return std::nullopt;
}

std::optional<QDateTime> CloudKitIconSync::remoteDate(const cloud::Record& record)
{
    if (auto updatedAt = record.date(updatedAtKey))
        return updatedAt;
    return record.modificationDate();
}

QCoro::Task<std::optional<cloud::Record>> CloudKitIconSync::fetchRecord(QString recordName)
{
    // The owner keeps the database alive for as long as this object; the call only
    // needs to reach it, so the handle owns nothing.
    std::shared_ptr<cloud::Database> database(std::shared_ptr<cloud::Database>(), &database_);
    co_return co_await cloudkit::fetchRecord(std::move(database), std::move(recordName));
}

QCoro::Task<cloud::Record> CloudKitIconSync::saveRecord(cloud::Record record)
{
    std::shared_ptr<cloud::Database> database(std::shared_ptr<cloud::Database>(), &database_);
    co_return co_await cloudkit::saveRecord(std::move(database), std::move(record));
}

} // namespace velmor
