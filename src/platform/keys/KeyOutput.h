#pragma once

#include <cstdint>

namespace velmor::keys {

// Modifier flags of a posted key event, in the bit layout the shortcut records use.
using EventFlags = std::uint64_t;
inline constexpr EventFlags shiftFlag = 0x20000;
inline constexpr EventFlags controlFlag = 0x40000;
inline constexpr EventFlags optionFlag = 0x80000;
inline constexpr EventFlags commandFlag = 0x100000;
inline constexpr EventFlags numericPadFlag = 0x200000;

// Synthetic keyboard output to whatever application has the focus. Key codes are
// macOS virtual key codes, the codes our shortcut records store.
class KeyOutput {
public:
    virtual ~KeyOutput() = default;

    // Posts one key-down or key-up with the modifiers of `flags` held around it.
    // False when nothing was posted (no output device, unknown key, write failed).
    virtual bool postKey(std::uint16_t keyCode, bool down, EventFlags flags) = 0;

    // Posts a whole keystroke: the key-down, then its key-up. True only when both
    // were posted; the key-up goes out even when the key-down did not, so nothing
    // stays held. Outputs that can hand over both at once do.
    virtual bool postKeyStroke(std::uint16_t keyCode, EventFlags flags)
    {
        const bool down = postKey(keyCode, true, flags);
        const bool up = postKey(keyCode, false, flags);
        return down && up;
    }

    // The process-wide output: the uinput virtual keyboard unless a test installed another.
    static KeyOutput& instance();
    static void setInstance(KeyOutput* output);
};

} // namespace velmor::keys
