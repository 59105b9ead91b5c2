#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The private temporary folders that Velmor processes make (the cloud folder's
// copies of fetched files), and the sweeps that remove those folders and the
// temporary files of writes that a process killed outright left behind.
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

// What a temporary file's name tells of the process that writes it.
struct Writer {
    // None for a name of an older kind that names no process.
    std::optional<qint64> pid;
};
// The writer of the file `name`; none when `name` is no temporary file of the caller's.
using WriterOf = std::function<std::optional<Writer>(const QString& name)>;

// Removes this user's regular files in the open folder `folder` that `writerOf`
// reads as temporary files no process writes any more: one whose process is not
// this one and no longer runs, or one naming no process while no other velmor of
// the user runs. Links, folders, anything else and other users' files stay.
// Returns the names removed.
QStringList removeLeftoverFiles(int folder, const WriterOf& writerOf, const Processes& processes = Processes::system());

} // namespace velmor::temporaryFolders
