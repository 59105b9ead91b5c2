#pragma once

#include "platform/keys/KeyOutput.h"
#include "platform/UniqueFd.h"

#include <QSet>

#include <functional>
#include <span>

struct input_event;

namespace velmor::keys {

inline constexpr const char* defaultUinputPath = "/dev/uinput";

// Opens `path` and creates on it a virtual keyboard that declares every key of the
// key-code table; an invalid descriptor when either step fails.
UniqueFd createVirtualKeyboard(const char* path = defaultUinputPath);

// Key output through a uinput virtual keyboard. The keyboard is created once and
// kept: a new input device takes the display server a moment to adopt, so keys
// written right after creating one can be lost. A post before the keyboard exists
// (or after a failed write dropped it) tries to create it again.
//
// A key-down writes the held modifiers' downs, then the key's down; a key-up writes
// the key's up, then the modifiers' ups in reverse order. Every event is followed
// by its own sync report, so the receiving application sees each step. A whole
// keystroke is one write: one system call, and one wake-up of each reader.
class UinputKeyOutput final : public KeyOutput {
public:
    // Produces the descriptor events are written to (the seam tests use for a fake device).
    using Opener = std::function<UniqueFd()>;

    UinputKeyOutput();
    explicit UinputKeyOutput(Opener opener);

    bool postKey(std::uint16_t keyCode, bool down, EventFlags flags) override;
    bool postKeyStroke(std::uint16_t keyCode, EventFlags flags) override;

    bool isOpen() const { return fd_.isValid(); }

private:
    bool ensureOpen();
    bool write(std::uint16_t keyCode, std::span<const input_event> events);
    void reportUnmapped(std::uint16_t keyCode);

    Opener opener_;
    UniqueFd fd_;
    QSet<std::uint16_t> reportedUnmapped_;
};

} // namespace velmor::keys
