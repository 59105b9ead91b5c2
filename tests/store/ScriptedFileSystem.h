#pragma once

#include "store/FileSystem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor::test {

// Thrown when a scripted crash stops the program in the middle of a save.
struct SimulatedCrash {};

// The local disk with scripted failures: an operation on a file (matched by file
// name) can fail with a given text, and the whole program can "crash" before the
// n-th change to the disk. Every change is logged.
class ScriptedFileSystem final : public FileSystem {
public:
    enum class Op { read, write, rename, remove };

    // The next `times` calls of `op` on `fileName` fail with `error`
    // (for rename, `fileName` is the source).
    void failNext(Op op, const QString& fileName, const QString& error, int times = 1);
    // Changes to the disk after the first `changes` ones throw SimulatedCrash.
    void crashAfter(int changes) { crashAfter_ = changes; }
    // The next write of `fileName` succeeds but stores other bytes (the last one changed).
    void garbleNextWrite(const QString& fileName) { garbled_.append(fileName); }

    // Changes made so far, e.g. "write profiles.json.tmp", "rename profiles.json.tmp profiles.json".
    const QStringList& changes() const { return changes_; }
    // Names of the files read so far, in order.
    const QStringList& reads() const { return reads_; }
    // Forgets the changes and reads so far.
    void clearChanges()
    {
        changes_.clear();
        reads_.clear();
    }

    bool exists(const QString& path) const override;
    QByteArray read(const QString& path) const override;
    void write(const QString& path, const QByteArray& bytes) override;
    void rename(const QString& from, const QString& to) override;
    void remove(const QString& path) override;
    void makeFolder(const QString& path) override;
    std::optional<QDateTime> modificationTime(const QString& path) const override;
    std::optional<FileStamp> stamp(const QString& path) const override;

private:
    struct Failure {
        Op op;
        QString fileName;
        QString error;
        int times;
    };
    void check(Op op, const QString& path) const;
    void change(const QString& entry);

    LocalFileSystem disk_;
    mutable QList<Failure> failures_;
    std::optional<int> crashAfter_;
    QStringList garbled_;
    QStringList changes_;
    mutable QStringList reads_;
};

} // namespace velmor::test
