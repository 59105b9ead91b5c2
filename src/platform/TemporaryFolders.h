#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The private temporary folders that Velmor processes make (the cloud folder's
// copies of fetched files), and the sweep that removes those a process killed
// outright left behind.
namespace velmor::temporaryFolders {

// A QTemporaryDir template in `root` that names this process as the folder's
// owner, "<root>/Velmor-<pid>-XXXXXX", so that a later start can tell it is
// nobody's any more.
QString ownTemplate(const QString& root);
// The same in the system's temporary folder.
QString ownTemplate();

// What the sweep asks about processes; system() asks the system.
struct Processes {
    // The process with this id may still run (only "no such process" says it does not).
    std::function<bool(qint64 pid)> isRunning;
    // Another velmor of this user runs: it may use a folder of the older kind, which
    // names no process.
    std::function<bool()> anotherVelmorRuns;

    static Processes system();
};

// Removes this user's folders in `root` that no process uses any more:
// "Velmor-<pid>-XXXXXX" whose process is gone, with all they hold, and empty ones
// of the older kind "Velmor-XXXXXX" while no other velmor of the user runs. A link
// is never followed (inside a removed folder it goes as a link), another user's
// entry and anything but a folder are left alone. Returns the names removed.
QStringList removeLeftovers(const QString& root, const Processes& processes = Processes::system());

} // namespace velmor::temporaryFolders
