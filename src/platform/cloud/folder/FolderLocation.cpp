#include "platform/cloud/folder/FolderLocation.h"

#include "platform/FileNames.h"
#include "platform/Paths.h"
#include "platform/Settings.h"

#include <QDir>

namespace velmor::cloud {

FolderLocation FolderLocation::forContainer(const QString& identifier)
{
    if (const QString variable = qEnvironmentVariable("VELMOR_CLOUD_FOLDER"); !variable.isEmpty())
        return {QDir::cleanPath(variable), true};
    if (const QString setting = Settings::instance().value(QStringLiteral("Velmor.cloudFolder")).toString();
        !setting.isEmpty())
        return {QDir::cleanPath(setting), true};
    if (!isPlainFileName(identifier))
        return {QString(), true}; // no folder of its own: reported as no account
    return {QDir(paths::applicationSupport()).filePath(QStringLiteral("CloudKit/") + identifier), false};
}

} // namespace velmor::cloud
