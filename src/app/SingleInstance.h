#pragma once

#include "app/RuntimeFolder.h"

#include <QLockFile>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QLocalServer;

namespace velmor {

// One running Velmor per user and data folder. The first start holds a lock
// file and listens on a local socket beside it; a later start finds the lock
// held, asks the running one over the socket to show its windows (the reopen),
// and waits for its answer. A lock or socket left by a process that died is
// taken over. Main thread.
class SingleInstance {
public:
    enum class Role {
        primary,    // this process runs Velmor
        handedOver, // the running one was asked to reopen and answered
        failed,     // the running one could not be reached
    };

    // Lock and socket: "<folder>/<name>.lock" and "<folder>/<name>.socket".
    SingleInstance(QString folder, QString name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // For this user and data folder: a private runtime folder (see
    // RuntimeFolder.h) and a name made of the user id and a hash of the data
    // folder. With no private folder, start() fails and says why.
    static std::unique_ptr<SingleInstance> forDataFolder(const QString& dataFolder);
    static std::unique_ptr<SingleInstance> forDataFolder(const QString& dataFolder,
                                                         const runtimeFolder::Candidates& candidates);

    // Becomes the primary, or hands over to the one running. Blocks at most
    // `patience` while a running instance is still starting to listen.
    Role start(std::chrono::milliseconds patience = std::chrono::seconds(5));

    // The primary stops answering (it is quitting): a start from now on waits for
    // the lock, then runs on its own.
    void stopListening();

    // The primary's reopen requests, one call each, on the main loop.
    std::function<void()> onReopen;

    QString socketPath() const;
    QString lockPath() const;
    // What went wrong when start() failed.
    const QString& failure() const { return failure_; }

    // The reopen request and its answer on the socket.
    static inline const QByteArray reopenRequest = QByteArrayLiteral("reopen\n");
    static inline const QByteArray reopenAnswer = QByteArrayLiteral("ok\n");

private:
    bool listen();
    bool askToReopen(std::chrono::milliseconds patience);
    void accept();

    QString folder_;
    QString name_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
    QString failure_;
};

} // namespace velmor
