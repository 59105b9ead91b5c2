#pragma once

// Runs the Qt event loop (socket notifiers, posted main-queue work) until a
// condition holds, for at most a bounded time. The kernel tests have no loop
// running otherwise.

#include "KernelNodes.h"

#include <functional>

namespace velmor::test::kernel {

// True as soon as `condition` holds; checked before and after every batch of events.
bool runMainLoopUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kernelTimeout);

} // namespace velmor::test::kernel
