#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace velmor::cloud::folder {

// Who the text of a folder lock names, and whether this process can tell for sure
// that its holder is gone.
//
// The text begins as the one QLockFile writes (process id, program, host), then a
// random line tells one lock from any other. The host line carries this computer's
// identity after its name: a host name alone does not tell computers apart (cloned
// images, a default name, a sandbox with process ids of its own), and a process id is
// asked only on the computer that gave it. Older clients, which compare the line with
// their bare host name, count such a lock as another computer's and wait for it.
class LockHolder {
public:
    // `computer` empty: this computer's, as thisComputer() finds it.
    LockHolder(const QString& hostName, const QByteArray& computer);

    // What tells this computer from every other that shares a folder: the kernel's boot (a
    // random id per start, which cloned images do not share) and the process namespace
    // (whose ids the lock's process id is). Empty when either cannot be read, or /proc is not
    // this namespace's: then no lock counts as this computer's.
    static QByteArray thisComputer();

    // A new lock's text, for this process.
    QByteArray lockText() const;
    // True only when `text` names this computer and no process of its id runs its program
    // there any more (the id came round again, or the computer started anew); or it names this
    // process, which `holdsNow` says holds no such lock now.
    bool isGone(const QByteArray& text, const std::function<bool(const QByteArray&)>& holdsNow) const;

private:
    QByteArray hostLine_;
    bool knowsComputer_ = false;
};

} // namespace velmor::cloud::folder
