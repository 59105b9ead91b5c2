#pragma once

#include "platform/hid/Device.h"
#include "platform/hid/ReportDecoder.h"
#include "platform/hid/linux/EvdevGrab.h"
#include "platform/hid/linux/HidrawNode.h"
#include "platform/hid/linux/HidrawQueue.h"
#include "platform/UniqueFd.h"

#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

namespace velmor::hid {

// A HID device interface seen through its hidraw node. Its properties and
// elements come from sysfs and its report descriptor; the backend hands it the
// input reports it reads (deliverReport), which it decodes into element values
// for the manager, its own value callback and its queues.
//
// Opening opens the hidraw node for feature reports; opening with seize also
// grabs the device's evdev nodes. Every call may come from any thread; values
// and reports are delivered on the thread that delivers the report (the main
// loop).
class HidrawDevice final : public Device, public std::enable_shared_from_this<HidrawDevice> {
public:
    // How a value reaches the manager that matched the device.
    using ValueRoute = std::function<void(const Value&)>;

    // Reads the report descriptor through the node (HIDIOCGRDESC), or from sysfs
    // when the node cannot be opened.
    static std::shared_ptr<HidrawDevice> create(const HidrawNode& node);
    // A device with the given descriptor; one that does not parse leaves the
    // device without elements and report sizes. What the parser skipped is
    // logged once, here.
    static std::shared_ptr<HidrawDevice> create(const HidrawNode& node, const QByteArray& descriptor);

    const HidrawNode& node() const { return node_; }

    // Device
    QVariant property(const QString& key) const override;
    Result open(OpenOptions options) override;
    Result close(OpenOptions options) override;
    std::optional<QList<Element>> copyElements() const override;
    Result setFeatureReport(std::uint32_t reportId, const QByteArray& report) override;
    std::unique_ptr<Queue> createQueue(int depth) override;
    // Each report is read once and every value of it reaches the manager.
    bool ownValueRoutesRepeatManager() const override { return true; }
    void setInputValueCallback(ValueCallback callback) override;
    void setInputReportCallback(qsizetype bufferLength, ReportCallback callback) override;
    void scheduleWithMainLoop() override;
    void unscheduleFromMainLoop() override;

    // Backend side.
    void setValueRoute(ValueRoute route);
    // One input report as read from the node, its id byte first when the
    // device numbers its reports.
    void deliverReport(const QByteArray& report);
    // The device is gone: grabs and the node are let go, nothing more is
    // delivered, and every call answers noDevice.
    void detach();
    bool isAttached() const;
    bool isSeized() const;

    // The element a descriptor element stands for.
    static Element element(const ReportElement& element);

private:
    HidrawDevice(const HidrawNode& node, const QByteArray& descriptor);
    void closeNode(); // mutex_ held

    const HidrawNode node_;
    QVariantMap properties_;
    std::optional<QList<Element>> elements_;
    bool usesReportIds_ = false; // of its input reports

    mutable std::mutex mutex_;
    std::optional<ReportDecoder> decoder_;
    bool attached_ = true;
    int openCount_ = 0;
    std::shared_ptr<UniqueFd> nodeFd_; // shared so a feature report can outlive a close
    EvdevGrab grab_;
    bool scheduled_ = false;
    // Shared, so that a report takes them out from under the lock without a copy.
    std::shared_ptr<const ValueRoute> route_;
    std::shared_ptr<const ValueCallback> valueCallback_;
    std::shared_ptr<const ReportCallback> reportCallback_;
    qsizetype reportBufferLength_ = 0;
    QList<std::weak_ptr<HidrawQueue::Inbox>> queues_;
};

} // namespace velmor::hid
