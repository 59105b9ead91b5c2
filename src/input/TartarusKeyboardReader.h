#pragma once

#include "platform/hid/Device.h"
#include "platform/hid/Queue.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

namespace velmor {

// A direct reader on the Tartarus Pro's keyboard interface. Besides the HID
// manager's own value callback, the keypad's keys are read through a value
// queue and the device's own value callback, both feeding the same value path
// (left out where the backend hands every value to the manager once, as Linux
// does: they would only repeat it); and the first raw reports of each device are decoded into the log, which is
// how a new firmware's report layout shows itself.
//
// Registration and teardown run on the device queue; the callbacks run on the
// main loop.
class TartarusKeyboardReader : public std::enable_shared_from_this<TartarusKeyboardReader> {
public:
    using ValueHandler = std::function<void(const hid::Value&)>;
    using Log = std::function<void(const QString&)>;

    static constexpr int queueDepth = 32;
    static constexpr int loggedReportsPerDevice = 12;

    static std::shared_ptr<TartarusKeyboardReader> create(ValueHandler handleInputValue, Log log);

    // Attaches a reader when the device is the Pro's keyboard interface and has none yet.
    void registerTartarusKeyboardReader(const std::shared_ptr<hid::Device>& device, int productId);
    void unregisterTartarusKeyboardReader(hid::HandleId deviceId);
    bool hasReader(hid::HandleId deviceId) const { return queues_.contains(deviceId); }

    // One raw input report of a device with a reader: logged while the device
    // has logged fewer than twelve.
    void handleTartarusKeyboardReport(hid::HandleId deviceId, std::uint32_t reportId, const QByteArray& report);

private:
    // What the report callback knows; it holds the reader weakly.
    struct ReportContext {
        std::weak_ptr<TartarusKeyboardReader> owner;
        hid::HandleId deviceId;
    };
    struct ReportRegistration {
        std::shared_ptr<hid::Device> device;
        std::shared_ptr<ReportContext> context;
        qsizetype length = 0;
    };

    TartarusKeyboardReader(ValueHandler handleInputValue, Log log);
    void drain(hid::Queue& queue) const;

    ValueHandler handleInputValue_;
    Log log_;

    // Device queue only. A reader without a queue of its own holds null.
    QHash<hid::HandleId, std::shared_ptr<hid::Queue>> queues_;
    QSet<hid::HandleId> callbackDevices_;
    QHash<hid::HandleId, ReportRegistration> reportRegistrations_;

    // Counted on the main loop, cleared by teardown on the device queue.
    std::mutex logCountsMutex_;
    QHash<hid::HandleId, int> reportLogCounts_;
};

} // namespace velmor
