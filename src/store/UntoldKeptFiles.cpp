#include "store/UntoldKeptFiles.h"

#include "platform/RegularFile.h"
#include "platform/Settings.h"

#include <QDir>

#include <mutex>

namespace velmor::untoldKeptFiles {

namespace {
const QString key = QStringLiteral("untoldKeptProfiles");

// The settings change by read, edit and write: one at a time.
std::mutex& editing()
{
    static std::mutex mutex;
    return mutex;
}

template <typename Edit>
QStringList edited(Edit edit)
{
    const std::lock_guard lock(editing());
    Settings& settings = Settings::instance();
    QStringList paths = settings.value(key).toStringList();
    const QStringList before = paths;
    edit(paths);
    if (paths.isEmpty() && !before.isEmpty())
        settings.remove(key);
    else if (paths != before)
        settings.setValue(key, paths);
    return before;
}
} // namespace

void add(const QString& path)
{
    edited([&path](QStringList& paths) {
        if (!paths.contains(path))
            paths.append(path);
    });
}

void told(const QString& path)
{
    edited([&path](QStringList& paths) { paths.removeAll(path); });
}

QStringList take(const QString& folder)
{
    const QString prefix = QDir(folder).absolutePath() + u'/';
    const auto inFolder = [&prefix](const QString& path) { return path.startsWith(prefix); };
    const QStringList remembered = edited([&inFolder](QStringList& paths) { paths.removeIf(inFolder); });
    QStringList there;
    for (const QString& path : remembered)
        if (inFolder(path) && files::fileKind(path) == files::FileKind::regular)
            there.append(path);
    return there;
}

} // namespace velmor::untoldKeptFiles
