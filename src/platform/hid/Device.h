#pragma once

#include "platform/hid/Element.h"
#include "platform/hid/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velmor::hid {

class Device;
class Queue;

// Names of the device properties the system reads. Numbers come back as
// integers, names as text.
namespace property {
inline const QString vendorId = QStringLiteral("VendorID");
inline const QString productId = QStringLiteral("ProductID");
inline const QString product = QStringLiteral("Product");
inline const QString maxFeatureReportSize = QStringLiteral("MaxFeatureReportSize");
inline const QString maxInputReportSize = QStringLiteral("MaxInputReportSize");
inline const QString primaryUsagePage = QStringLiteral("PrimaryUsagePage");
inline const QString primaryUsage = QStringLiteral("PrimaryUsage");
} // namespace property

// The identity of one device handle: equal exactly when it names the same
// handle object. Never reused within a run; holding it keeps nothing alive.
struct HandleId {
    std::uint64_t value = 0;
    constexpr auto operator<=>(const HandleId&) const = default;
};

inline size_t qHash(HandleId id, size_t seed = 0) noexcept { return ::qHash(id.value, seed); }

enum class OpenOptions { none, seize };
enum class ReportType { input = 0, output = 1, feature = 2 };

// Whether a property value is a number; text that merely converts to one is not.
bool holdsNumber(const QVariant& value);

// One value an element reported. It keeps its device alive.
struct Value {
    std::shared_ptr<Device> device;
    Element element;
    std::int64_t integerValue = 0;
};

// A handle to one HID device interface. Calls may come from any thread;
// callbacks run on the main loop, and only while the handle is scheduled with it
// (the manager's own value callback does not need that).
class Device {
public:
    using ValueCallback = std::function<void(Result, const Value&)>;
    // `report` is the report as read, with its leading report-id byte when the
    // device numbers its reports, cut to the buffer length given at registration.
    using ReportCallback = std::function<void(Result, ReportType, std::uint32_t reportId, const QByteArray& report)>;

    Device();
    virtual ~Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    HandleId handleId() const { return handleId_; }

    // Invalid when the device has no such property.
    virtual QVariant property(const QString& key) const = 0;
    // The property when it is a number (fractions cut off), else none.
    std::optional<std::int64_t> integerProperty(const QString& key) const;
    // The property when it is text, else none.
    std::optional<QString> stringProperty(const QString& key) const;

    // Seizing opens the device exclusively: its input no longer reaches the rest
    // of the system. Close with the options it was opened with.
    virtual Result open(OpenOptions options) = 0;
    virtual Result close(OpenOptions options) = 0;

    // Every element of the device; none when they cannot be read.
    virtual std::optional<QList<Element>> copyElements() const = 0;
    // Sends a feature report; `report` is the payload without the report-id byte.
    // A device that is not open answers notOpen.
    virtual Result setFeatureReport(std::uint32_t reportId, const QByteArray& report) = 0;
    // A value queue of `depth` entries over elements of this device; null on failure.
    virtual std::unique_ptr<Queue> createQueue(int depth) = 0;

    // True when the device's own value callback and queues would only get
    // copies of the values the manager's value callback already gets (a
    // backend that reads each report once): whoever wants every value once then
    // listens to the manager alone.
    virtual bool ownValueRoutesRepeatManager() const { return false; }

    // An empty callback unregisters.
    virtual void setInputValueCallback(ValueCallback callback) = 0;
    virtual void setInputReportCallback(qsizetype bufferLength, ReportCallback callback) = 0;
    virtual void scheduleWithMainLoop() = 0;
    virtual void unscheduleFromMainLoop() = 0;

private:
    HandleId handleId_;
};

} // namespace velmor::hid
