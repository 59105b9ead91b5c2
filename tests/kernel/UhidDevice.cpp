#include "UhidDevice.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace velmor::test::kernel {

namespace {

// Into a zeroed, packed field of `size` bytes, leaving its last byte 0.
void copyText(void* target, size_t size, const QByteArray& text)
{
    std::memcpy(target, text.constData(), std::min(size - 1, size_t(text.size())));
}

} // namespace

UhidDevice::UhidDevice(const Options& options)
{
    static std::atomic<int> counter{0};
    m_uniq = QStringLiteral("velmor-%1-%2").arg(::getpid()).arg(++counter);
    if (options.descriptor.size() > HID_MAX_DESCRIPTOR_SIZE)
        throw std::runtime_error("report descriptor too long for uhid");

    UeventListener listener; // before the device exists, so no event is missed
    m_uhid = FileDescriptor::open(QStringLiteral("/dev/uhid"), O_RDWR);

    uhid_event event{};
    event.type = UHID_CREATE2;
    copyText(event.u.create2.name, sizeof event.u.create2.name, options.name.toUtf8());
    copyText(event.u.create2.phys, sizeof event.u.create2.phys, QByteArrayLiteral("velmor-test"));
    copyText(event.u.create2.uniq, sizeof event.u.create2.uniq, m_uniq.toUtf8());
    event.u.create2.rd_size = __u16(options.descriptor.size());
    event.u.create2.bus = options.bus;
    event.u.create2.vendor = options.vendor;
    event.u.create2.product = options.product;
    std::memcpy(event.u.create2.rd_data, options.descriptor.constData(), size_t(options.descriptor.size()));
    write(event);

    std::optional<HidNodes> nodes;
    const bool found = listener.waitUntil([&] { return (nodes = findHidNodes(m_uniq)).has_value(); });
    if (!found) {
        destroy();
        throw std::runtime_error("the kernel made no hidraw node for the uhid device");
    }
    m_nodes = *nodes;
}

UhidDevice::~UhidDevice()
{
    destroy();
}

void UhidDevice::write(const uhid_event& event)
{
    const ssize_t written = ::write(m_uhid.get(), &event, sizeof event);
    if (written != ssize_t(sizeof event))
        throw std::system_error(errno, std::generic_category(), "write to /dev/uhid");
}

void UhidDevice::sendInput(const QByteArray& report)
{
    if (report.size() > UHID_DATA_MAX)
        throw std::runtime_error("input report too long for uhid");
    uhid_event event{};
    event.type = UHID_INPUT2;
    event.u.input2.size = __u16(report.size());
    std::memcpy(event.u.input2.data, report.constData(), size_t(report.size()));
    write(event);
}

std::optional<UhidDevice::SetReport> UhidDevice::answerSetReport(quint16 error, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const std::optional<QByteArray> bytes = readWithin(m_uhid.get(), sizeof(uhid_event), std::max(left, 0ms));
        if (!bytes)
            return std::nullopt;
        uhid_event event{};
        std::memcpy(&event, bytes->constData(), std::min(sizeof event, size_t(bytes->size())));
        if (event.type != UHID_SET_REPORT)
            continue;

        const uhid_set_report_req& request = event.u.set_report;
        SetReport report{request.rnum, request.rtype,
                         QByteArray(reinterpret_cast<const char*>(request.data), std::min<int>(request.size, UHID_DATA_MAX))};
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.id;
        reply.u.set_report_reply.err = error;
        write(reply);
        return report;
    }
}

void UhidDevice::destroy()
{
    if (!m_uhid.isValid())
        return;
    uhid_event event{};
    event.type = UHID_DESTROY;
    [[maybe_unused]] const ssize_t written = ::write(m_uhid.get(), &event, sizeof event); // closing destroys it too
    m_uhid.reset();
}

} // namespace velmor::test::kernel
