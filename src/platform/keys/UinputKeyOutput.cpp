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
#include <vector>

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

void append(std::vector<input_event>& events, std::uint16_t key, bool down)
{
    input_event event{};
    event.type = EV_KEY;
    event.code = key;
    event.value = down ? 1 : 0;
    events.push_back(event);
    input_event sync{};
    sync.type = EV_SYN;
    sync.code = SYN_REPORT;
    events.push_back(sync);
}

bool writeAll(int fd, const std::vector<input_event>& events)
{
    const auto* bytes = reinterpret_cast<const char*>(events.data());
    std::size_t left = events.size() * sizeof(input_event);
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

// The events one post writes, time stamps left to the kernel; none for a key without a Linux code.
std::vector<input_event> eventsFor(std::uint16_t keyCode, bool down, EventFlags flags)
{
    std::vector<input_event> events;
    const auto key = linuxKeyCode(keyCode);
    if (!key)
        return events;
    if (down) {
        for (const ModifierKey& modifier : modifierKeys)
            if (flags & modifier.flag)
                append(events, modifier.key, true);
        append(events, *key, true);
    } else {
        append(events, *key, false);
        for (auto it = modifierKeys.rbegin(); it != modifierKeys.rend(); ++it)
            if (flags & it->flag)
                append(events, it->key, false);
    }
    return events;
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
    return write(keyCode, eventsFor(keyCode, down, flags));
}

bool UinputKeyOutput::postKeyStroke(std::uint16_t keyCode, EventFlags flags)
{
    std::vector<input_event> events = eventsFor(keyCode, true, flags);
    const std::vector<input_event> up = eventsFor(keyCode, false, flags);
    events.insert(events.end(), up.begin(), up.end());
    return write(keyCode, events);
}

bool UinputKeyOutput::write(std::uint16_t keyCode, const std::vector<input_event>& events)
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
