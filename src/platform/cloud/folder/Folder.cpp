#include "platform/cloud/folder/Folder.h"

#include "platform/FileNames.h"
#include "platform/cloud/Error.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velmor::cloud::folder {

namespace {

QByteArray native(const QString& name) { return QFile::encodeName(name); }

Error writeError(const QString& path, int error)
{
    return Error(Error::Code::permissionFailure, writeErrorText(path, error));
}

Error notAFolder(const QString& path, files::FileKind kind)
{
    return Error(Error::Code::permissionFailure,
                 QStringLiteral("“%1” is %2, not a folder. Velmor uses only real folders inside the cloud folder.")
                     .arg(path, files::kindText(kind)));
}

} // namespace

QString writeErrorText(const QString& path, int error)
{
    return QStringLiteral("Could not write “%1”: %2").arg(path, files::systemErrorText(error));
}

Folder::Folder(UniqueFd fd, QString path, ChangeFault fault)
    : fd_(std::move(fd)), path_(std::move(path)), fault_(std::move(fault))
{
}

std::optional<Folder> Folder::openAccount(const QString& path, ChangeFault fault)
{
    UniqueFd fd(::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return std::nullopt;
    return Folder(std::move(fd), path, std::move(fault));
}

bool Folder::contains(const QString& name) const
{
    struct stat info {};
    return ::fstatat(fd_.get(), native(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT;
}

std::optional<Folder> Folder::child(const QString& name, bool create) const
{
    const QString path = pathOf(name);
    const auto open = [&] {
        return UniqueFd(::openat(fd_.get(), native(name).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    };
    UniqueFd fd = open();
    if (!fd && errno == ENOENT && create) {
        checkChange(name);
        if (::mkdirat(fd_.get(), native(name).constData(), 0777) != 0 && errno != EEXIST)
            throw writeError(path, errno);
        fd = open();
    }
    if (!fd) {
        const int error = errno;
        if (error == ENOENT)
            return std::nullopt;
        if (const files::FileKind kind = stamp(name).kind; kind != files::FileKind::folder)
            throw notAFolder(path, kind);
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not open the folder “%1”: %2").arg(path, files::systemErrorText(error)));
    }
    return Folder(std::move(fd), path, fault_);
}

files::FileRead Folder::read(const QString& name, qint64 maxBytes) const
{
    return files::readRegularAt(fd_.get(), name, pathOf(name), maxBytes);
}

void Folder::checkChange(const QString& name) const
{
    if (const int error = changeFault(name))
        throw writeError(pathOf(name), error);
}

void Folder::write(const QString& name, const QByteArray& bytes, const std::function<void()>& beforeReplace) const
{
    checkChange(name);
    // Hidden, so that no reader takes it for a record, an asset or a subscription.
    QByteArray temporary;
    UniqueFd fd;
    for (int attempt = 0; !fd; ++attempt) {
        // Cut to leave room for the 14 bytes around it, so that every name that fits can be written.
        temporary = native(u'.' + leftUtf8Bytes(name, maxFileNameBytes - 14) + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                       QLatin1Char('0')));
        fd.reset(::openat(fd_.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (const int error = errno; !fd && (error != EEXIST || attempt == 8))
            throw writeError(pathOf(name), error);
    }
    // A full disk may only show when the data goes out: at fsync() or close().
    int error = files::writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 ? 0 : errno;
    if (::close(fd.release()) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(fd_.get(), temporary.constData(), 0);
        throw writeError(pathOf(name), error);
    }
    if (beforeReplace) {
        try {
            beforeReplace();
        } catch (...) {
            ::unlinkat(fd_.get(), temporary.constData(), 0);
            throw;
        }
    }
    if (::renameat(fd_.get(), temporary.constData(), fd_.get(), native(name).constData()) != 0) {
        const int renameError = errno;
        ::unlinkat(fd_.get(), temporary.constData(), 0);
        throw writeError(pathOf(name), renameError);
    }
}

UniqueFd Folder::createNew(const QString& name, const QByteArray& bytes, int* error) const
{
    const QByteArray file = native(name);
    // O_EXCL never follows a link: a link in the place counts as taken.
    UniqueFd fd(::openat(fd_.get(), file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd) {
        *error = errno;
        return fd;
    }
    if (!files::writeAll(fd.get(), bytes)) {
        *error = errno;
        ::unlinkat(fd_.get(), file.constData(), 0);
        return {};
    }
    return fd;
}

void Folder::rename(const QString& from, const QString& to) const
{
    checkChange(to);
    if (::renameat(fd_.get(), native(from).constData(), fd_.get(), native(to).constData()) != 0)
        throw Error(Error::Code::permissionFailure, QStringLiteral("Could not move “%1” aside: %2")
                                                        .arg(pathOf(from), files::systemErrorText(errno)));
}

bool Folder::removeFile(const QString& name) const
{
    const files::FileKind kind = stamp(name).kind;
    if (kind == files::FileKind::missing)
        return false;
    if (kind != files::FileKind::regular)
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("“%1” is %2, not a regular file; it is left in place.")
                        .arg(pathOf(name), files::kindText(kind)));
    checkChange(name);
    if (::unlinkat(fd_.get(), native(name).constData(), 0) != 0 && errno != ENOENT)
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not delete “%1”: %2").arg(pathOf(name), files::systemErrorText(errno)));
    return true;
}

QStringList Folder::entries() const
{
    QStringList names;
    for (const QByteArray& name : nativeEntries())
        names.append(QFile::decodeName(name));
    return names;
}

QByteArrayList Folder::nativeEntries() const
{
    std::optional<QByteArrayList> listed = files::entryNamesAt(fd_.get());
    if (!listed)
        throw Error(Error::Code::permissionFailure,
                    QStringLiteral("Could not list “%1”: %2").arg(path_, files::systemErrorText(errno)));
    return std::move(*listed);
}

} // namespace velmor::cloud::folder
