#include "store/ProfileExchange.h"

#include "platform/Json.h"
#include "store/FileSystem.h"

#include <QFile>
#include <QFileInfo>

namespace velmor {

namespace {
QString displayName(const QString& path) { return QFileInfo(path).fileName(); }
} // namespace

QByteArray ProfileExchange::readFile(const QString& path)
{
    // Folders, devices and pipes are refused before opening: a pipe would block here.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        throw FileError(
            QStringLiteral("The file “%1” could not be read: it is not a regular file.").arg(displayName(path)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw FileError(
            QStringLiteral("The file “%1” could not be read: %2.").arg(displayName(path), file.errorString()));
    }
    // One byte past the limit tells a file that is too large.
    const QByteArray bytes = file.read(maxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        throw FileError(
            QStringLiteral("The file “%1” could not be read: %2.").arg(displayName(path), file.errorString()));
    }
    if (bytes.size() > maxFileSize) {
        throw FileError(QStringLiteral("The file “%1” is too large to be a profile (more than %2 MB).")
                            .arg(displayName(path))
                            .arg(maxFileSize / (1024 * 1024)));
    }
    return bytes;
}

void ProfileExchange::writeFile(const QString& path, const QByteArray& bytes)
{
    try {
        LocalFileSystem().write(path, bytes);
    } catch (const FileError& error) {
        throw FileError(
            QStringLiteral("The file “%1” could not be written: %2.").arg(displayName(path), error.description()));
    }
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
