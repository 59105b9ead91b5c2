#pragma once

namespace velmor {

class AppModel;

// The cloud commands of the tray menu, in one place: they run the profile sync's
// operations when this build made a sync, and raise the warning
// "Cloud Sync Unavailable" otherwise. Main thread.
namespace cloudcommands {

// "Sync Now".
void syncNow(AppModel& model);
// "Reset CloudKit Subscriptions".
void resetSubscriptions(AppModel& model);
// "Cloud Sync Diagnostics": works with or without a sync; everything goes to the log.
void runDiagnostics(AppModel& model);

} // namespace cloudcommands
} // namespace velmor
