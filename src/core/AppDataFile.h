#pragma once

#include "store/FileSystem.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>

#include <exception>
#include <functional>
#include <optional>

namespace velmor {

// One of the application's own small files beside the profiles. It is always
// replaced whole and atomically; a link the user made in its place to a regular file
// is read through and its target replaced. A file that exists but cannot be read or
// decoded is kept as "<name>.damaged" (a later one as "<name>.damaged-2", …) before
// anything is written over it, and the log line says why.
class AppDataFile {
public:
    using Log = std::function<void(const QString& line)>;

    explicit AppDataFile(QString path) : path_(std::move(path)) {}
    // A file of that name in the application's data folder (created when missing).
    static AppDataFile inDataFolder(const QString& fileName);

    const QString& path() const { return path_; }
    QString damagedPath() const { return path_ + QStringLiteral(".damaged"); }
    QString fileName() const { return QFileInfo(path_).fileName(); }

    // The decoded file; none when it is missing, unreadable or rejected by `decode`
    // (which throws). A file that is there but unusable is kept aside, told to `log`.
    template <typename Decode>
    auto load(Decode decode, const Log& log) -> std::optional<decltype(decode(QByteArray()))>
    {
        if (!files_.exists(path_))
            return std::nullopt;
        std::optional<QByteArray> bytes;
        try {
            bytes = files_.read(path_);
            return decode(*bytes);
        } catch (const FileError& error) {
            keepDamaged(error.description(), std::nullopt, log);
        } catch (const std::exception& error) {
            keepDamaged(QStringLiteral("its content is not valid (") + QString::fromStdString(error.what()) + u')', bytes,
                        log);
        }
        return std::nullopt;
    }

    // Replaces the file with `bytes`; a failure is told to `log` and returns false.
    // Nothing is written while a damaged file could not be kept aside.
    bool save(const QByteArray& bytes, const Log& log);

private:
    // `bytes`: the content read, when the file could be read; `cause`: what is wrong.
    bool keepDamaged(const QString& cause, const std::optional<QByteArray>& bytes, const Log& log);

    QString path_;
    LocalFileSystem files_;
    // The file on disk is damaged and still waits to be kept aside, and why.
    bool damagedPending_ = false;
    QString damagedCause_;
};

} // namespace velmor
