#pragma once

#include "input/ConnectedDeviceInfo.h"
#include "input/RawHIDSample.h"
#include "platform/Published.h"
#include "ui/devices/HIDSampleText.h"
#include "ui/shared/DerivedState.h"

#include "platform/MainQueue.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <optional>

namespace velmor {

class AppModel;

// The HID inspector: the connected devices with their ignore state, the newest
// raw samples (all, or those of the selected device), copying them as text, and
// naming a sample's usage as a custom button id. The selections are kept by id:
// the selected device follows its current entry while it is listed (and keeps
// its last known entry once it is gone), the selected sample stays selected
// after it has left the list. A busy device sends a thousand samples a second,
// far more than anyone can read: the first sample after a quiet spell shows at
// once, later ones at most once per sampleInterval.
class HIDInspectorController {
public:
    // The event list shows at most this many of the newest samples that pass the filter.
    static constexpr qsizetype eventLimit = 200;
    static constexpr std::chrono::milliseconds sampleInterval{50};

    struct State {
        QList<ConnectedDeviceInfo> devices;
        std::optional<ConnectedDeviceInfo> selectedDevice;
        // The selected device is hardware that can be released: the button offers
        // "Ignore" or "Unignore".
        bool canIgnoreSelected = false;
        bool captureOnlySelected = false;
        // Oldest first.
        QList<RawHIDSample> events;
        std::optional<RawHIDSample> selectedEvent;
        // "Selected: …", or the hint to pick an event.
        QString selectedEventText;
        QString customLabel;
        bool canSaveMapping = false;
    };

    // `copyText` puts a text on the clipboard; by default the application's clipboard.
    explicit HIDInspectorController(AppModel& model, std::function<void(const QString&)> copyText = {});
    HIDInspectorController(const HIDInspectorController&) = delete;
    HIDInspectorController& operator=(const HIDInspectorController&) = delete;

    const Published<State>& state() const { return state_.published(); }

    // The samples the list shows and "Copy" copies: the feed, only those of the
    // device's vendor and product while `device` is given, then the newest eventLimit.
    static QList<RawHIDSample> filteredEvents(const QList<RawHIDSample>& feed,
                                              const std::optional<ConnectedDeviceInfo>& device);

    // Hardware can be left to other applications; the mock source's stand-in
    // (no vendor id) has nothing to release and never reaches the ignore list.
    static bool canIgnore(const ConnectedDeviceInfo& device) { return device.vendorId != 0; }

    // From the device list or the picker; none is "All".
    void selectDevice(const std::optional<QString>& deviceId);
    void setCaptureOnlySelected(bool on);
    // Releases the device for other applications, or takes it back, by its
    // current ignore state (looked up by id, never from an older copy). A device
    // that cannot be ignored is left alone.
    void toggleIgnore(const QString& deviceId);
    void toggleSelectedDeviceIgnore();

    void clearEvents();
    void copyEventLog();
    // One line per shown sample, joined by "\n"; times in `formatter`.
    QString eventLog(const hidtext::TimeFormatter& formatter) const;

    // A sample of the shown list (or still in the feed); another id changes nothing.
    void selectEvent(const QUuid& sampleId);
    void setCustomLabel(const QString& label);
    // Names the selected sample's usage with the label, trimmed of white space
    // and line breaks; refused while nothing is selected or the label is blank.
    void saveMapping();

private:
    State compute() const;
    std::optional<ConnectedDeviceInfo> currentEntry(const QString& deviceId) const;
    // The selected device as it is now: its current entry, else the last one seen.
    std::optional<ConnectedDeviceInfo> selectedDevice() const;
    QString trimmedLabel() const { return customLabel_.trimmed(); }
    void changed() { state_.refreshNow(); }
    void samplesArrived();
    void sampleIntervalEnded();

    AppModel& model_;
    std::function<void(const QString&)> copyText_;
    std::optional<ConnectedDeviceInfo> selectedDevice_;
    std::optional<RawHIDSample> selectedEvent_;
    QString customLabel_;
    bool captureOnlySelected_ = false;
    bool inSampleInterval_ = false;
    bool samplesWaiting_ = false;
    Cancellable sampleTimer_;
    DerivedState<State> state_;
    // Declared last: ended first.
    Subscription samples_;
};

} // namespace velmor
