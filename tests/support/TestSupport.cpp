#include "support/TestSupport.h"

#include "platform/Paths.h"

#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

namespace velmor::test {

QString dataPath(const QString& relative)
{
    QString root = qEnvironmentVariable("VELMOR_TEST_DATA");
    if (root.isEmpty())
        root = QStringLiteral(VELMOR_TEST_DATA_DIR);
    return root + '/' + relative;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

qint64 endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

PlatformFixture::PlatformFixture() { paths::setApplicationSupportOverride(supportDir.path()); }

PlatformFixture::~PlatformFixture() { paths::setApplicationSupportOverride({}); }

} // namespace velmor::test
