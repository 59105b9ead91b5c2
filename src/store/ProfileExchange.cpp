#include "store/ProfileExchange.h"

#include "platform/Json.h"
#include "platform/RegularFile.h"
#include "store/FileSystem.h"

#include <QFileInfo>

#include <cerrno>

namespace velmor {

namespace {
QString displayName(const QString& path) { return QFileInfo(path).fileName(); }
} // namespace

QByteArray ProfileExchange::readFile(const QString& path)
{
    // The user may have picked a link of their own: it is resolved first, and what it
    // leads to is read like any other file, never blocking on a pipe or a device.
    const QString target = QFileInfo(path).canonicalFilePath();
    const QString name = displayName(path);
    const auto unreadable = [&](const QString& reason) {
        return FileError(QStringLiteral("The file “%1” could not be read: %2.").arg(name, reason));
    };
    if (target.isEmpty())
        throw unreadable(files::systemErrorText(ENOENT));
    files::FileRead read = files::readRegularAt(AT_FDCWD, target, name, maxFileSize);
    switch (read.failure) {
    case files::ReadFailure::none:
        return std::move(*read.bytes);
    case files::ReadFailure::missing:
        throw unreadable(files::systemErrorText(ENOENT));
    case files::ReadFailure::notRegular:
        throw unreadable(QStringLiteral("it is not a regular file"));
    case files::ReadFailure::tooLarge:
        throw FileError(QStringLiteral("The file “%1” is too large to be a profile (more than %2 MB).")
                            .arg(name)
                            .arg(maxFileSize / (1024 * 1024)));
    case files::ReadFailure::failed:
        break;
    }
    throw FileError(read.error);
}

void ProfileExchange::writeFile(const QString& path, const QByteArray& bytes)
{
    try {
        LocalFileSystem().write(path, bytes);
    } catch (const FileError& error) {
        throwNotWritten(path, error);
    }
}

void ProfileExchange::throwNotWritten(const QString& path, const FileError& error)
{
    QString reason = error.description();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    throw FileError(QStringLiteral("The file “%1” could not be written: %2.").arg(displayName(path), reason));
}

QByteArray ProfileExchange::encodeUserProfile(const UserProfileExport& file) { return json::encode(file.toJson()); }

QByteArray ProfileExchange::encodePacsProfile(const PacsProfile& profile) { return json::encode(profile.toJson()); }

UserProfileExport ProfileExchange::decodeUserProfile(const QByteArray& bytes)
{
    const QJsonValue document = json::parse(bytes);
    try {
        return UserProfileExport::fromJson(document);
    } catch (const json::DecodeError&) {
        // When neither form fits, the bare form's fault is the one reported.
        return UserProfileExport{UserProfile::fromJson(document), std::nullopt, std::nullopt};
    }
}

PacsProfile ProfileExchange::decodePacsProfile(const QByteArray& bytes)
{
    return PacsProfile::fromJson(json::parse(bytes));
}

} // namespace velmor
