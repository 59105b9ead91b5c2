#include "KernelNodes.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ostream>
#include <system_error>

namespace velmor::test::kernel {

namespace {

[[noreturn]] void throwErrno(const QString& what)
{
    throw std::system_error(errno, std::generic_category(), what.toStdString());
}

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::max<qint64>(0, left.count()));
}

QString firstEntry(const QString& folder, const QString& prefix)
{
    const QStringList names = QDir(folder).entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    return names.isEmpty() ? QString() : names.first();
}

} // namespace

bool insideTestVm()
{
    return qEnvironmentVariableIntValue("VELMOR_KERNEL_VM") == 1;
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = other.release();
    }
    return *this;
}

FileDescriptor FileDescriptor::open(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throwErrno(QStringLiteral("open ") + path);
    return FileDescriptor(fd);
}

int FileDescriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void FileDescriptor::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool waitReadable(int fd, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, remainingMs(deadline));
        if (ready > 0)
            return true;
        if (ready == 0)
            return false;
        if (errno != EINTR)
            throwErrno(QStringLiteral("poll"));
    }
}

std::optional<QByteArray> readWithin(int fd, qsizetype size, std::chrono::milliseconds timeout)
{
    if (!waitReadable(fd, timeout))
        return std::nullopt;
    QByteArray buffer(size, Qt::Uninitialized);
    const ssize_t count = ::read(fd, buffer.data(), size_t(size));
    if (count < 0)
        throwErrno(QStringLiteral("read"));
    buffer.resize(count);
    return buffer;
}

UeventListener::UeventListener()
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        throwErrno(QStringLiteral("uevent socket"));
    m_socket = FileDescriptor(fd);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1; // the kernel's own broadcasts
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
        throwErrno(QStringLiteral("uevent bind"));
}

bool UeventListener::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (!waitReadable(m_socket.get(), std::chrono::milliseconds(remainingMs(deadline))))
            return condition();
        char discard[8192];
        while (::recv(m_socket.get(), discard, sizeof discard, 0) > 0) {
        }
    }
    return true;
}

std::optional<HidNodes> findHidNodes(const QString& uniq)
{
    const QString root = QStringLiteral("/sys/bus/hid/devices");
    const QByteArray wanted = "HID_UNIQ=" + uniq.toUtf8();
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString device = root + QLatin1Char('/') + name;
        QFile uevent(device + QStringLiteral("/uevent"));
        if (!uevent.open(QIODevice::ReadOnly) || !uevent.readAll().split('\n').contains(wanted))
            continue;
        // hidraw is connected after the input devices, so once it shows, all are there.
        const QString hidraw = firstEntry(device + QStringLiteral("/hidraw"), QStringLiteral("hidraw"));
        if (hidraw.isEmpty() || !QFile::exists(QStringLiteral("/dev/") + hidraw))
            return std::nullopt;
        HidNodes nodes{device, QStringLiteral("/dev/") + hidraw, {}};
        for (const QString& input : QDir(device + QStringLiteral("/input")).entryList({QStringLiteral("input*")}, QDir::Dirs)) {
            const QString event = firstEntry(device + QStringLiteral("/input/") + input, QStringLiteral("event"));
            if (!event.isEmpty())
                nodes.evdev << QStringLiteral("/dev/input/") + event;
        }
        return nodes;
    }
    return std::nullopt;
}

QString evdevNodeOfInput(const QString& inputName)
{
    const QString event = firstEntry(QStringLiteral("/sys/class/input/") + inputName, QStringLiteral("event"));
    return event.isEmpty() ? QString() : QStringLiteral("/dev/input/") + event;
}

void PrintTo(const InputEvent& event, std::ostream* out)
{
    *out << "{type " << event.type << ", code " << event.code << ", value " << event.value << "}";
}

std::optional<std::vector<InputEvent>> readInputFrame(int fd, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<InputEvent> frame;
    for (;;) {
        input_event event{};
        const ssize_t count = ::read(fd, &event, sizeof event);
        if (count == ssize_t(sizeof event)) {
            frame.push_back(InputEvent{event.type, event.code, event.value});
            if (event.type == EV_SYN && event.code == SYN_REPORT)
                return frame;
            continue;
        }
        if (count < 0 && errno != EAGAIN)
            throwErrno(QStringLiteral("read input event"));
        if (!waitReadable(fd, std::chrono::milliseconds(remainingMs(deadline))))
            return std::nullopt;
    }
}

std::vector<InputEvent> keyEvents(const std::vector<InputEvent>& frame)
{
    std::vector<InputEvent> keys;
    for (const InputEvent& event : frame) {
        if (event.type == EV_KEY)
            keys.push_back(event);
    }
    return keys;
}

} // namespace velmor::test::kernel
