#pragma once

#include <QString>

#include <chrono>

namespace velmor {

// Why this start of Velmor ends before it shows anything: on standard error, and
// as a desktop notification for a start from the desktop's menu or at login, which
// has no terminal. Waits, running the event loop, until the notification has gone
// out, for at most `patience`.
void tellStartRefused(const QString& message, std::chrono::milliseconds patience = std::chrono::seconds(3));

} // namespace velmor
