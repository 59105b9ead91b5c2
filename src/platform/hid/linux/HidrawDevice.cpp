#include "platform/hid/linux/HidrawDevice.h"

#include <QFile>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace velmor::hid {

namespace {

constexpr std::uint32_t genericDesktopPage = 0x01;
constexpr std::uint32_t firstAxisUsage = 0x30; // X
constexpr std::uint32_t lastAxisUsage = 0x38;  // Wheel
// The size field of a hidraw report ioctl has 14 bits.
constexpr qsizetype maxFeatureBuffer = (1 << 14) - 1;

QByteArray readReportDescriptor(const HidrawNode& node)
{
    const UniqueFd fd(::open(QFile::encodeName(node.devnode).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    int size = 0;
    if (fd && ::ioctl(fd.get(), HIDIOCGRDESCSIZE, &size) == 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        hidraw_report_descriptor descriptor{};
        descriptor.size = __u32(size);
        if (::ioctl(fd.get(), HIDIOCGRDESC, &descriptor) == 0)
            return QByteArray(reinterpret_cast<const char*>(descriptor.value), size);
    }
    // Without access to the node sysfs still shows the descriptor.
    return node.sysfsReportDescriptor();
}

} // namespace

std::shared_ptr<HidrawDevice> HidrawDevice::create(const HidrawNode& node)
{
    return create(node, readReportDescriptor(node));
}

std::shared_ptr<HidrawDevice> HidrawDevice::create(const HidrawNode& node, const QByteArray& descriptor)
{
    return std::shared_ptr<HidrawDevice>(new HidrawDevice(node, descriptor));
}

HidrawDevice::HidrawDevice(const HidrawNode& node, const QByteArray& descriptor)
    : node_(node)
{
    properties_.insert(property::vendorId, QVariant::fromValue<qint64>(node.vendorId));
    properties_.insert(property::productId, QVariant::fromValue<qint64>(node.productId));
    if (node.product)
        properties_.insert(property::product, *node.product);
    try {
        ReportDescriptor parsed = ReportDescriptor::parse(descriptor);
        if (!parsed.warning().isEmpty())
            qWarning("%s: %s", qPrintable(node.devnode), qPrintable(parsed.warning()));
        properties_.insert(property::maxInputReportSize, QVariant::fromValue<qint64>(parsed.maxInputReportSize()));
        properties_.insert(property::maxFeatureReportSize, QVariant::fromValue<qint64>(parsed.maxFeatureReportSize()));
        properties_.insert(property::primaryUsagePage, QVariant::fromValue<qint64>(parsed.primaryUsagePage()));
        properties_.insert(property::primaryUsage, QVariant::fromValue<qint64>(parsed.primaryUsage()));
        QList<Element> elements;
        for (const ReportElement& reportElement : parsed.elements())
            elements.append(element(reportElement));
        elements_ = std::move(elements);
        usesReportIds_ = parsed.usesReportIds(ReportElement::Kind::Input);
        decoder_.emplace(std::move(parsed));
    } catch (const ReportDescriptorError&) {
        // Matched and seizable all the same, but nothing it sends can be read.
    }
}

Element HidrawDevice::element(const ReportElement& element)
{
    ElementType type = ElementType::inputMisc;
    switch (element.kind) {
    case ReportElement::Kind::Output:
        type = ElementType::output;
        break;
    case ReportElement::Kind::Feature:
        type = ElementType::feature;
        break;
    case ReportElement::Kind::Input:
        if (element.role == ReportElement::Role::ArrayUsage
            || (element.role == ReportElement::Role::Variable && element.reportSize == 1))
            type = ElementType::inputButton;
        else if (element.role == ReportElement::Role::Variable && element.usagePage == genericDesktopPage
                 && element.usage >= firstAxisUsage && element.usage <= lastAxisUsage)
            type = ElementType::inputAxis;
        break;
    }
    return Element{element.cookie, type, element.usagePage, element.usage, element.isArray()};
}

QVariant HidrawDevice::property(const QString& key) const
{
    return properties_.value(key);
}

std::optional<QList<Element>> HidrawDevice::copyElements() const
{
    const std::lock_guard lock(mutex_);
    if (!attached_)
        return std::nullopt;
    return elements_;
}

Result HidrawDevice::open(OpenOptions options)
{
    {
        const std::lock_guard lock(mutex_);
        if (!attached_)
            return Result::noDevice();
        if (!nodeFd_) {
            const int fd = ::open(QFile::encodeName(node_.devnode).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                return Result::fromErrno(errno);
            nodeFd_ = std::make_shared<UniqueFd>(fd);
        }
        ++openCount_;
        if (options != OpenOptions::seize || grab_.isHeld())
            return Result::success();
    }

    // Grabbing may wait for held keys: not under the lock.
    EvdevGrab grab;
    const Result result = grab.grab(node_.evdevNodes());

    const std::lock_guard lock(mutex_);
    if (!attached_)
        return Result::noDevice();
    if (!result.isSuccess()) {
        if (openCount_ > 0 && --openCount_ == 0)
            closeNode();
        return result;
    }
    if (!grab_.isHeld())
        grab_ = std::move(grab);
    return Result::success();
}

Result HidrawDevice::close(OpenOptions options)
{
    const std::lock_guard lock(mutex_);
    if (!attached_)
        return Result::noDevice();
    if (openCount_ == 0)
        return Result::notOpen();
    if (options == OpenOptions::seize)
        grab_.release();
    if (--openCount_ == 0)
        closeNode();
    return Result::success();
}

void HidrawDevice::closeNode()
{
    grab_.release();
    nodeFd_.reset();
    openCount_ = 0;
}

Result HidrawDevice::setFeatureReport(std::uint32_t reportId, const QByteArray& report)
{
    if (reportId > 0xFF || report.size() + 1 > maxFeatureBuffer)
        return Result::badArgument();
    std::shared_ptr<UniqueFd> fd;
    {
        const std::lock_guard lock(mutex_);
        if (!attached_)
            return Result::noDevice();
        if (!nodeFd_)
            return Result::notOpen();
        fd = nodeFd_;
    }
    // The report id goes in front, 0 for a device without numbered reports.
    QByteArray buffer = char(reportId) + report;
    // Waits for the device to take the report: not under the lock.
    int written = 0;
    do {
        written = ::ioctl(fd->get(), HIDIOCSFEATURE(buffer.size()), buffer.data());
    } while (written < 0 && errno == EINTR);
    return written < 0 ? Result::fromErrno(errno) : Result::success();
}

std::unique_ptr<Queue> HidrawDevice::createQueue(int depth)
{
    if (depth < 1)
        return nullptr;
    auto inbox = std::make_shared<HidrawQueue::Inbox>(depth);
    {
        const std::lock_guard lock(mutex_);
        if (!attached_)
            return nullptr;
        queues_.removeIf([](const auto& weak) { return weak.expired(); });
        queues_.append(inbox);
    }
    return std::make_unique<HidrawQueue>(shared_from_this(), std::move(inbox));
}

void HidrawDevice::setInputValueCallback(ValueCallback callback)
{
    const std::lock_guard lock(mutex_);
    valueCallback_ = callback ? std::make_shared<const ValueCallback>(std::move(callback)) : nullptr;
}

void HidrawDevice::setInputReportCallback(qsizetype bufferLength, ReportCallback callback)
{
    const std::lock_guard lock(mutex_);
    reportBufferLength_ = bufferLength;
    reportCallback_ = callback ? std::make_shared<const ReportCallback>(std::move(callback)) : nullptr;
}

void HidrawDevice::scheduleWithMainLoop()
{
    const std::lock_guard lock(mutex_);
    scheduled_ = true;
}

void HidrawDevice::unscheduleFromMainLoop()
{
    const std::lock_guard lock(mutex_);
    scheduled_ = false;
}

void HidrawDevice::setValueRoute(ValueRoute route)
{
    const std::lock_guard lock(mutex_);
    route_ = route ? std::make_shared<const ValueRoute>(std::move(route)) : nullptr;
}

void HidrawDevice::deliverReport(const QByteArray& report)
{
    QList<ReportDecoder::Value> decoded;
    std::shared_ptr<const ValueRoute> route;
    std::shared_ptr<const ValueCallback> valueCallback;
    std::shared_ptr<const ReportCallback> reportCallback;
    qsizetype bufferLength = 0;
    QList<std::shared_ptr<HidrawQueue::Inbox>> queues;
    {
        const std::lock_guard lock(mutex_);
        if (!attached_)
            return;
        if (decoder_)
            decoded = decoder_->decode(report);
        route = route_;
        if (scheduled_) {
            valueCallback = valueCallback_;
            reportCallback = reportCallback_;
            bufferLength = reportBufferLength_;
        }
        for (const auto& weak : std::as_const(queues_))
            if (auto inbox = weak.lock())
                queues.append(std::move(inbox));
    }

    if (reportCallback && !report.isEmpty()) {
        const std::uint32_t reportId = usesReportIds_ ? quint8(report.at(0)) : 0;
        (*reportCallback)(Result::success(), ReportType::input, reportId, report.left(bufferLength));
    }
    if (decoded.isEmpty())
        return;
    const std::shared_ptr<Device> self = shared_from_this();
    for (const ReportDecoder::Value& item : std::as_const(decoded)) {
        const Value value{self, element(item.element), item.value};
        if (route)
            (*route)(value);
        if (valueCallback)
            (*valueCallback)(Result::success(), value);
        for (const auto& inbox : std::as_const(queues))
            if (const auto available = inbox->offer(value))
                available(Result::success());
    }
}

void HidrawDevice::detach()
{
    const std::lock_guard lock(mutex_);
    attached_ = false;
    closeNode();
    route_ = nullptr;
}

bool HidrawDevice::isAttached() const
{
    const std::lock_guard lock(mutex_);
    return attached_;
}

bool HidrawDevice::isSeized() const
{
    const std::lock_guard lock(mutex_);
    return grab_.isHeld();
}

} // namespace velmor::hid
