// Shots of the mapping window: the keypad and the SpeechMike, a selected button,
// the conflict question, an alert of each severity, the filtered tool list, "No
// matches", the favourites group, the event log, "Not connected" and each context
// panel with and without the keypad. Sizes checked: most shots at 1600 × 940;
// "mapping-window-1366x768" at the content size a window gets on a 1366 × 768
// screen (less a 28-point panel, the window's frame and its menu bar) with the
// permission banner showing, and "mapping-window-1920x1080" at the default size.
// "mapping-window-button-names" shows long, CJK and direction-changing button names.

#include "Screenshots.h"

#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "store/ProfileStore.h"
#include "ui/mapping/MappingController.h"
#include "ui/mapping/MappingEditor.h"
#include "ui/mapping/widgets/MappingView.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace velmor::screenshots {

namespace {

const QString keypad = QStringLiteral("tartarus_v2");

// The application model on scripted hardware with a mapping window's controller.
struct MappingScene : ScriptedPlatform {
    using ScriptedPlatform::ScriptedPlatform;

    ProfileStore& store() { return model.profileStore(); }

    // The first tools of the active PACS profile on the keypad's first keys.
    void mapKeypad(int count)
    {
        const QList<RadiologyTool> tools = model.activePacsProfile().tools;
        const QUuid user = store().activeUserProfile().id;
        for (int i = 0; i < count && i < tools.size(); ++i)
            store().setMapping(keypad, QStringLiteral("K%1").arg(i + 1, 2, 10, QChar('0')), tools[i].id, user);
    }
    void plugKeypad() { keypadDevice = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus")); }
    void plugSpeechMike()
    {
        hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike"));
        model.inputSource().hidSource().enableControl(0x0911, 0x0C1C);
    }

    ScriptedPrompter prompter;
    AppModel model;
    MappingController controller{model, prompter};
    std::shared_ptr<hid::ScriptedDevice> keypadDevice;
};

std::unique_ptr<MappingView> window(Scene& scene, MappingScene& mapping)
{
    scene.settle();
    auto view = std::make_unique<MappingView>(mapping.controller);
    view->resize(1600, 940);
    return view;
}

MappingScene& keypadScene(Scene& scene, int mapped = 9)
{
    auto& mapping = scene.make<MappingScene>();
    mapping.plugKeypad();
    scene.settle();
    mapping.mapKeypad(mapped);
    return mapping;
}

// The window over the keypad with its first `mapped` keys mapped, after `setUp`.
Render keypadWindow(std::function<void(MappingScene&)> setUp, int mapped = 9)
{
    return [setUp, mapped](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& mapping = keypadScene(scene, mapped);
        setUp(mapping);
        return window(scene, mapping);
    };
}

// A question drawn as the application draws it, over the window.
void showQuestion(QWidget& over, const Prompter::Question& question)
{
    auto* box = new QMessageBox(&over);
    box->setWindowFlags(Qt::Widget);
    box->setIcon(QMessageBox::Warning);
    box->setText(question.title);
    box->setInformativeText(question.message);
    for (const Prompter::Button& button : question.buttons)
        box->addButton(button.text, button.role == Prompter::Role::destructive ? QMessageBox::DestructiveRole
                                    : button.role == Prompter::Role::cancel    ? QMessageBox::RejectRole
                                                                               : QMessageBox::AcceptRole);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, QColor(0x2a, 0x2a, 0x30));
    box->setPalette(palette);
    // As wide as the dialog the application shows.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(440, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    box->adjustSize();
    box->move((over.width() - box->width()) / 2, over.height() / 4);
    box->show();
}

const Shot withKeypad("mapping-window-keypad", keypadWindow([](MappingScene&) {}));
const Shot emptyMappings("mapping-window-no-mappings", keypadWindow([](MappingScene&) {}, 0));

const Shot selectedButton("mapping-window-selected-button", [](Scene& scene) {
    auto& mapping = keypadScene(scene);
    auto view = window(scene, mapping);
    scene.settle();
    mapping.keypadDevice->sendValue({25, hid::ElementType::inputButton, 7, 0x22, false}, 1); // K05, held
    scene.settle();
    mapping.controller.selectButton(QStringLiteral("K12"));
    return view;
});

const Shot withSpeechMike("mapping-window-speechmike", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>();
    mapping.plugSpeechMike();
    scene.settle();
    mapping.controller.selectDevice(QStringLiteral("speechmike_smp3700"));
    scene.settle();
    const QUuid user = mapping.store().activeUserProfile().id;
    const QList<RadiologyTool> tools = mapping.model.activePacsProfile().tools;
    const Device device = mapping.model.inputSource().activeDevice().get();
    for (int i = 0; i < 4 && i < device.buttons.size(); ++i)
        mapping.store().setMapping(device.id, device.buttons[i].id, tools.value(i + 3).id, user);
    return window(scene, mapping);
});

