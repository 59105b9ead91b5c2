#include "store/ProfilesFile.h"

#include "platform/Json.h"

#include <QFileInfo>

namespace velmor {

namespace {
const QString warningTitle = QStringLiteral("Profile Data Warning");
const QString saveFailedTitle = QStringLiteral("Save Failed");

// `cause` says what is wrong with the file, in a sentence of its own.
QString damagedText(const std::optional<QString>& kept, const QString& cause)
{
    if (!kept)
        return QStringLiteral("The profiles file could not be used. ") + cause;
    return QStringLiteral("The profiles file could not be used and was kept as %1. ").arg(QFileInfo(*kept).fileName())
        + cause;
}
} // namespace

ProfilesFile::ProfilesFile(const QString& folder, std::shared_ptr<FileSystem> fileSystem, Classifier classify)
    : path_(folder + QStringLiteral("/profiles.json")), fileSystem_(std::move(fileSystem)), classify_(std::move(classify))
{
}

QString ProfilesFile::keptPath(const QString& kind, int n) const
{
    return path_ + kind + (n > 1 ? u'-' + QString::number(n) : QString());
}

std::optional<QDateTime> ProfilesFile::modificationTime() const { return fileSystem_->modificationTime(path_); }

std::optional<QString> ProfilesFile::unwritableFolder() const
{
    return fileSystem_->unwritableFolder(QFileInfo(path_).path());
}

ProfilesFile::Notice ProfilesFile::unwritableNotice(const QString& cause) const
{
    return {saveFailedTitle,
            QStringLiteral("Changes to your profiles cannot be saved: the data folder “%1” cannot be written (%2). "
                           "Velmor uses the profiles it has and syncs nothing until the folder can be written again; "
                           "your changes are saved then, with the next change or when Velmor quits.")
                .arg(QFileInfo(path_).path(), cause)};
}

std::optional<QByteArray> ProfilesFile::tryRead(const QString& path, QString* error) const
{
    try {
        return fileSystem_->read(path);
    } catch (const FileError& failure) {
        if (error)
            *error = failure.description();
        return std::nullopt;
    }
}

QString ProfilesFile::decodeProblem(const QByteArray& bytes) const
{
    try {
        json::parse(bytes);
    } catch (const json::DecodeError&) {
        return QStringLiteral("“%1” is not valid JSON.").arg(path_);
    }
    return QStringLiteral("“%1” holds no profiles in a form Velmor can read.").arg(path_);
}

bool ProfilesFile::isUsable(const std::optional<QByteArray>& bytes) const
{
    return bytes && classify_(*bytes) != Format::unreadable;
}

template <typename Work>
std::optional<FileStamp> ProfilesFile::stampAround(Work work)
{
    const std::optional<FileStamp> before = fileSystem_->stamp(path_);
    work();
    return before == fileSystem_->stamp(path_) ? before : std::nullopt;
}

ProfilesFile::Loaded ProfilesFile::load(const Classifier& decode)
{
    const Classifier& judge = decode ? decode : classify_;
    Loaded loaded;
    last_.reset();
    if (!fileSystem_->exists(path_)) {
        saw(std::nullopt);
        return loaded;
    }
    std::optional<QByteArray> bytes;
    QString cause;
    const std::optional<FileStamp> stamp = stampAround([&] { bytes = tryRead(path_, &cause); });
    const Format format = bytes ? judge(*bytes) : Format::unreadable;
    saw(bytes);
    if (format != Format::unreadable) {
        last_ = Document{*bytes, format, stamp};
        loaded.bytes = bytes;
        loaded.modified = fileSystem_->modificationTime(path_);
        return loaded;
    }

    loaded.wasDamaged = true;
    if (bytes)
        cause = decodeProblem(*bytes);
    const std::optional<QString> kept = keepDamaged(bytes);
    const std::optional<QByteArray> backup = fileSystem_->exists(backupPath()) ? tryRead(backupPath()) : std::nullopt;
    if (backup && judge(*backup) != Format::unreadable) {
        loaded.bytes = backup;
        loaded.fromBackup = true;
        loaded.modified = fileSystem_->modificationTime(backupPath());
    }
    loaded.notices.append({warningTitle,
                           damagedText(kept, cause) + ' '
                               + (loaded.fromBackup ? QStringLiteral("Your profiles were loaded from the backup.")
                                                    : QStringLiteral("The default profiles were loaded."))});
    return loaded;
}

ProfilesFile::Notice ProfilesFile::untoldExternalNotice(const QString& kept) const
{
    return {warningTitle,
            QStringLiteral("“%1” was changed outside Velmor the last time Velmor ran. That version is kept as “%2”, and "
                           "Velmor's profiles were saved in its place. To use that version, quit Velmor, put “%3” in "
                           "place of “%4”, and open Velmor again.")
                .arg(path_, kept, QFileInfo(kept).fileName(), fileSystem_->resolve(path_))};
}

ProfilesFile::Notice ProfilesFile::unfinishedCopyNotice(const QString& file, const QString& kept)
{
    return {warningTitle, QStringLiteral("Velmor stopped while it kept a copy of “%1” aside. That copy, which holds "
                                         "other data than the file now, is kept as “%2”.")
                              .arg(file, kept)};
}

std::optional<QByteArray> ProfilesFile::lastDocument() const
{
    return last_ ? std::optional<QByteArray>(last_->bytes) : std::nullopt;
}

bool ProfilesFile::hasStampOfLastDocument() const
{
    return last_ && last_->stamp && fileSystem_->stamp(path_) == last_->stamp;
}

bool ProfilesFile::holdsLastDocument()
{
    if (!last_)
        return false;
    if (hasStampOfLastDocument())
        return true;
    // Written again or touched since: the bytes decide.
    std::optional<QByteArray> bytes;
    const std::optional<FileStamp> stamp = stampAround([&] { bytes = tryRead(path_); });
    if (bytes != last_->bytes)
        return false;
    last_->stamp = stamp;
    return true;
}

void ProfilesFile::replaceWith(const QString& target, const QByteArray& bytes)
{
    OwnTemporary temporary(*fileSystem_, target, bytes);
    // A copy of the profiles is no more open than the profiles file itself.
    fileSystem_->copyPermissions(fileSystem_->resolve(path_), temporary.path());
    fileSystem_->rename(temporary.path(), target);
    temporary.published();
}

QString ProfilesFile::keepAside(const QString& kind, const QByteArray& bytes)
{
    // A copy of the profiles is no more open than the profiles file itself.
    return keepCopyAtFreeName(*fileSystem_, bytes, keptPath(kind, 1), fileSystem_->resolve(path_));
}

std::optional<QString> ProfilesFile::keepDamaged(const std::optional<QByteArray>& bytes)
{
    try {
        if (!bytes) {
            // Not even readable: moved aside whole, a folder or a FIFO as it is.
            return moveToFirstFreeName(*fileSystem_, path_, damagedPath());
        }
        if (keptDamaged_ != bytes) {
            keptDamagedPath_ = keepAside(QStringLiteral(".damaged"), *bytes);
            keptDamaged_ = bytes;
        }
        return keptDamagedPath_;
    } catch (const FileError&) {
        return std::nullopt;
    }
}

ProfilesFile::SaveResult ProfilesFile::save(const QByteArray& document, const std::optional<QDateTime>& changedAt)
{
    return save(document, last_ && last_->bytes == document, changedAt);
}

ProfilesFile::SaveResult ProfilesFile::saveAgain(const std::optional<QDateTime>& changedAt)
{
    Q_ASSERT(last_);
    return save(last_->bytes, true, changedAt);
}

bool ProfilesFile::date(const QString& path, const std::optional<QDateTime>& time)
{
    if (!time || fileSystem_->modificationTime(path) == time)
        return false;
    try {
        fileSystem_->setModificationTime(path, *time);
        return true;
    } catch (const FileError&) {
        return false;
    }
}

ProfilesFile::SaveResult ProfilesFile::save(const QByteArray& document, bool isLast,
                                            const std::optional<QDateTime>& changedAt)
{
    SaveResult result;
    try {
        if (isLast && holdsLastDocument()) {
            saw(last_->bytes);
            if (date(fileSystem_->resolve(path_), changedAt))
                last_->stamp = fileSystem_->stamp(path_);
            result.outcome = SaveOutcome::unchanged;
            return result;
        }
        // A copy: `document` may be the last document itself, which the write replaces.
        const QByteArray bytes = document;
        writeDocument(bytes, changedAt, result);
        last_ = Document{bytes, Format::current, fileSystem_->stamp(path_)};
        result.outcome = SaveOutcome::written;
    } catch (const FileError& error) {
        const QString failure = QStringLiteral("Failed to save profiles: ") + error.description();
        if (const std::optional<QString> cause = unwritableFolder()) {
            // Nothing could be written, so nothing needs restoring: one notice says it all.
            result.notices = {unwritableNotice(*cause)};
            result.unwritable = failure;
        } else {
            result.notices.append({saveFailedTitle, failure});
            restoreBackup(result.notices);
        }
        result.outcome = SaveOutcome::failed;
    }
    return result;
}

ProfilesFile::CurrentFile ProfilesFile::currentFile()
{
    if (hasStampOfLastDocument())
        return {last_->bytes, last_->format, QString()};
    QString cause;
    const std::optional<QByteArray> current = tryRead(path_, &cause);
    if (last_ && current == last_->bytes)
        return {current, last_->format, cause};
    const Format format = current ? classify_(*current) : Format::unreadable;
    if (current && format == Format::unreadable)
        cause = decodeProblem(*current);
    return {current, format, cause};
}

void ProfilesFile::keepExternal(const CurrentFile& current, SaveResult& result)
{
    const bool ours = !seen_ || *seen_ == current.bytes || (last_ && current.bytes == last_->bytes);
    if (ours || !current.bytes || current.format == Format::unreadable || keptExternal_ == current.bytes)
        return;
    QString kept;
    try {
        kept = keepAside(QStringLiteral(".external"), *current.bytes);
    } catch (const FileError& error) {
        throw FileError(QStringLiteral("“%1” was changed outside Velmor and could not be kept aside: %2")
                            .arg(path_, error.description()));
    }
    keptExternal_ = current.bytes;
    result.keptExternal.append(kept);
    result.notices.append({warningTitle, QStringLiteral("“%1” was changed outside Velmor while Velmor ran. That version is "
                                                 "kept as “%2”, and Velmor's profiles are saved in its place.")
                                      .arg(path_, kept)});
}

void ProfilesFile::writeDocument(const QByteArray& document, const std::optional<QDateTime>& changedAt,
                                 SaveResult& result)
{
    const std::optional<FileStamp> judged = fileSystem_->stamp(path_);
    if (fileSystem_->exists(path_)) {
        const CurrentFile currentNow = currentFile();
        keepExternal(currentNow, result);
        const auto& [current, format, cause] = currentNow;
        if (format == Format::unreadable) {
            // The backup stays as it is: it may be the last good copy.
            const bool reported = current && keptDamaged_ == current;
            const std::optional<QString> kept = keepDamaged(current);
            if (!kept)
                throw FileError(QStringLiteral("The unreadable profiles file could not be kept aside."));
            if (!reported)
                result.notices.append({warningTitle, damagedText(kept, cause)});
        } else {
            if (format == Format::legacy && keptLegacy_ != current) {
                keepAside(QStringLiteral(".legacy"), *current);
                keptLegacy_ = current;
            }
            replaceWith(fileSystem_->resolve(backupPath()), *current);
        }
    }

    // Beside the file the content lives in: a link the user made to it stays.
    const QString target = fileSystem_->resolve(path_);
    OwnTemporary temporary(*fileSystem_, target, document);
    // The bytes on disk are checked, not decoded again: they are the document or the save fails.
    if (fileSystem_->read(temporary.path()) != document)
        throw FileError(QStringLiteral("The saved profiles could not be read back."));
    // Dated before it is published, so that profiles.json never shows the time of the write.
    date(temporary.path(), changedAt);
    fileSystem_->copyPermissions(target, temporary.path());
    // Written by someone else while this save ran: that version is kept too.
    if (fileSystem_->stamp(path_) != judged)
        keepExternal(currentFile(), result);
    fileSystem_->rename(temporary.path(), target);
    temporary.published();
    saw(document);
}

void ProfilesFile::restoreBackup(QList<Notice>& notices)
{
    // profiles.json untouched by the failed save: nothing to restore.
    if (fileSystem_->exists(path_) && isUsable(tryRead(path_)))
        return;
    if (!fileSystem_->exists(backupPath()))
        return;
    try {
        const QByteArray backup = fileSystem_->read(backupPath());
        if (!isUsable(backup))
            return;
        // What is there goes aside first: nothing is written over.
        if (fileSystem_->exists(path_) && !keepDamaged(tryRead(path_)))
            throw FileError(QStringLiteral("The unreadable profiles file could not be kept aside."));
        replaceWith(fileSystem_->resolve(path_), backup);
        saw(backup);
        notices.append({QStringLiteral("Restored from Backup"),
                        QStringLiteral("Your previous profile data has been restored.")});
    } catch (const FileError& error) {
        notices.append({QStringLiteral("Critical Error"),
                        QStringLiteral("Failed to restore from backup: ") + error.description()});
    }
}

} // namespace velmor
