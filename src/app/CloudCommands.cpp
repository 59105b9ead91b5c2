#include "app/CloudCommands.h"

#include "core/AppModel.h"

namespace velmor::cloudcommands {

namespace {

// False, with the warning raised, when this build runs without the profile sync.
bool requireSync(AppModel& model)
{
    if (model.cloudSync())
        return true;
    model.presentAlert(QStringLiteral("Cloud Sync Unavailable"), QStringLiteral("CloudKit is not enabled for this build."),
                       AlertMessage::Severity::warning);
    return false;
}

} // namespace

void syncNow(AppModel& model)
{
    if (!requireSync(model))
        return;
    // The model makes no sync object yet; once it does, its syncNow() starts here.
}

void resetSubscriptions(AppModel& model)
{
    if (!requireSync(model))
        return;
    // The model makes no sync object yet; once it does, its subscription reset starts here.
}

void runDiagnostics(AppModel& model)
{
    model.appendLog(QStringLiteral("Cloud Sync Diagnostics: starting."));
    // The entitlement lines, the notification settings and the cloud report follow
    // here once the model has them.
}

} // namespace velmor::cloudcommands