const Shot conflict("mapping-window-conflict", [](Scene& scene) {
    auto& mapping = keypadScene(scene);
    auto view = window(scene, mapping);
    view->show();
    scene.settle();
    const QList<RadiologyTool> tools = mapping.model.activePacsProfile().tools;
    ConflictPrompt prompt{{QUuid::createUuid(), keypad, QStringLiteral("K01"), true, true}, tools.value(0), tools.value(12)};
    mapping.controller.selectButton(QStringLiteral("K01"));
    scene.settle();
    showQuestion(*view, MappingEditor::replaceQuestion(prompt));
    return view;
});

const Shot alert("mapping-window-alert", keypadWindow([](MappingScene& mapping) {
    mapping.model.presentAlert(QStringLiteral("Import Failed"),
                               QStringLiteral("The file is not a user profile: a \"mappings\" list is missing."),
                               AlertMessage::Severity::error);
    mapping.controller.showToast(QStringLiteral("Mapped K03 → Zoom"));
}));

const Shot filtered("mapping-window-tools-filtered", keypadWindow([](MappingScene& mapping) {
    mapping.controller.setToolFilter(ToolFilter::viewer);
    mapping.controller.setSearchText(QStringLiteral("an"));
    mapping.controller.setMappingSearchText(QStringLiteral("pa"));
}));

const Shot eventLog("mapping-window-event-log", keypadWindow([](MappingScene& mapping) {
    for (const char* line : {"HID: Razer Tartarus attached (1532:022B)", "Dispatch Zoom → ⌘Z",
                             "[warning] Cloud Sync Unavailable: CloudKit is not enabled for this build.",
                             "Control disabled for 2321:3100; device released for other apps"})
        mapping.model.appendLog(QString::fromUtf8(line));
    mapping.controller.toggleEventLog();
    mapping.controller.showToast(QStringLiteral("Reverted mapping for K03"));
}));

// Buttons named by the user or an imported profile: a 300-character word, a CJK
// name and one holding a right-to-left override, in both lists' badges; the
// event log shows a long file name, and the small screen's rows are narrower.
void mapStrangeButtons(MappingScene& mapping)
{
    const QList<RadiologyTool> tools = mapping.model.activePacsProfile().tools;
    const QUuid user = mapping.store().activeUserProfile().id;
    const QStringList buttons{QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis").repeated(7).left(300),
                              QStringLiteral("左側ボタン長押し").repeated(15),
                              QStringLiteral("Pedal \u202Eleft\u202C\tforward")};
    for (qsizetype i = 0; i < buttons.size(); ++i)
        mapping.store().setMapping(keypad, buttons[i], tools[i].id, user);
    mapping.model.appendLog(QStringLiteral("Exported to /home/lee/") + QString(220, u'x') + QStringLiteral("/Lee.json"));
    mapping.controller.toggleEventLog();
}

const Shot strangeButtons("mapping-window-button-names", keypadWindow(mapStrangeButtons, 0));
const Shot strangeButtonsSmall("mapping-window-button-names-1366x768", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto& mapping = keypadScene(scene, 0);
    mapStrangeButtons(mapping);
    auto view = window(scene, mapping);
    view->resize(1366 - 16, 768 - 28 - 48 - 25);
    return view;
});

const Shot profilesPanel("mapping-panel-profiles", keypadWindow([](MappingScene& mapping) {
    mapping.store().setLightingHex(QStringLiteral("#33B8ED"), mapping.store().activeUserProfile().id);
    mapping.controller.setSelectedMode(MappingMode::profiles);
}));

// The profiles panel's Import/Export menu, open: its divider shows.
const Shot importExportMenu("mapping-panel-import-export-menu", [](Scene& scene) -> std::unique_ptr<QWidget> {
    auto& mapping = keypadScene(scene);
    mapping.controller.setSelectedMode(MappingMode::profiles);
    auto view = window(scene, mapping);
    auto* menu = view->findChild<QWidget*>(QStringLiteral("importExport"))->findChild<QMenu*>();
    menu->ensurePolished();
    menu->adjustSize();
    auto* label = new QLabel;
    label->setPixmap(menu->grab());
    return Scene::onBackdrop(label, 24);
});

