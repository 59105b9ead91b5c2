#include "ui/devices/HIDInspectorController.h"

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QStringList>

#include <algorithm>

namespace velmor {

namespace {
void copyToClipboard(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}
} // namespace

HIDInspectorController::HIDInspectorController(AppModel& model, std::function<void(const QString&)> copyText)
    : model_(model), copyText_(copyText ? std::move(copyText) : copyToClipboard), state_([this] { return compute(); })
{
    state_.watch(model_.connectedDevices());
    samples_ = model_.hidEvents().subscribe([this, initial = true](const QList<RawHIDSample>&) mutable {
        if (!std::exchange(initial, false))
            samplesArrived();
    });
}

void HIDInspectorController::samplesArrived()
{
    if (inSampleInterval_) {
        samplesWaiting_ = true;
        return;
    }
    state_.invalidate();
    inSampleInterval_ = true;
    sampleTimer_ = afterOnMain(sampleInterval, [this] { sampleIntervalEnded(); });
}

void HIDInspectorController::sampleIntervalEnded()
{
    inSampleInterval_ = false;
    if (std::exchange(samplesWaiting_, false))
        samplesArrived();
}

QList<RawHIDSample> HIDInspectorController::filteredEvents(const QList<RawHIDSample>& feed,
                                                           const std::optional<ConnectedDeviceInfo>& device)
{
    if (!device)
        return feed.mid(std::max<qsizetype>(feed.size() - eventLimit, 0));
    // From the newest back, so a busy feed costs no more than the list shows.
    QList<RawHIDSample> kept;
    for (qsizetype index = feed.size() - 1; index >= 0 && kept.size() < eventLimit; --index) {
        const RawHIDSample& sample = feed[index];
        if (sample.vendorId == device->vendorId && sample.productId == device->productId)
            kept.append(sample);
    }
    std::reverse(kept.begin(), kept.end());
    return kept;
}

std::optional<ConnectedDeviceInfo> HIDInspectorController::currentEntry(const QString& deviceId) const
{
    for (const ConnectedDeviceInfo& device : model_.connectedDevices().get())
        if (device.id() == deviceId)
            return device;
    return std::nullopt;
}

std::optional<ConnectedDeviceInfo> HIDInspectorController::selectedDevice() const
{
    if (!selectedDevice_)
        return std::nullopt;
    return currentEntry(selectedDevice_->id()).value_or(*selectedDevice_);
}

void HIDInspectorController::selectDevice(const std::optional<QString>& deviceId)
{
    if (!deviceId) {
        selectedDevice_.reset();
    } else if (const std::optional<ConnectedDeviceInfo> device = currentEntry(*deviceId)) {
        selectedDevice_ = device;
    } else {
        return;
    }
    changed();
}

void HIDInspectorController::setCaptureOnlySelected(bool on)
{
    captureOnlySelected_ = on;
    changed();
}

void HIDInspectorController::toggleIgnore(const QString& deviceId)
{
    std::optional<ConnectedDeviceInfo> device = currentEntry(deviceId);
    if (!device && selectedDevice_ && selectedDevice_->id() == deviceId)
        device = selectedDevice_; // unplugged: its last known entry is all there is
    if (!device || !canIgnore(*device))
        return;
    HIDDeviceInputSource& source = model_.inputSource().hidSource();
    if (device->ignored)
        source.enableControl(device->vendorId, device->productId);
    else
        source.disableControl(device->vendorId, device->productId);
}

void HIDInspectorController::toggleSelectedDeviceIgnore()
{
    if (selectedDevice_)
        toggleIgnore(selectedDevice_->id());
}

void HIDInspectorController::clearEvents() { model_.clearHIDEvents(); }

QString HIDInspectorController::eventLog(const hidtext::TimeFormatter& formatter) const
{
    QStringList lines;
    for (const RawHIDSample& sample : state().get().events)
        lines.append(hidtext::logLine(sample, formatter));
    return lines.join(QLatin1Char('\n'));
}

void HIDInspectorController::copyEventLog()
{
    // The list as it is now, not as last drawn.
    changed();
    copyText_(eventLog(&hidtext::mediumTime));
}

void HIDInspectorController::selectEvent(const QUuid& sampleId)
{
    // The list a view shows may lag the feed a little: a row it still shows is in the feed.
    for (const auto* samples : {&state().get().events, &model_.hidEvents().get()}) {
        for (const RawHIDSample& sample : *samples) {
            if (sample.id == sampleId) {
                selectedEvent_ = sample;
                changed();
                return;
            }
        }
    }
}

void HIDInspectorController::setCustomLabel(const QString& label)
{
    customLabel_ = label;
    changed();
}

void HIDInspectorController::saveMapping()
{
    const QString name = trimmedLabel();
    if (!selectedEvent_ || name.isEmpty())
        return;
    model_.setCustomUsageName(*selectedEvent_, name);
    customLabel_.clear();
    changed();
}

HIDInspectorController::State HIDInspectorController::compute() const
{
    State state;
    state.devices = model_.connectedDevices().get();
    state.selectedDevice = selectedDevice();
    state.canIgnoreSelected = state.selectedDevice && canIgnore(*state.selectedDevice);
    state.captureOnlySelected = captureOnlySelected_;
    state.events = filteredEvents(model_.hidEvents().get(),
                                  captureOnlySelected_ ? state.selectedDevice : std::optional<ConnectedDeviceInfo>());
    state.selectedEvent = selectedEvent_;
    state.selectedEventText = selectedEvent_ ? hidtext::selectedLine(*selectedEvent_)
                                             : QStringLiteral("Select an event above to map it.");
    state.customLabel = customLabel_;
    state.canSaveMapping = selectedEvent_ && !trimmedLabel().isEmpty();
    return state;
}

} // namespace velmor
