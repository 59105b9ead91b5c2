// Shots of the device windows: the layout editor of the keypad and of the
// SpeechMike with the snap grid and a selected button (and without either), and
// the HID inspector with samples of both devices, one selected, and filtered,
// and with devices of long names.

#include "Screenshots.h"

#include "core/AppModel.h"
#include "input/IgnoreListStorage.h"
#include "input/UnifiedInputSource.h"
#include "ui/devices/widgets/DeviceLayoutEditor.h"
#include "ui/devices/widgets/HIDInspectorView.h"

namespace velmor::screenshots {

namespace {

// A user past the first start who ignores no device (a fresh install would leave
// the SpeechMike to its own software and list it as ignored).
struct NothingIgnored {
    NothingIgnored() { IgnoreListStorage::save({}); }
};

// The application model on scripted hardware with both devices plugged in.
struct DeviceScene : ScriptedPlatform, NothingIgnored {
    explicit DeviceScene(Scene& scene)
    {
        hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus V2"));
        hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike Premium Air"));
        scene.settle();
    }
    AppModel model;
};

// The application model with no hardware: the mock device stands in.
struct MockScene : ScriptedPlatform, NothingIgnored {
    explicit MockScene(Scene& scene) { scene.settle(); }
    AppModel model;
};

// The device's template is read when the shot is taken, not while shots register.
Render editor(const Device& (*device)(), const QString& selected)
{
    return [device, selected](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& devices = scene.make<DeviceScene>(scene);
        auto view = std::make_unique<DeviceLayoutEditor>(device(), devices.model);
        view->controller().select(selected);
        view->resize(1200, 700);
        return view;
    };
}

// A keypad press and release now and then, between SpeechMike button values.
void feedSamples(AppModel& model)
{
    const QDateTime start = QDateTime::fromString(QStringLiteral("2024-05-06T09:41:00Z"), Qt::ISODate);
    for (int n = 0; n < 24; ++n) {
        RawHIDSample sample;
        sample.timestamp = start.addMSecs(n * 350);
        const bool mike = n % 3 == 2;
        sample.vendorId = mike ? 0x0911 : 0x1532;
        sample.productId = mike ? 0x0C1C : 0x022B;
        sample.productName = mike ? QStringLiteral("SpeechMike Premium Air") : QStringLiteral("Razer Tartarus V2");
        sample.usagePage = mike ? 0xFF00 : 0x07;
        sample.usage = mike ? 0x01 + n / 3 : 0x1E + n / 2;
        sample.value = mike ? (n / 3) % 2 : (n + 1) % 2;
        sample.deviceId = mike ? QStringLiteral("speechmike_smp3700") : QStringLiteral("tartarus_v2");
        model.appendHIDSample(sample);
    }
}

Render inspector(bool selected)
{
    return [selected](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& devices = scene.make<DeviceScene>(scene);
        feedSamples(devices.model);
        scene.settle();
        auto view = std::make_unique<HIDInspectorView>(devices.model);
        if (selected) {
            view->controller().selectEvent(devices.model.hidEvents().get()[17].id);
            view->controller().setCustomLabel(QStringLiteral("REC"));
        }
        view->resize(900, 640);
        return view;
    };
}

const Shot keypadEditor("layout-editor-keypad", editor(&Device::tartarusTemplate, QStringLiteral("K06")));
const Shot mikeEditor("layout-editor-speechmike", editor(&Device::speechMikeTemplate, QStringLiteral("PLAY_PAUSE")));
const Shot mouseEditor("layout-editor-default-grid", editor(&Device::mouseTemplate, QStringLiteral("BUTTON_4")));
const Shot bareEditor("layout-editor-no-selection-snap-off", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto& devices = scene.make<DeviceScene>(scene);
    auto view = std::make_unique<DeviceLayoutEditor>(Device::tartarusTemplate(), devices.model);
    view->controller().select(QStringLiteral("NO_SUCH_BUTTON"));
    view->controller().setSnapEnabled(false);
    view->resize(1200, 700);
    return view;
});
// Devices whose own names are one long word, one of them left to other
// applications: each row cuts its name and keeps its "ignored" mark.
struct LongNamesScene : ScriptedPlatform, NothingIgnored {
    explicit LongNamesScene(Scene& scene)
    {
        hid.plug(0x1532, 0x022B, QStringLiteral("Razer") + QString(121, u'R'));
        hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike") + QString(116, u'M'));
        scene.settle();
        model.inputSource().hidSource().disableControl(0x0911, 0x0C1C);
        scene.settle();
    }
    AppModel model;
};
const Shot inspectorLongNames("hid-inspector-long-device-names", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto view = std::make_unique<HIDInspectorView>(scene.make<LongNamesScene>(scene).model);
    view->resize(900, 640);
    return view;
});
const Shot inspectorFiltered("hid-inspector-device-filter", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto& devices = scene.make<DeviceScene>(scene);
    feedSamples(devices.model);
    scene.settle();
    auto view = std::make_unique<HIDInspectorView>(devices.model);
    const QList<ConnectedDeviceInfo> connected = devices.model.connectedDevices().get();
    for (const ConnectedDeviceInfo& device : connected)
        if (device.productName == QStringLiteral("SpeechMike Premium Air"))
            view->controller().selectDevice(device.id());
    view->controller().setCaptureOnlySelected(true);
    view->resize(900, 640);
    return view;
});
// With a device selected, so the filter picker and "Ignore" share the row: at
// the size the sheet opens at where the screen has room, and at its smallest.
Render inspectorSized(bool smallest)
{
    return [smallest](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& devices = scene.make<DeviceScene>(scene);
        feedSamples(devices.model);
        scene.settle();
        auto view = std::make_unique<HIDInspectorView>(devices.model);
        view->controller().selectDevice(devices.model.connectedDevices().get().first().id());
        view->resize(smallest ? view->minimumSize() : HIDInspectorView::openingSize.expandedTo(view->minimumSize()));
        return view;
    };
}

// No hardware: the mock device stands in, selected and filtering. It has
// nothing to release, so the row offers no "Ignore".
const Shot inspectorMock("hid-inspector-mock-device", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto& mock = scene.make<MockScene>(scene);
    auto view = std::make_unique<HIDInspectorView>(mock.model);
    view->controller().selectDevice(mock.model.connectedDevices().get().first().id());
    view->controller().setCaptureOnlySelected(true);
    view->resize(HIDInspectorView::openingSize);
    return view;
});
const Shot inspectorOpening("hid-inspector-opening-size", inspectorSized(false));
const Shot inspectorSmallest("hid-inspector-minimum-size", inspectorSized(true));
const Shot inspectorSamples("hid-inspector-samples", inspector(false));
const Shot inspectorSelected("hid-inspector-selected", inspector(true));

} // namespace

} // namespace velmor::screenshots
