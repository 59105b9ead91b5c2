#include "platform/hid/linux/EvdevGrab.h"

#include <QFile>

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace velmor::hid {

namespace {

using Clock = std::chrono::steady_clock;
using KeyBits = std::array<unsigned char, KEY_MAX / 8 + 1>;

KeyBits heldKeys(int fd)
{
    KeyBits bits{};
    if (::ioctl(fd, EVIOCGKEY(sizeof bits), bits.data()) < 0)
        bits.fill(0); // a node that cannot tell holds nothing we could wait for
    return bits;
}

bool anyHeld(const std::vector<UniqueFd>& fds)
{
    for (const UniqueFd& fd : fds) {
        const KeyBits bits = heldKeys(fd.get());
        for (const unsigned char byte : bits)
            if (byte != 0)
                return true;
    }
    return false;
}

// Writes a release for every key the node still holds, so that its other
// readers see the key go up. Needs the node open for writing; best effort.
void releaseHeldKeys(int fd)
{
    const KeyBits bits = heldKeys(fd);
    for (int code = 0; code <= KEY_MAX; ++code) {
        if (!(bits[size_t(code / 8)] & (1u << (code % 8))))
            continue;
        input_event events[2]{};
        events[0].type = EV_KEY;
        events[0].code = quint16(code);
        events[0].value = 0;
        events[1].type = EV_SYN;
        events[1].code = SYN_REPORT;
        [[maybe_unused]] const ssize_t written = ::write(fd, events, sizeof events);
    }
}

// Waits for input on any node until the deadline, then discards what came.
void awaitEvents(const std::vector<UniqueFd>& fds, Clock::time_point deadline)
{
    std::vector<pollfd> polled;
    for (const UniqueFd& fd : fds)
        polled.push_back(pollfd{fd.get(), POLLIN, 0});
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (::poll(polled.data(), polled.size(), int(std::max<qint64>(left, 0))) <= 0)
        return;
    input_event discard[64];
    for (const UniqueFd& fd : fds)
        while (::read(fd.get(), discard, sizeof discard) > 0) {
        }
}

void ungrabAll(const std::vector<UniqueFd>& fds)
{
    for (const UniqueFd& fd : fds)
        ::ioctl(fd.get(), EVIOCGRAB, 0);
}

// Grabs every node, or none: the result of the first failure.
Result grabAll(const std::vector<UniqueFd>& fds)
{
    for (size_t i = 0; i < fds.size(); ++i) {
        if (::ioctl(fds[i].get(), EVIOCGRAB, 1) == 0)
            continue;
        const int error = errno;
        for (size_t done = 0; done < i; ++done)
            ::ioctl(fds[done].get(), EVIOCGRAB, 0);
        return Result::fromErrno(error);
    }
    return Result::success();
}

} // namespace

EvdevGrab& EvdevGrab::operator=(EvdevGrab&& other) noexcept
{
    if (this != &other) {
        release();
        fds_ = std::move(other.fds_);
    }
    return *this;
}

Result EvdevGrab::grab(const QStringList& nodes, std::chrono::milliseconds keyReleaseWait)
{
    release();
    std::vector<UniqueFd> fds;
    for (const QString& node : nodes) {
        const QByteArray path = QFile::encodeName(node);
        int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && (errno == EACCES || errno == EPERM))
            fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Result::fromErrno(errno);
        fds.emplace_back(fd);
    }

    const Clock::time_point deadline = Clock::now() + keyReleaseWait;
    for (;;) {
        const bool waitedEnough = Clock::now() >= deadline;
        if (waitedEnough)
            for (const UniqueFd& fd : fds)
                releaseHeldKeys(fd.get());
        if (waitedEnough || !anyHeld(fds)) {
            if (const Result result = grabAll(fds); !result.isSuccess())
                return result;
            // A key that went down between the check and the grab: let it out
            // and wait for its release too.
            if (waitedEnough || !anyHeld(fds))
                break;
            ungrabAll(fds);
        }
        awaitEvents(fds, deadline);
    }
    fds_ = std::move(fds);
    return Result::success();
}

void EvdevGrab::release()
{
    ungrabAll(fds_);
    fds_.clear();
}

} // namespace velmor::hid
