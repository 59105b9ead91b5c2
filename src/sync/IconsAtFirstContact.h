#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

namespace velmor {

class CloudKitIconSync;

// At a machine's first contact with a cloud account the account's icons win, like
// its profiles: a local icon file whose drawing differs from the record of the same
// name is moved aside to a free name ("scan 2.svg") and the record's drawing takes its
// place. Nothing is uploaded. Returns the file names of the icons moved aside. Never
// throws; an icon whose record cannot be fetched or read is left as it is.
QCoro::Task<QStringList> takeIconsAtFirstContact(CloudKitIconSync& icons, QString iconsDirectory, QStringList names);

} // namespace velmor
