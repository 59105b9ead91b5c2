#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace velmor {

// For measuring start-up (scripts/bench) and for tests that drive the real
// program: with the environment variable VELMOR_READY set to "print", Velmor
// prints one line on standard output once its tray menu is ready and the
// profiles are loaded; with "quit" it prints the line and then quits through
// its ordinary quit path. The line reads
//   velmor ready: since_exec_ms=<n> since_main_ms=<n> rss_kb=<n>
// (since_exec_ms from the kernel's process start time, to 10 ms).
class StartupReport {
public:
    enum class Mode { print, quit };

    static constexpr const char* variable = "VELMOR_READY";

    // Call first thing in main().
    static void markMainEntered();
    // The mode the environment asks for; none when the variable is unset or unknown.
    static std::optional<Mode> requested();

    static QString line();

    // Milliseconds since the kernel started the process; none where /proc cannot tell.
    static std::optional<qint64> sinceExecMs();
    static qint64 sinceMainMs();
    // The resident set in kB; none where /proc cannot tell.
    static std::optional<qint64> residentKb();
};

} // namespace velmor
