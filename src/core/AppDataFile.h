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
// replaced whole and atomically. A file that exists but cannot be read or
// decoded is kept as "<name>.damaged" before anything is written over it.
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
        try {
            return decode(files_.read(path_));
        } catch (const std::exception&) {
            keepDamaged(log);
            return std::nullopt;
        }
    }

    // Replaces the file with `bytes`; a failure is told to `log` and returns false.
    // Nothing is written while a damaged file could not be kept aside.
    bool save(const QByteArray& bytes, const Log& log);

private:
    bool keepDamaged(const Log& log);

    QString path_;
    LocalFileSystem files_;
    // The file on disk is damaged and still waits to be kept aside.
    bool damagedPending_ = false;
};

} // namespace velmor
