// Shots of the tool administration window and its sheets.

#include "Screenshots.h"

#include "model/CustomIconLibrary.h"
#include "model/Device.h"
#include "store/ProfileStore.h"
#include "ui/admin/widgets/AdminView.h"
#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/admin/widgets/ShortcutRecorder.h"
#include "ui/admin/widgets/ToggleEditorSheet.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace velmor::screenshots {

namespace {

using Alert = AppModel::AlertMessage;
using M = KeyboardShortcut::Modifiers;
using S = Alert::Severity;

struct AdminScene {
    ProfileStore& store;
    Published<Device>& device;
    Published<std::optional<Alert>>& alert;
};

// The window over a store seeded with the built-in profiles, the keypad active.
Render adminWindow(std::function<void(AdminScene&, AdminView&)> setUp)
{
    return [setUp](Scene& scene) -> std::unique_ptr<QWidget> {
        auto& store = scene.make<ProfileStore>();
        auto& device = scene.make<Published<Device>>(Device::tartarusTemplate());
        auto& alert = scene.make<Published<std::optional<Alert>>>();
        auto& prompter = scene.make<ScriptedPrompter>();
        auto view = std::make_unique<AdminView>(
            AdminController::Sources{store, device, alert, [&alert](const QUuid&) { alert.set(std::nullopt); }},
            prompter);
        view->setFixedSize(AdminView::windowSize);
        scene.settle();
        AdminScene parts{store, device, alert};
        setUp(parts, *view);
        scene.settle();
        return view;
    };
}

Render searching(const QString& text)
{
    return adminWindow([text](AdminScene&, AdminView& view) { view.controller().setSearchText(text); });
}

Render withAlert(const char* title, const char* message, S severity)
{
    return adminWindow([=](AdminScene& parts, AdminView&) {
        parts.alert.set(Alert{QUuid::createUuid(), QString::fromUtf8(title), QString::fromUtf8(message), severity});
    });
}

void writeIcon(const QString& name, const QByteArray& svg)
{
    QDir().mkpath(customIconsDirectory());
    QFile file(QDir(customIconsDirectory()).filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(svg);
}

void addCustomIcons()
{
    writeIcon(QStringLiteral("ct-scan.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">
<circle cx="12" cy="12" r="9" fill="none" stroke="black" stroke-width="2"/><circle cx="12" cy="12" r="4"/></svg>)");
    writeIcon(QStringLiteral("mammo-view.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">
<path d="M4 20 C4 8 20 8 20 20 Z"/></svg>)");
    writeIcon(QStringLiteral("ruler-wide.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 12">
<rect width="32" height="12" rx="2"/></svg>)");
}

std::unique_ptr<QWidget> picker(IconPickerScope scope)
{
    addCustomIcons();
    auto* sheet = new SFSymbolPicker({ToolIconSource::system, QStringLiteral("magnifyingglass")});
    sheet->controller().setScope(scope);
    auto backdrop = Scene::onBackdrop(sheet, 0);
    backdrop->resize(620, 560);
    return backdrop;
}

Render recorder(std::optional<KeyboardShortcut> value, bool listening)
{
    return [value, listening](Scene& scene) {
        auto& shortcut = scene.make<std::optional<KeyboardShortcut>>(value);
        auto* control = new ShortcutRecorder(Binding<std::optional<KeyboardShortcut>>::of(shortcut));
        control->setFixedWidth(260);
        if (listening) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(control->field(), &press);
        }
        return Scene::onBackdrop(control, 16);
    };
}

RadiologyTool layoutToggle()
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = QStringLiteral("Hanging Layouts");
    tool.systemIcon = QStringLiteral("square.grid.2x2");
    tool.repeatOnHoldEnabled = true;
    tool.repeatSpeed = 0.3;
    tool.toggleShortcuts = QList<KeyboardShortcut>{{18, QStringLiteral("1"), M::control},
                                                   {19, QStringLiteral("2"), M::control},
                                                   {20, QStringLiteral("3"), M{M::control, M::shift}}};
    return tool;
}

const Shot selected("admin-selected-tool", adminWindow([](AdminScene& parts, AdminView& view) {
    view.controller().selectTool(parts.store.activePacsProfile().tools.value(2).id);
    view.controller().setAdvancedExpanded(true);
}));
const Shot search("admin-search-results", searching(QStringLiteral("page")));
const Shot noMatch("admin-search-no-match", searching(QStringLiteral("xyz")));
const Shot toggleSelected("admin-toggle-tool", adminWindow([](AdminScene& parts, AdminView& view) {
    const RadiologyTool tool = layoutToggle();
    parts.store.upsertTool(tool, parts.store.activePacsProfile().id);
    view.controller().selectTool(tool.id);
}));

// A PACS name longer than its picker: cut at the end with "…", as the other pickers cut.
const Shot longPacsName("admin-long-pacs-name", adminWindow([](AdminScene& parts, AdminView&) {
    parts.store.renamePacsProfile(parts.store.activePacsProfile().id,
                                  QStringLiteral("Synapse Reading Room West (Visage Reader 7, night shift)"));
}));

const Shot alertError("admin-alert-error",
                      withAlert("Save Failed", "The profiles could not be written: the disk is full.", S::error));
const Shot alertWarning("admin-alert-warning",
                        withAlert("Import Warning", "Two tools had no shortcut and were skipped.", S::warning));
const Shot alertInfo("admin-alert-info",
                     withAlert("Restored from Backup", "profiles.json was unreadable; the backup was loaded.", S::info));
const Shot alertSuccess("admin-alert-success",
                        withAlert("Export Success", "Saved Radiologist - General.json.", S::success));
// A name with a right-to-left override and a line break: the sentence still reads in order.
const Shot alertHostileName("admin-alert-hostile-name",
                            withAlert("Import Successful",
                                      "User profile 'Dr. Lee \u202Enight\nshift' has been imported.", S::success));
// The drawing program fails on every icon: told once, as the program's failure.
const Shot alertIconProgram("admin-alert-icon-program",
                            withAlert("Custom Icon",
                                      "The icon drawing program “/usr/local/bin/velmor-icon-render” fails on a "
                                      "built-in test icon too, so it cannot draw icons; custom icons not drawn yet "
                                      "show their tools' symbols until Velmor starts again.",
                                      S::error));

// A Tab walk of the window, a shot per stop: each shows where the keyboard is.
Render tabbedTo(int stops)
{
    const Render window = adminWindow([](AdminScene& parts, AdminView& view) {
        view.controller().selectTool(parts.store.activePacsProfile().tools.value(2).id);
    });
    return [window, stops](Scene& scene) {
        std::unique_ptr<QWidget> view = window(scene);
        view->show();
        QApplication::setActiveWindow(view.get());
        for (int stop = 0; stop < stops; ++stop) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : view.get(), &tab);
        }
        scene.settle();
        return view;
    };
}

const std::vector<Shot> tabWalk = [] {
    std::vector<Shot> shots;
    for (int stop = 1; stop <= 16; ++stop)
        shots.emplace_back(QStringLiteral("admin-tab-%1").arg(stop, 2, 10, QLatin1Char('0')), tabbedTo(stop));
    return shots;
}();

const Shot pickerSystem("icon-picker-symbols", [](Scene&) { return picker(IconPickerScope::system); });
const Shot pickerCustom("icon-picker-custom", [](Scene&) { return picker(IconPickerScope::custom); });
const Shot pickerEmpty("icon-picker-custom-empty", [](Scene&) {
    auto* sheet = new SFSymbolPicker({ToolIconSource::custom, QStringLiteral("ct-scan.svg")});
    auto backdrop = Scene::onBackdrop(sheet, 0);
    backdrop->resize(620, 560);
    return backdrop;
});
// Two tools with custom icons: one drawn, one that the icon check refuses (it reaches for
// a file), which shows its tool's symbol instead.
const Shot customIcons("admin-custom-icons", adminWindow([](AdminScene& parts, AdminView&) {
    addCustomIcons();
    writeIcon(QStringLiteral("refused.svg"), R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">
<image href="file:///etc/hostname" width="24" height="24"/></svg>)");
    const PacsProfile pacs = parts.store.activePacsProfile();
    for (const auto& [index, icon] : {std::pair{0, "ct-scan.svg"}, std::pair{1, "refused.svg"}}) {
        RadiologyTool tool = pacs.tools.at(index);
        tool.iconSource = ToolIconSource::custom;
        tool.customIcon = QString::fromLatin1(icon);
        parts.store.updateTool(tool, pacs.id);
    }
}));
const Shot disabledRow("admin-disabled-tool", adminWindow([](AdminScene& parts, AdminView& view) {
    const PacsProfile pacs = parts.store.activePacsProfile();
    RadiologyTool tool = pacs.tools.at(1);
    tool.enabled = false;
    parts.store.updateTool(tool, pacs.id);
    view.controller().selectTool(tool.id);
}));

const Shot recorderListening("shortcut-recorder-listening", recorder(KeyboardShortcut{0, "a", M::control}, true));
const Shot recorderShortcut("shortcut-recorder-shortcut",
                            recorder(KeyboardShortcut{0, "a", M{M::control, M::shift}}, false));
const Shot recorderEmpty("shortcut-recorder-empty", recorder(std::nullopt, false));

const Shot toggleEditor("toggle-editor", [](Scene&) {
    auto controller = std::make_shared<ToggleEditorController>(layoutToggle(), QStringLiteral("Edit Toggle"));
    controller->addStep();
    auto backdrop = Scene::onBackdrop(new ToggleEditorSheet(controller), 0);
    backdrop->resize(460, 520);
    return backdrop;
});

} // namespace

} // namespace velmor::screenshots
