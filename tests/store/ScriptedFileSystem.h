#pragma once

#include "store/FileSystem.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <optional>

namespace velmor::test {

// The local disk with scripted faults and a log of its steps, each named by what
// it does and the file names, a temporary file of this process by its file's name
// and ".velmor-*": "read profiles.json", "write profiles.json.velmor-*",
// "rename profiles.json.velmor-* profiles.json", "remove profiles.json.velmor-*",
// "date profiles.json.velmor-*", "keep profiles.json.velmor-* profiles.json.damaged".
class ScriptedFileSystem final : public FileSystem {
public:
    // The next `times` steps named `step` (a rename by its source alone) fail with `error`.
    void failNext(const QString& step, const QString& error, int times = 1) { failures_.append({step, error, times}); }
    // Runs `action` (another program at work) just before the next step named `step`.
    void beforeNext(const QString& step, std::function<void()> action) { actions_.append({step, std::move(action)}); }
    // The faults still scripted are gone (the disk has room again).
    void clearFailures() { failures_.clear(); }
    // While read-only, every change fails as on a read-only file system, and the
    // folder says so beforehand.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    static inline const QString readOnlyError = QStringLiteral("Read-only file system");
    // The next write of `fileName` succeeds but stores other bytes (the last one changed).
    void garbleNextWrite(const QString& fileName) { garbled_.append(fileName); }

    // The changes made so far, and the names of the files read.
    const QStringList& changes() const { return changes_; }
    const QStringList& reads() const { return reads_; }
    void clearChanges()
    {
        changes_.clear();
        reads_.clear();
    }

    bool exists(const QString& path) const override { return disk_.exists(path); }
    QByteArray read(const QString& path) const override
    {
        reads_.append(nameOf(path));
        check("read " + nameOf(path));
        return disk_.read(path);
    }
    QString resolve(const QString& path) const override { return disk_.resolve(path); }
    void write(const QString& path, const QByteArray& bytes) override
    {
        change("write " + nameOf(path));
        QByteArray stored = bytes;
        if (garbled_.removeOne(nameOf(path)) && !stored.isEmpty())
            stored.back() = char(stored.back() ^ 1);
        disk_.write(path, stored);
    }
    QString writeTemporary(const QString& file, const QByteArray& bytes) override
    {
        change("write " + nameOf(file) + ".velmor-*");
        QByteArray stored = bytes;
        if (garbled_.removeOne(nameOf(file) + ".velmor-*") && !stored.isEmpty())
            stored.back() = char(stored.back() ^ 1);
        return disk_.writeTemporary(file, stored);
    }
    bool moveToFreeName(const QString& from, const QString& to) override
    {
        change("keep " + nameOf(from) + ' ' + nameOf(to));
        return disk_.moveToFreeName(from, to);
    }
    void rename(const QString& from, const QString& to) override
    {
        change("rename " + nameOf(from) + ' ' + nameOf(to));
        disk_.rename(from, to);
    }
    void remove(const QString& path) override
    {
        if (!disk_.exists(path))
            return;
        change("remove " + nameOf(path));
        disk_.remove(path);
    }
    void copyPermissions(const QString& from, const QString& to) override { disk_.copyPermissions(from, to); }
    void makeFolder(const QString& path) override { disk_.makeFolder(path); }
    std::optional<QDateTime> modificationTime(const QString& path) const override
    {
        return disk_.modificationTime(path);
    }
    void setModificationTime(const QString& path, const QDateTime& time) override
    {
        change("date " + nameOf(path));
        disk_.setModificationTime(path, time);
    }
    std::optional<FileStamp> stamp(const QString& path) const override { return disk_.stamp(path); }
    std::optional<QString> unwritableFolder(const QString&) const override
    {
        return readOnly_ ? std::optional<QString>(readOnlyError) : std::nullopt;
    }

private:
    struct Failure {
        QString step;
        QString error;
        int times;
    };
    static QString nameOf(const QString& path)
    {
        static const QRegularExpression temporary(QStringLiteral("\\.velmor-[0-9]+-[0-9a-z]+$"));
        return QFileInfo(path).fileName().replace(temporary, QStringLiteral(".velmor-*"));
    }
    void check(const QString& step) const
    {
        for (qsizetype i = 0; i < actions_.size(); ++i) {
            if (step == actions_[i].first || step.startsWith(actions_[i].first + ' ')) {
                const std::function<void()> action = actions_.takeAt(i).second;
                action();
                break;
            }
        }
        for (Failure& failure : failures_) {
            if (failure.times > 0 && (step == failure.step || step.startsWith(failure.step + ' '))) {
                --failure.times;
                throw FileError(failure.error);
            }
        }
    }
    void change(const QString& step)
    {
        changes_.append(step);
        if (readOnly_)
            throw FileError(readOnlyError);
        check(step);
    }

    LocalFileSystem disk_;
    mutable QList<Failure> failures_;
    mutable QList<std::pair<QString, std::function<void()>>> actions_;
    QStringList garbled_;
    bool readOnly_ = false;
    QStringList changes_;
    mutable QStringList reads_;
};

} // namespace velmor::test