const Shot devicesPanel("mapping-panel-devices", [](Scene& scene) {
    auto& mapping = keypadScene(scene);
    mapping.plugSpeechMike();
    scene.settle();
    mapping.model.inputSource().hidSource().disableControl(0x0911, 0x0C1C);
    mapping.controller.setSelectedMode(MappingMode::devices);
    return window(scene, mapping);
});

// A connected device whose own name is one long word, at the content size of a
// 1366 × 768 screen: the name is cut, its switch stays in sight.
const Shot devicesLongName("mapping-panel-devices-long-name", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>(true, true);
    mapping.hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike") + QString(116, u'M'));
    mapping.model.inputSource().hidSource().enableControl(0x0911, 0x0C1C);
    scene.settle();
    mapping.controller.setSelectedMode(MappingMode::devices);
    auto view = window(scene, mapping);
    view->resize(1366 - 16, 768 - 28 - 48 - 25);
    return view;
});

const Shot systemPanel("mapping-panel-system", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>(true, false);
    mapping.plugKeypad();
    scene.settle();
    mapping.mapKeypad(4);
    mapping.controller.setSelectedMode(MappingMode::system);
    return window(scene, mapping);
});

// The whole window at a content size, with `mapped` keys mapped.
Render sizedWindow(QSize size, bool permissionsGranted)
{
    return [size, permissionsGranted](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& mapping = scene.make<MappingScene>(true, permissionsGranted);
        mapping.plugKeypad();
        scene.settle();
        mapping.mapKeypad(9);
        auto view = window(scene, mapping);
        view->resize(size);
        return view;
    };
}

const Shot smallScreen("mapping-window-1366x768", sizedWindow({1366 - 16, 768 - 28 - 48 - 25}, false));
const Shot largeScreen("mapping-window-1920x1080", sizedWindow({1920, 1080}, true));

Render banner(AlertMessage::Severity severity, const char* title, const char* message)
{
    return keypadWindow([=](MappingScene& mapping) {
        mapping.model.presentAlert(QString::fromUtf8(title), QString::fromUtf8(message), severity);
    });
}

const Shot warningBanner("mapping-window-alert-warning",
                         banner(AlertMessage::Severity::warning, "Cloud Sync Unavailable",
                                "CloudKit is not enabled for this build."));
const Shot infoBanner("mapping-window-alert-info",
                      banner(AlertMessage::Severity::info, "iCloud", "iCloud is not signed in. Sync is paused."));
const Shot successBanner("mapping-window-alert-success",
                         banner(AlertMessage::Severity::success, "Profiles synced", "Your profiles are up to date."));

// The SpeechMike chosen, then unplugged.
const Shot notConnected("mapping-window-not-connected", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>();
    const auto speechMike = mapping.hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike"));
    scene.settle();
    mapping.controller.selectDevice(QStringLiteral("speechmike_smp3700"));
    scene.settle();
    mapping.hid.unplug(speechMike);
    scene.settle();
    return window(scene, mapping);
});

const Shot noMatches("mapping-window-no-matches", keypadWindow([](MappingScene& mapping) {
    mapping.controller.setMappingSearchText(QStringLiteral("xyz"));
}));

const Shot favorites("mapping-window-favorites", keypadWindow([](MappingScene& mapping) {
    const PacsProfile pacs = mapping.model.activePacsProfile();
    for (int i : {1, 4, 6}) {
        RadiologyTool tool = pacs.tools.value(i);
        tool.isFavorite = true;
        mapping.store().updateTool(tool, pacs.id);
    }
}));

// The panels while the active device is the SpeechMike: no lighting, no keypad.
const Shot profilesWithoutKeypad("mapping-panel-profiles-no-keypad", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>();
    mapping.plugSpeechMike();
    scene.settle();
    mapping.controller.selectDevice(QStringLiteral("speechmike_smp3700"));
    mapping.controller.setSelectedMode(MappingMode::profiles);
    return window(scene, mapping);
});

const Shot devicesWithoutDevices("mapping-panel-devices-none-connected", [](Scene& scene) {
    auto& mapping = scene.make<MappingScene>();
    scene.settle();
    mapping.controller.selectDevice(QStringLiteral("speechmike_smp3700"));
    mapping.controller.setSelectedMode(MappingMode::devices);
    return window(scene, mapping);
});

} // namespace

} // namespace velmor::screenshots
