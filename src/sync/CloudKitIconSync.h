#pragma once

#include "platform/cloud/Container.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

namespace velmor {

// Carries the custom icon files that the profiles use between the user's machines.
// This stand-in transfers nothing yet.
class CloudKitIconSync {
public:
    CloudKitIconSync(cloud::Database& database, QString iconsDirectory);

    QCoro::Task<> syncIcons(QStringList names);

private:
    cloud::Database& database_;
    QString iconsDirectory_;
};

} // namespace velmor
