#pragma once

#include "input/CustomUsageMap.h"
#include "input/PressedButtonTable.h"
#include "input/VendorProduct.h"
#include "platform/hid/Device.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace velmor {

class DeviceIgnoreList;
class SerialQueue;
class SuppressionTap;
struct DeviceButtonEvent;
struct RawHIDSample;

// Where every input value of a matched device arrives, once per route it took:
// it becomes a raw sample, suppression windows, and button presses and releases.
// It keeps the buttons held now (on the queue "com.velmor.pressedbuttons") and
// the user's names for usages. This runs for every button press, so it stays
// free of work that a plain press does not need.
class HIDValuePath {
public:
    // What the path hands on and asks of its source. The source delivers
    // samples, log lines and events on the main queue, in the order handed on.
    class Host {
    public:
        // The template of the device in control, for pairs the table lacks.
        virtual std::optional<QString> connectedTemplateId() const = 0;
        virtual void deliver(DeviceButtonEvent event) = 0;
        virtual void deliver(RawHIDSample sample) = 0;
        virtual void deliverLog(QString line) = 0;

    protected:
        ~Host() = default;
    };

    HIDValuePath(Host& host, const DeviceIgnoreList& ignoreList, std::shared_ptr<SuppressionTap> suppression);
    ~HIDValuePath();
    HIDValuePath(const HIDValuePath&) = delete;
    HIDValuePath& operator=(const HIDValuePath&) = delete;

    // Main thread.
    void handle(const hid::Value& value);
    const CustomUsageMap& customUsageMap() const { return customUsageMap_; }
    void setCustomUsageMap(CustomUsageMap map) { customUsageMap_ = std::move(map); }

    // The held-button table; each runs synchronously on the pressed-buttons queue.
    PressedButtonTable::Recorded recordPressedButton(const PressedUsageKey& key, const QString& buttonId);
    std::optional<QString> removePressedButton(const PressedUsageKey& key);
    // Forgets every button the device holds; their ids in table order.
    QStringList releaseDevice(const QString& deviceId);
    // True while the calling code runs on the pressed-buttons queue.
    bool isOnQueue() const;

private:
    // What a device's fixed properties tell the path, worked out at its first
    // value instead of at every one.
    struct DeviceFacts {
        VendorProduct pair;
        std::optional<QString> productName;
        std::optional<QString> tableTemplateId;
        bool isSpeechMike = false;
        bool isTartarusPair = false;
        bool isTartarusPro = false;
    };
    struct KnownDevice {
        std::weak_ptr<const hid::Device> handle;
        const hid::Device* address = nullptr;
        DeviceFacts facts;
    };
    const DeviceFacts& factsOf(const std::shared_ptr<hid::Device>& device);

    Host& host_;
    const DeviceIgnoreList& ignoreList_;
    const std::shared_ptr<SuppressionTap> suppression_;
    CustomUsageMap customUsageMap_;
    PressedButtonTable pressedButtons_; // pressed-buttons queue
    const std::unique_ptr<SerialQueue> pressedQueue_;
    std::vector<KnownDevice> knownDevices_; // main thread
};

} // namespace velmor
