#include "platform/keys/UinputKeyOutput.h"

#include "platform/keys/LinuxKeyCodes.h"

#include <QtGlobal>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>

namespace velmor::keys {

namespace {

struct ModifierKey {
    EventFlags flag;
    std::uint16_t key;
};

// Pressed in this order (⌃⌥⇧⌘), released in reverse.
constexpr std::array<ModifierKey, 4> modifierKeys{{
    {controlFlag, KEY_LEFTCTRL},
    {optionFlag, KEY_LEFTALT},
    {shiftFlag, KEY_LEFTSHIFT},
    {commandFlag, KEY_LEFTMETA},
}};

// The events of one keystroke: every modifier and the key, down and up, each
// with its sync report. Kept on the stack: a post allocates nothing.
struct EventList {
    std::array<input_event, 2 * 2 * (modifierKeys.size() + 1)> events;
    std::size_t size = 0;

    void append(std::uint16_t key, bool down)
    {
        input_event& event = events[size++];
        event = input_event{};
        event.type = EV_KEY;
        event.code = key;
        event.value = down ? 1 : 0;
        input_event& sync = events[size++];
        sync = input_event{};
        sync.type = EV_SYN;
        sync.code = SYN_REPORT;
    }
    std::span<const input_event> view() const { return {events.data(), size}; }
};

bool writeAll(int fd, std::span<const input_event> events)
{
    const auto* bytes = reinterpret_cast<const char*>(events.data());
    std::size_t left = events.size_bytes();
    while (left > 0) {
        const ssize_t written = ::write(fd, bytes, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Appends the events one post writes, time stamps left to the kernel; none for
// a key without a Linux code.
void appendEvents(EventList& events, std::uint16_t keyCode, bool down, EventFlags flags)
{
    const auto key = linuxKeyCode(keyCode);
    if (!key)
        return;
    if (down) {
        for (const ModifierKey& modifier : modifierKeys)
            if (flags & modifier.flag)
                events.append(modifier.key, true);
        events.append(*key, true);
    } else {
        events.append(*key, false);
        for (auto it = modifierKeys.rbegin(); it != modifierKeys.rend(); ++it)
            if (flags & it->flag)
                events.append(it->key, false);
    }
}

} // namespace

UniqueFd createVirtualKeyboard(const char* path)
{
    UniqueFd fd(::open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return {};
    bool ok = ::ioctl(fd.get(), UI_SET_EVBIT, EV_KEY) == 0;
    for (const std::uint16_t key : mappedLinuxKeyCodes())
        ok = ok && ::ioctl(fd.get(), UI_SET_KEYBIT, static_cast<int>(key)) == 0;
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, "Velmor Virtual Keyboard", UINPUT_MAX_NAME_SIZE - 1);
    ok = ok && ::ioctl(fd.get(), UI_DEV_SETUP, &setup) == 0 && ::ioctl(fd.get(), UI_DEV_CREATE) == 0;
    if (!ok) {
        qWarning("Cannot create the virtual keyboard on %s: %s", path, std::strerror(errno));
        return {};
    }
    return fd;
}

UinputKeyOutput::UinputKeyOutput() : UinputKeyOutput([] { return createVirtualKeyboard(); }) {}

UinputKeyOutput::UinputKeyOutput(Opener opener) : opener_(std::move(opener)) { ensureOpen(); }

bool UinputKeyOutput::postKey(std::uint16_t keyCode, bool down, EventFlags flags)
{
    EventList events;
    appendEvents(events, keyCode, down, flags);
    return write(keyCode, events.view());
}

bool UinputKeyOutput::postKeyStroke(std::uint16_t keyCode, EventFlags flags)
{
    EventList events;
    appendEvents(events, keyCode, true, flags);
    appendEvents(events, keyCode, false, flags);
    return write(keyCode, events.view());
}

bool UinputKeyOutput::write(std::uint16_t keyCode, std::span<const input_event> events)
{
    if (events.empty()) {
        reportUnmapped(keyCode);
        return false;
    }
    if (!ensureOpen())
        return false;
    if (writeAll(fd_.get(), events))
        return true;
    // Dropping the device releases whatever it still held; the next post makes a new one.
    qWarning("Writing to the virtual keyboard failed: %s", std::strerror(errno));
    fd_.reset();
    return false;
}

bool UinputKeyOutput::ensureOpen()
{
    if (!fd_ && opener_)
        fd_ = opener_();
    return fd_.isValid();
}

void UinputKeyOutput::reportUnmapped(std::uint16_t keyCode)
{
    if (reportedUnmapped_.contains(keyCode))
        return;
    reportedUnmapped_.insert(keyCode);
    qWarning("Key code %u has no Linux key; nothing posted.", unsigned(keyCode));
}

} // namespace velmor::keys
