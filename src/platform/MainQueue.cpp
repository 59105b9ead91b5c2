#include "platform/MainQueue.h"

#include "platform/QtMainQueue.h"

#include "platform/ProcessWide.h"

namespace velmor {

MainQueue& MainQueue::instance() { return ProcessWide<MainQueue>::get<QtMainQueue>(); }

void MainQueue::setInstance(MainQueue* queue) { ProcessWide<MainQueue>::install(queue); }

} // namespace velmor
