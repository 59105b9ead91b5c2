#include "ScriptedFileSystem.h"

#include <QFileInfo>

namespace velmor::test {

namespace {
QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }
} // namespace

void ScriptedFileSystem::failNext(Op op, const QString& fileName, const QString& error, int times)
{
    failures_.append({op, fileName, error, times});
}

void ScriptedFileSystem::check(Op op, const QString& path) const
{
    for (Failure& failure : failures_) {
        if (failure.op == op && failure.fileName == nameOf(path) && failure.times > 0) {
            --failure.times;
            throw FileError(failure.error);
        }
    }
}

void ScriptedFileSystem::change(const QString& entry)
{
    if (crashAfter_ && changes_.size() >= *crashAfter_)
        throw SimulatedCrash{};
    changes_.append(entry);
}

bool ScriptedFileSystem::exists(const QString& path) const { return disk_.exists(path); }

QByteArray ScriptedFileSystem::read(const QString& path) const
{
    reads_.append(nameOf(path));
    check(Op::read, path);
    return disk_.read(path);
}

void ScriptedFileSystem::write(const QString& path, const QByteArray& bytes)
{
    change("write " + nameOf(path));
    check(Op::write, path);
    if (garbled_.removeOne(nameOf(path)) && !bytes.isEmpty()) {
        QByteArray other = bytes;
        other.back() = char(other.back() ^ 1);
        disk_.write(path, other);
        return;
    }
    disk_.write(path, bytes);
}

void ScriptedFileSystem::rename(const QString& from, const QString& to)
{
    change("rename " + nameOf(from) + ' ' + nameOf(to));
    check(Op::rename, from);
    disk_.rename(from, to);
}

void ScriptedFileSystem::remove(const QString& path)
{
    if (!disk_.exists(path))
        return;
    change("remove " + nameOf(path));
    check(Op::remove, path);
    disk_.remove(path);
}

void ScriptedFileSystem::makeFolder(const QString& path) { disk_.makeFolder(path); }

std::optional<QDateTime> ScriptedFileSystem::modificationTime(const QString& path) const
{
    return disk_.modificationTime(path);
}

std::optional<FileStamp> ScriptedFileSystem::stamp(const QString& path) const { return disk_.stamp(path); }

} // namespace velmor::test
