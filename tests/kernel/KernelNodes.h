#pragma once

// Small helpers for tests that talk to the kernel's device nodes: owned file
// descriptors, bounded waits on kernel events, and reads with a time limit.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <linux/input.h>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <vector>

namespace velmor::test::kernel {

using namespace std::chrono_literals;

// How long any single wait on the kernel may take. Generous: the VM emulates
// its processor.
inline constexpr std::chrono::milliseconds kernelTimeout = 5s;

// True inside the test VM, where a missing kernel interface is a failure rather
// than a reason to skip.
bool insideTestVm();

// An owned file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    // Opens a node with O_CLOEXEC | O_NONBLOCK added; throws std::system_error.
    static FileDescriptor open(const QString& path, int flags);

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release();
    void reset();

private:
    int m_fd = -1;
};

// Waits until the fd is readable; false on time-out.
bool waitReadable(int fd, std::chrono::milliseconds timeout = kernelTimeout);

// One read of up to `size` bytes once the fd is readable; nothing on time-out.
// Throws std::system_error when the read fails (the error code tells why).
std::optional<QByteArray> readWithin(int fd, qsizetype size, std::chrono::milliseconds timeout = kernelTimeout);

// Listens to the kernel's device events (no udev daemon needed), so a test can
// wait for a device node to appear without polling the clock.
class UeventListener {
public:
    UeventListener(); // throws std::system_error
    // True as soon as `condition` holds; checked now and after every kernel event.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kernelTimeout);

private:
    FileDescriptor m_socket;
};

// The nodes the kernel made for one HID device, found through /sys.
struct HidNodes {
    QString sysfsPath;     // /sys/bus/hid/devices/BBBB:VVVV:PPPP.NNNN
    QString hidraw;        // /dev/hidrawN, or empty
    QStringList evdev;     // /dev/input/eventN, one per input device
};
// The HID device whose uniq text (HID_UNIQ) is `uniq`, once its hidraw node exists.
std::optional<HidNodes> findHidNodes(const QString& uniq);

// The evdev node of an input device given its sysfs name ("input12"), if any.
QString evdevNodeOfInput(const QString& inputName);

// Input events read from an evdev node: the next complete frame (through
// SYN_REPORT), or nothing when none arrives in time.
struct InputEvent {
    quint16 type = 0;
    quint16 code = 0;
    qint32 value = 0;
    bool operator==(const InputEvent&) const = default;
};
void PrintTo(const InputEvent& event, std::ostream* out);
std::optional<std::vector<InputEvent>> readInputFrame(int fd, std::chrono::milliseconds timeout = kernelTimeout);
// Only the EV_KEY events of a frame.
std::vector<InputEvent> keyEvents(const std::vector<InputEvent>& frame);

} // namespace velmor::test::kernel
