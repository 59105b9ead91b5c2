#pragma once

#include "model/ButtonMapping.h"
#include "input/CustomUsageMap.h"
#include "input/DeviceIgnoreList.h"
#include "input/DeviceInputSource.h"
#include "input/HIDDeviceTable.h"
#include "input/HIDValuePath.h"
#include "input/KeypadLighting.h"
#include "input/PressedButtonTable.h"
#include "input/RawHIDSample.h"
#include "input/ValueOutbox.h"
#include "input/VendorProduct.h"
#include "platform/SerialQueue.h"
#include "platform/hid/Device.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace velmor {

class SuppressionTap;
class TartarusKeyboardReader;
struct RazerRGB;

namespace hid {
class Manager;
}

// The input source of real hardware. It matches the known devices by vendor
// and product id, seizes them so that their factory output stays away from
// other applications, tracks every attached handle, publishes the connected
// devices and the active template, and hands every HID value to the value path.
//
// Threads: the HID manager's callbacks and everything published run on the main
// thread; attached devices live on the device queue, held buttons on the
// pressed-buttons queue, suppression state on the suppression queue. Work on
// those queues holds the source weakly; only publishing on the main queue holds
// it strongly.
class HIDDeviceInputSource final : public DeviceInputSource,
                                   private HIDValuePath::Host,
                                   public std::enable_shared_from_this<HIDDeviceInputSource> {
public:
    using RawSampleHandler = std::function<void(const RawHIDSample&)>;
    using CustomUsageMap = velmor::CustomUsageMap;

    static constexpr std::int64_t razerVendorId = HIDDeviceTable::razerVendorId;
    static constexpr std::int64_t tartarusProProductId = HIDDeviceTable::tartarusProProductId;
    static constexpr VendorProduct speechMikePair = HIDDeviceTable::speechMikePair;

    // Builds the source, reads its ignore list and starts matching devices.
    static std::shared_ptr<HIDDeviceInputSource> create(bool isFreshInstall);
    ~HIDDeviceInputSource() override;

    // The pairs the source knows, in table order, with their template ids.
    static const QList<std::pair<VendorProduct, QString>>& deviceMap() { return HIDDeviceTable::deviceMap(); }
    static std::optional<QString> templateIdFor(const VendorProduct& pair)
    {
        return HIDDeviceTable::templateIdFor(pair);
    }
    // Vendor 0x1532 with a keypad product id.
    static bool isTartarusPair(const VendorProduct& pair) { return HIDDeviceTable::isTartarusPair(pair); }

    const QList<Device>& devices() const override { return devices_; }
    const Published<Device>& activeDevice() const override { return activeDevice_; }
    void setActiveDevice(const Device& device) override { activeDevice_.set(device); }
    const Published<QList<ConnectedDeviceInfo>>& connectedDevices() const override { return connectedDevices_; }
    // The active template follows the hardware.
    void selectDevice(const QString&) override {}
    void start() override;

    RawSampleHandler onRawHIDEvent;

    // The template and pair of the device in control; none while none is.
    std::optional<QString> connectedTemplateId() const override;
    std::optional<VendorProduct> connectedKey() const;

    // User names for usages, by device pair and usage key. Main thread.
    const CustomUsageMap& customUsageMap() const { return values_->customUsageMap(); }
    void setCustomUsageMap(CustomUsageMap map) { values_->setCustomUsageMap(std::move(map)); }

    // Device id to the ids of its mapped buttons; replaced asynchronously.
    void setMappedButtons(QHash<QString, QSet<QString>> mapped);
    // The same from the mappings themselves, gathered away from the caller's thread.
    void setMappedButtonsOf(QList<ButtonMapping> mappings);
    bool isButtonMapped(const QString& deviceId, const QString& buttonId) const;

    // The value path arms the factory-output suppression: a keypad key's code
    // for 120 ms, a mapped wheel notch (+1 up, -1 down) and a mapped wheel press
    // for 20 ms, a SpeechMike click for 50 ms. Any thread.
    void armKeySuppression(std::uint32_t keyboardUsage); // the bare page-7 usage, e.g. 0x1E
    void armWheelSuppression(int direction);
    void armWheelClickSuppression();
    void armSpeechMikeMouseSuppression(bool rightButton);

    // Where every input value of a matched device arrives: it becomes a raw
    // sample, suppression hand-offs, and button presses and releases. Main thread.
    void handleInputValue(const hid::Value& value) { values_->handle(value); }

    // Releases every attached device of the pair for other applications, and
    // keeps it released across restarts; enableControl takes it back. Both
    // return at once and run in the order they were called.
    void disableControl(std::int64_t vendorId, std::int64_t productId);
    void enableControl(std::int64_t vendorId, std::int64_t productId);

    // The keypads' backlight colour: sent to every keypad that takes it now and
    // to each that arrives later. None keeps what the keypads show.
    void setLighting(std::optional<RazerRGB> colour);
    // Sends the colour to this one keypad and logs the outcome under `name`, else its
    // product name. Returns at once; runs in order with setLighting.
    void applyLighting(const RazerRGB& colour, std::shared_ptr<hid::Device> device,
                       std::optional<QString> name = std::nullopt);

    // The held-button table, for the value path: both run synchronously on the
    // pressed-buttons queue.
    PressedButtonTable::Recorded recordPressedButton(const PressedUsageKey& key, const QString& buttonId)
    {
        return values_->recordPressedButton(key, buttonId);
    }
    std::optional<QString> removePressedButton(const PressedUsageKey& key) { return values_->removePressedButton(key); }

    // True while the factory-output event tap is installed. Main thread.
    bool hasSuppressionTap() const;

private:
    struct Deleter;
    struct AttachedHIDDevice {
        std::shared_ptr<hid::Device> device;
        VendorProduct key;
        std::optional<QString> name;
        QString templateId;
    };
    struct FallbackCandidate {
        VendorProduct key;
        QString templateId;
    };

    explicit HIDDeviceInputSource(bool isFreshInstall);
    // The suppression tap, the keyboard reader and the value path call back into
    // the source, so they are made once it is owned.
    void setUpSuppression();

    // Runs `work` on `queue` later, if the source still exists then.
    template <typename F>
    void post(SerialQueue& queue, F work);

    // Hands one line to onLog on the main queue. Any thread.
    void log(const QString& line);
    // The value path's: into the outbox, for onEvent, onRawHIDEvent and onLog.
    void deliver(DeviceButtonEvent event) override;
    void deliver(RawHIDSample sample) override;
    void deliverLog(QString line) override;
    void send(ValueOutbox::Item item);
    // Main queue: hands what the outbox holds to the callbacks, in order.
    void deliverOutbox();

    // Main thread: the manager's callbacks and publishing.
    void deviceMatched(const std::shared_ptr<hid::Device>& device);
    void deviceLeft(const std::shared_ptr<hid::Device>& device);
    // Lists the device unless its pair is listed already.
    void listConnectedDevice(const AttachedHIDDevice& attached, bool ignored);
    // Lists it and gives it control.
    void publishConnectedDevice(const AttachedHIDDevice& attached, const Device& device);
    void removeConnectedDevices(const VendorProduct& pair);
    void setConnectedDevicesIgnored(bool ignored, const VendorProduct& pair);
    void takeBackControl(const VendorProduct& pair, const std::optional<QString>& templateId);
    void applyFallback(const VendorProduct& excluded, const std::optional<FallbackCandidate>& candidate);
    void setConnection(std::optional<QString> templateId, std::optional<VendorProduct> key);

    // Device queue: the life cycle of attached handles.
    void deviceConnected(std::int64_t vendor, std::int64_t product, const std::shared_ptr<hid::Device>& device,
                         const std::optional<QString>& name);
    void seizeDevice(const AttachedHIDDevice& attached);
    void registerSpeechMike(hid::HandleId id, const VendorProduct& pair);
    void deviceRemoved(std::int64_t vendor, std::int64_t product, const std::shared_ptr<hid::Device>& device);
    void forgetTartarusDevice(hid::HandleId id, const VendorProduct& pair);
    void forgetSpeechMikeDevice(hid::HandleId id, const VendorProduct& pair);
    void releasePressedButtons(const QString& deviceId);
    // Picks the device that takes control when the excluded pair leaves it; the
    // choice is applied on the main queue, after what was published before.
    void selectFallbackDevice(const VendorProduct& excluded);
    void postSuppressionTapChange(bool install);
    bool noKeypadOrSpeechMikeRegistered() const;

    // Interface (main thread)
    const QList<Device> devices_;
    Published<Device> activeDevice_;
    Published<QList<ConnectedDeviceInfo>> connectedDevices_;
    bool started_ = false;
    bool runLoopScheduled_ = false;
    std::unique_ptr<hid::Manager> manager_;

    // Written on the main queue, read there and on the device queue.
    mutable std::mutex connectionMutex_;
    std::optional<QString> connectedTemplateId_;
    std::optional<VendorProduct> connectedKey_;

    DeviceIgnoreList ignoreList_;

    // Device queue. Handles are ordered by identity, that is by arrival.
    std::map<hid::HandleId, AttachedHIDDevice> attachedDevices_;
    QSet<hid::HandleId> seizedDevices_;
    QSet<hid::HandleId> tartarusDeviceIds_;
    QSet<hid::HandleId> speechMikeDeviceIds_;
    KeypadLighting lighting_;

    // The tap and its windows (on their own queue "com.velmor.tartarus.suppression").
    std::shared_ptr<SuppressionTap> suppression_;
    // Device queue, callbacks on the main thread.
    std::shared_ptr<TartarusKeyboardReader> keyboardReader_;
    // Main thread, with the held buttons on its own queue.
    std::unique_ptr<HIDValuePath> values_;
    ValueOutbox outbox_;

    // Declared last, so destroyed first: what is still pending finds the source gone.
    const std::unique_ptr<SerialQueue> deviceQueue_;
};

template <typename F>
void HIDDeviceInputSource::post(SerialQueue& queue, F work)
{
    queue.async([weak = weak_from_this(), work = std::move(work)]() mutable {
        if (auto self = weak.lock())
            work(*self);
    });
}

} // namespace velmor
