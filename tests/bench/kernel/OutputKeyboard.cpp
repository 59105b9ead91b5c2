#include "OutputKeyboard.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

namespace velmor::bench {

namespace {

QString evdevNodeNamed(const QByteArray& name)
{
    const QString root = QStringLiteral("/sys/class/input");
    for (const QString& input : QDir(root).entryList({QStringLiteral("input*")}, QDir::Dirs | QDir::System)) {
        QFile file(root + QLatin1Char('/') + input + QStringLiteral("/name"));
        if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == name)
            return test::kernel::evdevNodeOfInput(input);
    }
    return {};
}

} // namespace

OutputKeyboard::OutputKeyboard(const QByteArray& name, std::chrono::milliseconds timeout)
{
    test::kernel::UeventListener listener;
    QString node;
    if (!listener.waitUntil([&] { return !(node = evdevNodeNamed(name)).isEmpty() && QFile::exists(node); }, timeout))
        throw std::runtime_error("no evdev node for the keyboard " + name.toStdString());
    fd_ = test::kernel::FileDescriptor::open(node, O_RDONLY);
    int clock = CLOCK_MONOTONIC;
    if (::ioctl(fd_.get(), EVIOCSCLOCKID, &clock) != 0)
        throw std::runtime_error("cannot switch the keyboard's time stamps to CLOCK_MONOTONIC");
}

std::optional<OutputKeyboard::KeyEvent> OutputKeyboard::readOne()
{
    for (;;) {
        input_event event{};
        const ssize_t count = ::read(fd_.get(), &event, sizeof event);
        if (count != ssize_t(sizeof event))
            return std::nullopt;
        if (event.type == EV_SYN && event.code == SYN_DROPPED)
            ++drops_;
        if (event.type != EV_KEY)
            continue;
        return KeyEvent{event.code, event.value,
                        std::int64_t(event.input_event_sec) * 1'000'000'000 + std::int64_t(event.input_event_usec) * 1000};
    }
}

QList<OutputKeyboard::KeyEvent> OutputKeyboard::readAvailable()
{
    QList<KeyEvent> events;
    while (std::optional<KeyEvent> event = readOne())
        events.append(*event);
    return events;
}

QList<std::uint16_t> OutputKeyboard::heldKeys() const
{
    std::array<unsigned char, KEY_MAX / 8 + 1> bits{};
    QList<std::uint16_t> keys;
    if (::ioctl(fd_.get(), EVIOCGKEY(sizeof bits), bits.data()) < 0)
        return keys;
    for (int code = 0; code <= KEY_MAX; ++code)
        if (bits[std::size_t(code / 8)] & (1u << (code % 8)))
            keys.append(std::uint16_t(code));
    return keys;
}

} // namespace velmor::bench
