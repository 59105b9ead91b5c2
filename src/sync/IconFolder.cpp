#include "sync/IconFolder.h"

#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {

// Hidden, and no icon's name: neither the picker nor the sync ever takes one for an icon.
const QByteArray temporaryPrefix = QByteArrayLiteral(".velmor-icon-");

// ".velmor-icon-‹pid›-‹n›": the writing process is named, so that another Velmor on the
// same folder removes only what processes that are gone left behind.
QByteArray temporaryName()
{
    return temporaryPrefix + QByteArray::number(::getpid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

// The writer of a temporary name: ".velmor-icon-‹pid›-‹n›", or ".velmor-icon-‹n›" as
// earlier versions named them.
std::optional<temporaryFolders::Writer> writerOfTemporary(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.velmor-icon-(?:([0-9]{1,10})-)?[0-9a-z]{1,13}$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    if (match.hasCaptured(1))
        return temporaryFolders::Writer{match.captured(1).toLongLong()};
    return temporaryFolders::Writer{};
}

timespec timeOf(const QDateTime& date)
{
    const qint64 ms = date.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
    return timespec{static_cast<time_t>(seconds), static_cast<long>((ms - seconds * 1000) * 1'000'000)};
}

// Renames `from` to `to` only while nothing is at `to`; false with errno set (EEXIST
// when something is). File systems without the flag get a link and an unlink instead.
bool renameToFreeName(int folder, const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) != 0)
        return false;
    ::unlinkat(folder, from.constData(), 0);
    return true;
}

UniqueFd openFolder(const QString& path)
{
    UniqueFd folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder && errno == ENOENT && QDir().mkpath(path))
        folder.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder;
}

} // namespace

IconFolder::IconFolder(QString path) : path_(std::move(path)) {}

QString IconFolder::filePath(const QString& fileName) const { return QDir(path_).filePath(fileName); }

files::FileStamp IconFolder::stamp(const QString& fileName) const { return files::fileStamp(filePath(fileName)); }

files::FileRead IconFolder::read(const QString& fileName, qint64 maxBytes) const
{
    return files::readRegular(filePath(fileName), maxBytes);
}

IconFolder::Written IconFolder::replace(const QString& fileName, const QByteArray& bytes, const QDateTime& date,
                                        const files::FileStamp& expected, const QString& keepAs)
{
    const UniqueFd folder = openFolder(path_);
    if (!folder)
        return {false, files::systemErrorText(errno), {}};
    QByteArray temporary;
    UniqueFd fd;
    for (int attempt = 0; !fd; ++attempt) {
        if (const int code = fault(Step::create))
            return {false, files::systemErrorText(code), {}};
        temporary = temporaryName();
        fd.reset(::openat(folder.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0666));
        if (!fd && (errno != EEXIST || attempt == 9))
            return {false, files::systemErrorText(errno), {}};
    }
    const auto discard = [&](int code) {
        fd.reset();
        ::unlinkat(folder.get(), temporary.constData(), 0);
        return Written{false, code ? files::systemErrorText(code) : QString(), {}};
    };
    if (const int code = fault(Step::write))
        return discard(code);
    if (!files::writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0)
        return discard(errno);
    if (date.isValid()) {
        const timespec times[2] = {{0, UTIME_OMIT}, timeOf(date)};
        ::futimens(fd.get(), times); // an undated file is still the drawing
    }
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd.release()) != 0)
        return discard(errno);

    const QByteArray target = QFile::encodeName(fileName);
    if (files::fileStampAt(folder.get(), fileName) != expected)
        return discard(0);
    const QByteArray kept = QFile::encodeName(keepAs);
    if (!keepAs.isEmpty() && !renameToFreeName(folder.get(), target, kept))
        return discard(errno == EEXIST || errno == ENOENT ? 0 : errno);
    // rename(2) replaces the entry itself: a link put there meanwhile is replaced, never followed.
    const bool placed = expected.kind == files::FileKind::missing || !keepAs.isEmpty()
        ? renameToFreeName(folder.get(), temporary, target)
        : ::renameat(folder.get(), temporary.constData(), folder.get(), target.constData()) == 0;
    if (!placed) {
        const int code = errno;
        if (!keepAs.isEmpty())
            renameToFreeName(folder.get(), kept, target);
        return discard(code == EEXIST ? 0 : code);
    }
    return {true, {}, files::fileStampAt(folder.get(), fileName)};
}

QStringList IconFolder::sweepTemporaries(const temporaryFolders::Processes& processes) const
{
    const UniqueFd folder(
        ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (!folder)
        return {};
    return temporaryFolders::removeLeftoverFiles(folder.get(), writerOfTemporary, processes);
}

} // namespace velmor
