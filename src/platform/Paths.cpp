#include "platform/Paths.h"

#include <QDir>
#include <QMutex>
#include <QStandardPaths>

namespace velmor::paths {

namespace {
QMutex overrideMutex;
QString overridePath;
} // namespace

QString applicationSupport()
{
    QString path;
    {
        const QMutexLocker lock(&overrideMutex);
        path = overridePath;
    }
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Velmor");
    QDir().mkpath(path);
    return path;
}

void setApplicationSupportOverride(const QString& path)
{
    const QMutexLocker lock(&overrideMutex);
    overridePath = path;
}

} // namespace velmor::paths
