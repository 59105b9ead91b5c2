#pragma once

#include "platform/cloud/Container.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace velmor {

class SyncMemory;

// Keeps the sync out of an empty place where this machine's database was: a share
// that is not mounted leaves its empty mount point behind, and a database set up
// there would part this machine from the user's others, and be found beside theirs
// once the share is back. A place never synced with is set up as ever.
class EmptyFolderGuard {
public:
    using Report = std::function<void(const QString& title, const QString& message)>;

    // `memory` outlives the guard.
    EmptyFolderGuard(std::shared_ptr<cloud::Container> container, SyncMemory& memory, Report report);

    // Asked once the account is available: false while the place holds no database
    // although this data synced with it (`synced`: in this run; else as remembered).
    // Told once, and again only after the database was seen there. A database seen
    // while `synced` has its place remembered.
    QCoro::Task<bool> allowsSync(bool synced);
    // This data has synced with the database: its place is remembered.
    void rememberPlace();

private:
    std::shared_ptr<cloud::Container> container_;
    SyncMemory& memory_;
    Report report_;
    bool hasReported_ = false;
};

} // namespace velmor
