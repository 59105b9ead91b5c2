#pragma once

#include "store/FileSystem.h"

#include <QHash>

#include <functional>
#include <utility>

namespace velmor::test {

// Files in memory, for tests that save thousands of times and care only about
// the profiles, never about the disk: no fsync, no temporary folder. Used on
// the test's thread only (the manual serial queues run there).
class MemoryDisk final : public FileSystem {
public:
    // `clock` dates every write, as the machine's wall clock dates a file.
    explicit MemoryDisk(std::function<QDateTime()> clock = [] { return QDateTime::currentDateTimeUtc(); })
        : clock_(std::move(clock))
    {
    }

    bool exists(const QString& path) const override { return files_.contains(path); }
    QByteArray read(const QString& path) const override
    {
        const auto file = files_.constFind(path);
        if (file == files_.cend())
            throw FileError(QStringLiteral("No such file: ") + path);
        return file->bytes;
    }
    QString resolve(const QString& path) const override { return path; }
    void write(const QString& path, const QByteArray& bytes) override
    {
        files_.insert(path, File{bytes, clock_(), ++writes_});
    }
    QString writeTemporary(const QString& file, const QByteArray& bytes) override
    {
        const QString path = file + QStringLiteral(".velmor-1-") + QString::number(writes_ + 1, 36);
        write(path, bytes);
        return path;
    }
    bool moveToFreeName(const QString& from, const QString& to) override
    {
        if (files_.contains(to))
            return false;
        rename(from, to);
        return true;
    }
    void rename(const QString& from, const QString& to) override
    {
        if (!files_.contains(from))
            throw FileError(QStringLiteral("No such file: ") + from);
        files_.insert(to, files_.take(from));
    }
    void copyPermissions(const QString&, const QString&) override { }
    void remove(const QString& path) override { files_.remove(path); }
    void makeFolder(const QString&) override { }
    std::optional<QDateTime> modificationTime(const QString& path) const override
    {
        const auto file = files_.constFind(path);
        return file == files_.cend() ? std::nullopt : std::optional(file->modified);
    }
    void setModificationTime(const QString& path, const QDateTime& time) override
    {
        if (const auto file = files_.find(path); file != files_.end())
            file->modified = time;
    }
    std::optional<FileStamp> stamp(const QString& path) const override
    {
        const auto file = files_.constFind(path);
        if (file == files_.cend())
            return std::nullopt;
        // Every write is a new version; the write count tells them apart.
        return FileStamp{0, file->version, file->bytes.size(), file->modified.toMSecsSinceEpoch(), 0};
    }

private:
    struct File {
        QByteArray bytes;
        QDateTime modified;
        quint64 version = 0;
    };
    std::function<QDateTime()> clock_;
    QHash<QString, File> files_;
    quint64 writes_ = 0;
};

} // namespace velmor::test
