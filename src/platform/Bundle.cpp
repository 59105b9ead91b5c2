#include "platform/Bundle.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace velmor {

namespace {
QMutex rootMutex;
QString mainRoot;
} // namespace

std::optional<QString> Bundle::url(const QString& name, const QString& extension) const
{
    const QString path = root_ + '/' + name + '.' + extension;
    if (QFileInfo(path).isFile())
        return path;
    return std::nullopt;
}

std::optional<QByteArray> Bundle::data(const QString& name, const QString& extension) const
{
    const auto path = url(name, extension);
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList Bundle::urls(const QString& extension) const
{
    QStringList found;
    QDirIterator it(root_, {"*." + extension}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    found.sort();
    return found;
}

Bundle Bundle::main()
{
    const QMutexLocker lock(&rootMutex);
    return Bundle(mainRoot.isEmpty() ? QStringLiteral(":/bundle") : mainRoot);
}

void Bundle::setMainRoot(const QString& root)
{
    const QMutexLocker lock(&rootMutex);
    mainRoot = root;
}

} // namespace velmor
