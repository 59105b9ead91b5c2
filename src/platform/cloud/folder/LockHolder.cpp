#include "platform/cloud/folder/LockHolder.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace velmor::cloud::folder {

namespace {

// The file name of a program as /proc shows it, without the mark of one replaced while it runs.
QByteArray programName(const QString& exeLink)
{
    QString name = QFileInfo(QFile::symLinkTarget(exeLink)).fileName();
    name.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
    return name.toUtf8();
}

// /proc as mounted here shows this process under the id it has: it is this namespace's.
bool procIsThisNamespaces()
{
    char target[32] = {};
    const ssize_t length = ::readlink("/proc/self", target, sizeof target - 1);
    return length > 0 && QByteArray(target, length) == QByteArray::number(::getpid());
}

} // namespace

LockHolder::LockHolder(const QString& hostName, const QByteArray& computer)
{
    const QByteArray identity = computer.isEmpty() ? thisComputer() : computer;
    knowsComputer_ = !identity.isEmpty();
    // A host name holds no space, so no older client takes this line for its own.
    hostLine_ = hostName.toUtf8() + ' ' + (knowsComputer_ ? identity : QByteArrayLiteral("unknown"));
}

QByteArray LockHolder::thisComputer()
{
    if (!procIsThisNamespaces())
        return {};
    QFile boot(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    const QByteArray bootId = boot.open(QIODevice::ReadOnly) ? boot.read(64).trimmed() : QByteArray();
    struct stat pidNamespace {};
    if (bootId.isEmpty() || ::stat("/proc/self/ns/pid", &pidNamespace) != 0)
        return {};
    return "boot:" + bootId + "/pid-namespace:" + QByteArray::number(static_cast<quint64>(pidNamespace.st_ino));
}

QByteArray LockHolder::lockText() const
{
    return QByteArray::number(::getpid()) + '\n' + programName(QStringLiteral("/proc/self/exe")) + '\n' + hostLine_
        + '\n' + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '\n';
}

bool LockHolder::isGone(const QByteArray& text, const std::function<bool(const QByteArray&)>& holdsNow) const
{
    const QList<QByteArray> lines = text.split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    if (!knowsComputer_ || !isNumber || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || lines.size() < 3
        || lines.at(2) != hostLine_ || lines.at(1).isEmpty())
        return false;
    if (pid == ::getpid())
        return !holdsNow(text);
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return errno == ESRCH;
    // Another user's process may hide its program: then it is not known to be gone.
    const QByteArray running = programName(QStringLiteral("/proc/%1/exe").arg(pid));
    return !running.isEmpty() && running != lines.at(1);
}

} // namespace velmor::cloud::folder
