#include "platform/cloud/folder/AssetCache.h"

#include "platform/FileNames.h"
#include "platform/TemporaryFolders.h"
#include "platform/cloud/Error.h"

#include <QDir>
#include <QFile>

namespace velmor::cloud::folder {

// Named after this process, so that a start after it was killed removes what it left.
AssetCache::AssetCache() : folder_(std::make_shared<QTemporaryDir>(temporaryFolders::ownTemplate())) {}

QString AssetCache::keep(const QString& recordName, const QString& name, const std::optional<QByteArray>& bytes) const
{
    const auto fail = [](const QString& reason) {
        return Error(Error::Code::internalError, QStringLiteral("Could not keep a copy of a fetched file: %1").arg(reason));
    };
    if (!folder_->isValid())
        throw fail(folder_->errorString());
    const QString recordFolder = folder_->filePath(fittedFileName(recordName, {}));
    const QString path = recordFolder + u'/' + name;
    QFile file(path);
    if (!bytes) {
        file.remove();
        return path;
    }
    if (!QDir().mkpath(recordFolder) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(*bytes) != bytes->size() || !file.flush())
        throw fail(file.errorString());
    return path;
}

} // namespace velmor::cloud::folder
