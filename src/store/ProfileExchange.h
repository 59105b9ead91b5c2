#pragma once

#include "model/PacsProfile.h"
#include "store/FileSystem.h"
#include "store/UserProfileExport.h"

#include <QByteArray>
#include <QString>

namespace velmor {

// The files through which single profiles leave and enter the store: a user
// profile with its PACS profile's name and tools, or a bare PACS profile. Files
// to import come from anywhere, so reading is bounded and decoding strict.
class ProfileExchange {
public:
    ProfileExchange() = delete;

    // Far above any real profile file; larger files are refused unread.
    static constexpr qint64 maxFileSize = 4 * 1024 * 1024;

    // Throws FileError (missing, unreadable, no regular file, too large).
    static QByteArray readFile(const QString& path);
    // Replaces the file in one step, so a failure leaves an earlier file intact.
    // Throws FileError.
    static void writeFile(const QString& path, const QByteArray& bytes);
    // Throws the FileError that tells the user `path` could not be written, and why.
    [[noreturn]] static void throwNotWritten(const QString& path, const FileError& error);

    // Pretty-printed, keys sorted.
    static QByteArray encodeUserProfile(const UserProfileExport& file);
    static QByteArray encodePacsProfile(const PacsProfile& profile);

    // An export file, else a bare user profile (without PACS name and tools).
    // Throws json::DecodeError: the bare form's fault when neither form fits.
    static UserProfileExport decodeUserProfile(const QByteArray& bytes);
    // Throws json::DecodeError.
    static PacsProfile decodePacsProfile(const QByteArray& bytes);
};

} // namespace velmor
