#include "sync/CloudKitIconSync.h"

namespace velmor {

CloudKitIconSync::CloudKitIconSync(cloud::Database& database, QString iconsDirectory)
    : database_(database), iconsDirectory_(std::move(iconsDirectory))
{
}

QCoro::Task<> CloudKitIconSync::syncIcons(QStringList names)
{
    Q_UNUSED(names);
    co_return;
}

} // namespace velmor
