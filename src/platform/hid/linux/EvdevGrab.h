#pragma once

#include "platform/hid/Result.h"
#include "platform/UniqueFd.h"

#include <QStringList>

#include <chrono>
#include <vector>

namespace velmor::hid {

// Exclusive grabs (EVIOCGRAB) of a device's evdev nodes: while held, the
// device's keys, clicks and wheel reach no other reader. Released when the
// object goes away.
class EvdevGrab {
public:
    static constexpr std::chrono::milliseconds defaultKeyReleaseWait{500};

    EvdevGrab() = default;
    ~EvdevGrab() { release(); }
    EvdevGrab(EvdevGrab&&) noexcept = default;
    EvdevGrab& operator=(EvdevGrab&& other) noexcept;
    EvdevGrab(const EvdevGrab&) = delete;
    EvdevGrab& operator=(const EvdevGrab&) = delete;

    // Grabs every node. A key held at that moment would stay held for everyone
    // else (its release would only reach us), so this first waits, up to
    // `keyReleaseWait`, until no node reports a key down; keys still down then
    // are released for the other readers before the grab. On failure nothing
    // stays grabbed.
    Result grab(const QStringList& nodes, std::chrono::milliseconds keyReleaseWait = defaultKeyReleaseWait);
    void release();
    bool isHeld() const { return !fds_.empty(); }

private:
    std::vector<UniqueFd> fds_;
};

} // namespace velmor::hid
