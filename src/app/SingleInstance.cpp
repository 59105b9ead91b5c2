#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace velmor {

namespace {

enum class Asked { answered, noAnswer, notListening };

int remainingMs(const QDeadlineTimer& deadline) { return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)); }

Asked ask(const QString& path, const QDeadlineTimer& deadline)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(remainingMs(deadline)))
        return Asked::notListening;
    socket.write(SingleInstance::reopenRequest);
    if (!socket.waitForBytesWritten(remainingMs(deadline)))
        return Asked::noAnswer;
    while (!socket.canReadLine())
        if (deadline.hasExpired() || !socket.waitForReadyRead(remainingMs(deadline)))
            return Asked::noAnswer;
    return socket.readLine() == SingleInstance::reopenAnswer ? Asked::answered : Asked::noAnswer;
}

} // namespace

SingleInstance::SingleInstance(QString folder, QString name)
    : folder_(std::move(folder)), name_(std::move(name)), lock_(lockPath())
{
    // Held for the whole run: only a lock whose process is gone counts as stale.
    lock_.setStaleLockTime(std::chrono::milliseconds::zero());
}

SingleInstance::~SingleInstance() { stopListening(); }

void SingleInstance::stopListening()
{
    if (server_)
        server_->close();
    server_.reset();
}

std::unique_ptr<SingleInstance> SingleInstance::forDataFolder(const QString& dataFolder)
{
    return forDataFolder(dataFolder, runtimeFolder::candidates());
}

std::unique_ptr<SingleInstance> SingleInstance::forDataFolder(const QString& dataFolder,
                                                              const runtimeFolder::Candidates& candidates)
{
    QString canonical = QDir(dataFolder).canonicalPath();
    if (canonical.isEmpty())
        canonical = QDir(dataFolder).absolutePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString name = QStringLiteral("velmor-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
    const std::optional<QString> folder = runtimeFolder::choose(candidates);
    if (folder && !candidates.runtimeDir.isEmpty() && *folder != candidates.runtimeDir)
        qWarning("XDG_RUNTIME_DIR %s is not a folder of this user with mode 0700; using %s",
                 qUtf8Printable(candidates.runtimeDir), qUtf8Printable(*folder));
    auto instance = std::make_unique<SingleInstance>(folder.value_or(QString()), name);
    if (!folder) {
        QStringList tried = candidates.fallbacks;
        if (!candidates.runtimeDir.isEmpty())
            tried.prepend(candidates.runtimeDir);
        instance->failure_ =
            QStringLiteral("no private folder for the lock and socket (%1): each must be a folder of this user "
                           "with mode 0700")
                .arg(tried.join(QStringLiteral(", ")));
    }
    return instance;
}

QString SingleInstance::socketPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".socket")); }

QString SingleInstance::lockPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".lock")); }

SingleInstance::Role SingleInstance::start(std::chrono::milliseconds patience)
{
    if (folder_.isEmpty())
        return Role::failed; // no private folder; failure_ says which were tried
    const QDeadlineTimer deadline(patience);
    for (;;) {
        if (lock_.tryLock(std::chrono::milliseconds::zero()))
            return listen() ? Role::primary : Role::failed;
        if (lock_.error() != QLockFile::LockFailedError) {
            failure_ = QStringLiteral("cannot create the lock file %1").arg(lockPath());
            return Role::failed;
        }
        switch (ask(socketPath(), deadline)) {
        case Asked::answered:
            return Role::handedOver;
        case Asked::noAnswer:
            failure_ = QStringLiteral("the running Velmor did not answer");
            return Role::failed;
        case Asked::notListening:
            break;
        }
        if (deadline.hasExpired()) {
            failure_ = QStringLiteral("the running Velmor is not listening on %1").arg(socketPath());
            return Role::failed;
        }
        // The lock's holder is still starting up, or has just died: look again shortly.
        QThread::msleep(20);
    }
}

bool SingleInstance::listen()
{
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file there is one a dead process left.
    QLocalServer::removeServer(socketPath());
    if (!server_->listen(socketPath())) {
        failure_ = QStringLiteral("cannot listen on %1: %2").arg(socketPath(), server_->errorString());
        server_.reset();
        return false;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { accept(); });
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine())
                return;
            const bool reopen = socket->readLine() == reopenRequest;
            if (reopen)
                socket->write(reopenAnswer);
            socket->disconnectFromServer();
            if (reopen && onReopen)
                onReopen();
        });
    }
}

} // namespace velmor
