#include "input/TartarusKeyboardReader.h"

#include "input/HIDDeviceTable.h"
#include "input/KeyboardReport.h"

namespace velmor {

namespace {
constexpr std::uint32_t keyboardUsagePage = 7;
} // namespace

std::shared_ptr<TartarusKeyboardReader> TartarusKeyboardReader::create(ValueHandler handleInputValue, Log log)
{
    return std::shared_ptr<TartarusKeyboardReader>(new TartarusKeyboardReader(std::move(handleInputValue), std::move(log)));
}

TartarusKeyboardReader::TartarusKeyboardReader(ValueHandler handleInputValue, Log log)
    : handleInputValue_(std::move(handleInputValue))
    , log_(std::move(log))
{
}

void TartarusKeyboardReader::registerTartarusKeyboardReader(const std::shared_ptr<hid::Device>& device, int productId)
{
    if (productId != HIDDeviceTable::tartarusProProductId || !device || !isKeyboardInterface(*device))
        return;
    const hid::HandleId id = device->handleId();
    if (queues_.contains(id))
        return;
    const std::optional<QList<hid::Element>> elements = device->copyElements();
    if (!elements)
        return;

    // Where the manager's callback already gets every value once, a queue and
    // the device's own callback would hand each key to the value path again.
    const bool ownRoutes = !device->ownValueRoutesRepeatManager();
    std::shared_ptr<hid::Queue> queue;
    if (ownRoutes) {
        queue = device->createQueue(queueDepth);
        if (!queue) {
            log_(QStringLiteral("Failed to create Tartarus Pro keyboard queue."));
            return;
        }
    }
    int count = 0;
    for (const hid::Element& element : *elements) {
        const bool input = element.type == hid::ElementType::inputMisc || element.type == hid::ElementType::inputButton;
        if (input && element.usagePage == keyboardUsagePage) {
            if (queue)
                queue->addElement(element);
            ++count;
        }
    }
    if (count == 0) {
        log_(QStringLiteral("No Tartarus Pro keyboard elements were available for queue registration."));
        return;
    }

    const std::weak_ptr<TartarusKeyboardReader> weakSelf = weak_from_this();
    if (ownRoutes)
        device->setInputValueCallback([weakSelf](hid::Result result, const hid::Value& value) {
            if (auto self = weakSelf.lock(); self && result.isSuccess())
                self->handleInputValue_(value);
        });

    const qsizetype length = keyboardReportBufferLength(device->property(hid::property::maxInputReportSize));
    auto context = std::make_shared<ReportContext>(ReportContext{weakSelf, id});
    reportRegistrations_.insert(id, ReportRegistration{device, context, length});
    device->setInputReportCallback(
        length, [context](hid::Result result, hid::ReportType type, std::uint32_t reportId, const QByteArray& report) {
            if (!result.isSuccess() || type != hid::ReportType::input || report.isEmpty())
                return;
            if (auto owner = context->owner.lock())
                owner->handleTartarusKeyboardReport(context->deviceId, reportId, report);
        });
    device->scheduleWithMainLoop();

    if (queue) {
        const std::weak_ptr<hid::Queue> weakQueue = queue;
        queue->setValueAvailableCallback([weakSelf, weakQueue](hid::Result result) {
            auto self = weakSelf.lock();
            auto queue = weakQueue.lock();
            if (self && queue && result.isSuccess())
                self->drain(*queue);
        });
        queue->scheduleWithMainLoop();
        queue->start();
    }

    queues_.insert(id, std::move(queue));
    callbackDevices_.insert(id);
    log_(QStringLiteral("Registered Tartarus Pro keyboard direct reader with %1 queued elements and %2-byte report buffer.")
             .arg(count)
             .arg(length));
}

void TartarusKeyboardReader::unregisterTartarusKeyboardReader(hid::HandleId id)
{
    if (const std::shared_ptr<hid::Queue> queue = queues_.take(id)) { // none where the manager suffices
        queue->stop();
        queue->unscheduleFromMainLoop();
    }
    const ReportRegistration registration = reportRegistrations_.take(id);
    if (callbackDevices_.remove(id) && registration.device) {
        registration.device->setInputValueCallback({});
        registration.device->setInputReportCallback(registration.length, {});
        registration.device->unscheduleFromMainLoop();
    }
    const std::lock_guard lock(logCountsMutex_);
    reportLogCounts_.remove(id);
}

void TartarusKeyboardReader::drain(hid::Queue& queue) const
{
    while (const std::optional<hid::Value> value = queue.copyNextValue())
        handleInputValue_(*value);
}

void TartarusKeyboardReader::handleTartarusKeyboardReport(hid::HandleId deviceId, std::uint32_t reportId,
                                                          const QByteArray& report)
{
    {
        const std::lock_guard lock(logCountsMutex_);
        int& count = reportLogCounts_[deviceId];
        if (count >= loggedReportsPerDevice)
            return;
        ++count;
    }
    // Decoded only for the line: past the twelfth report nothing reads it.
    log_(keyboardReportLogLine(reportId, report, decodeKeyboardReport(report)));
}

} // namespace velmor
