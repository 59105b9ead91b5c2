#include "sync/EmptyFolderGuard.h"

#include "sync/CloudKitCalls.h"
#include "sync/SyncMemory.h"
#include "sync/SyncTexts.h"

#include <QDir>

namespace velmor {

EmptyFolderGuard::EmptyFolderGuard(std::shared_ptr<cloud::Container> container, SyncMemory& memory, Report report)
    : container_(std::move(container)), memory_(memory), report_(std::move(report))
{
}

QCoro::Task<bool> EmptyFolderGuard::allowsSync(bool synced)
{
    const QString place = container_->location();
    if (place.isEmpty() || (!synced && !memory_.hasSyncedAt(place)))
        co_return true;
    bool exists = false;
    try {
        exists = co_await cloudkit::fetchAccountExists(container_);
    } catch (const cloud::Error& error) {
        report_(synctext::errorTitle, error.localizedDescription());
        co_return false;
    }
    if (exists) {
        hasReported_ = false;
        memory_.rememberSyncAt(place);
        co_return true;
    }
    if (!std::exchange(hasReported_, true))
        report_(synctext::syncTitle,
                QStringLiteral("The shared folder “%1” looks empty or unmounted: it holds none of the profiles this "
                               "computer synced with it. Sync is paused, and nothing is written into it, until it is "
                               "back.")
                    .arg(QDir::toNativeSeparators(place)));
    co_return false;
}

void EmptyFolderGuard::rememberPlace() { memory_.rememberSyncAt(container_->location()); }

} // namespace velmor
