#pragma once

#include <QString>

namespace velmor::cloud {

// Where a container's folder database lives. A folder the user configured (say
// a share that is not mounted) is never created; the default one is.
struct FolderLocation {
    QString path;
    bool configured = false;

    // VELMOR_CLOUD_FOLDER, else the setting "Velmor.cloudFolder", else
    // "CloudKit/<identifier>" in the application's data folder.
    static FolderLocation forContainer(const QString& identifier);
};

} // namespace velmor::cloud
