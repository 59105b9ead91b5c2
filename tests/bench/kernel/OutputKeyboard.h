#pragma once

#include "kernel/KernelNodes.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>

namespace velmor::bench {

// The evdev node of a virtual keyboard that a program under test types on,
// read with CLOCK_MONOTONIC time stamps: the kernel stamps each event as it
// enters our buffer, so a time stamp is when the key became readable, however
// late we read it.
class OutputKeyboard {
public:
    struct KeyEvent {
        std::uint16_t code = 0;
        std::int32_t value = 0;
        std::int64_t timeNs = 0;
    };

    // Waits until an input device named `name` has an evdev node and opens it.
    // Throws std::runtime_error when none shows up in time.
    OutputKeyboard(const QByteArray& name, std::chrono::milliseconds timeout);

    int fd() const { return fd_.get(); }

    // The key events there now, without waiting.
    QList<KeyEvent> readAvailable();
    // How often the kernel dropped events because we read too slowly.
    int drops() const { return drops_; }
    // The keys the device holds down now, as the kernel sees them.
    QList<std::uint16_t> heldKeys() const;

private:
    std::optional<KeyEvent> readOne();

    test::kernel::FileDescriptor fd_;
    int drops_ = 0;
};

} // namespace velmor::bench
