#pragma once

#include "platform/hid/Device.h"
#include "platform/hid/ScriptedFailures.h"

#include <QList>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

namespace velmor::hid {

// A device of the scripted backend (see ScriptedHid), driven by a test: it
// has properties and elements, sends values and reports, records the calls
// made on it and the feature reports it accepted, and fails calls on demand.
// After it is unplugged every call answers noDevice.
class ScriptedDevice final : public Device, public std::enable_shared_from_this<ScriptedDevice> {
public:
    struct SentReport {
        std::uint32_t reportId = 0;
        QByteArray report;
        bool operator==(const SentReport&) const = default;
    };
    // How a value reaches the managers that matched this device.
    using ValueRoute = std::function<void(const Value&)>;

    ScriptedDevice(QVariantMap properties, QList<Element> elements);
    ~ScriptedDevice() override;

    // Device
    QVariant property(const QString& key) const override;
    Result open(OpenOptions options) override;
    Result close(OpenOptions options) override;
    std::optional<QList<Element>> copyElements() const override;
    Result setFeatureReport(std::uint32_t reportId, const QByteArray& report) override;
    std::unique_ptr<Queue> createQueue(int depth) override;
    bool ownValueRoutesRepeatManager() const override;
    void setInputValueCallback(ValueCallback callback) override;
    void setInputReportCallback(qsizetype bufferLength, ReportCallback callback) override;
    void scheduleWithMainLoop() override;
    void unscheduleFromMainLoop() override;

    // Script. Sent values and reports arrive on a later turn of the main queue,
    // and only if the device is still attached then.
    void setProperty(const QString& key, const QVariant& value); // an invalid value removes the key
    void setElements(QList<Element> elements);
    // Whether it answers ownValueRoutesRepeatManager as the Linux backend does
    // (false, the default: like a platform whose routes each see every value).
    void setOwnValueRoutesRepeatManager(bool repeats);
    ScriptedFailures& failures() { return failures_; }
    void sendValue(const Element& element, std::int64_t value);
    void sendReport(std::uint32_t reportId, const QByteArray& report, ReportType type = ReportType::input,
                    Result result = Result::success());

    // What happened to it.
    bool isAttached() const;
    bool isOpen() const;
    bool isSeized() const;
    bool isScheduled() const;
    bool hasInputValueCallback() const;
    bool hasInputReportCallback() const;
    qsizetype reportBufferLength() const;
    // "open", "open seize", "close", "close seize", "copyElements",
    // "createQueue <depth>", "setFeatureReport <id>", in call order.
    QStringList calls() const;
    QList<SentReport> sentFeatureReports() const;

    // Used by ScriptedHid.
    void attach(ValueRoute route);
    void detach();

private:
    struct QueueState;
    class ScriptedQueue;

    // Records the call and answers what the script says; mutex_ held.
    Result beginCall(const QString& record, ScriptedCall call) const;
    void deliverValue(const Element& element, std::int64_t value);

    mutable std::mutex mutex_;
    QVariantMap properties_;
    QList<Element> elements_;
    mutable ScriptedFailures failures_;
    ValueRoute route_;
    bool attached_ = false;
    bool open_ = false;
    bool seized_ = false;
    bool scheduled_ = false;
    bool ownRoutesRepeatManager_ = false;
    ValueCallback valueCallback_;
    ReportCallback reportCallback_;
    qsizetype reportBufferLength_ = 0;
    mutable QStringList calls_; // recording a call is no change of the device
    QList<SentReport> sentReports_;
    QList<std::weak_ptr<QueueState>> queues_;
};

} // namespace velmor::hid
