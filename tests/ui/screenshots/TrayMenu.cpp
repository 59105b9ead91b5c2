// Shots of the tray menu: a first start with the mock input, and a machine with
// several profiles and a keypad that Velmor controls or has released.

#include "Screenshots.h"

#include "app/TrayMenu.h"
#include "app/TrayMenuModel.h"
#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "output/ShortcutExecutor.h"
#include "platform/LoginItem.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "store/ProfileStore.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QLabel>

namespace velmor::screenshots {

namespace {

// The application's model on scripted hardware, with the tray menu over it.
struct TrayScene {
    struct Platform {
        Platform()
        {
            permissions.accessibility = permissions.inputMonitoring = true;
            keys::KeyOutput::setInstance(&output);
            Permissions::setInstance(&permissions);
            LoginItem::setInstance(&loginItem);
        }
        ~Platform()
        {
            LoginItem::setInstance(nullptr);
            Permissions::setInstance(nullptr);
            keys::KeyOutput::setInstance(nullptr);
        }
        hid::ScriptedHid hid;
        keys::RecordingKeyOutput output;
        ScriptedPermissions permissions;
        InMemoryLoginItem loginItem;
    };

    Platform platform;
    AppModel model;
    ScriptedPrompter prompter;
    TrayMenuModel menuModel{model, prompter, {[] {}, [] {}, [] {}}};
    TrayMenu menu{menuModel};
};

// The menu at its full height (the offscreen screen is only 600 pixels high,
// and a menu taller than its screen scrolls).
std::unique_ptr<QWidget> picture(Scene& scene, TrayScene& tray)
{
    scene.settle();
    QMenu& menu = tray.menu.menu();
    menu.ensurePolished();
    menu.adjustSize();
    auto* label = new QLabel;
    label->setPixmap(menu.grab());
    return Scene::onBackdrop(label, 24);
}

const Shot firstStart("tray-menu-first-start", [](Scene& scene) {
    TrayScene& tray = scene.make<TrayScene>();
    return picture(scene, tray);
});

// Two users (the second active, bound to another PACS), a keypad plugged in.
TrayScene& busyMachine(Scene& scene)
{
    TrayScene& tray = scene.make<TrayScene>();
    ProfileStore& store = tray.model.profileStore();
    const QList<PacsProfile> pacs = store.pacsProfiles().get();
    store.createUserProfile(QStringLiteral("Dr. Okafor – Neuro"), pacs.value(1, pacs.first()).id);
    store.selectUserProfile(store.userProfiles().get().at(1));
    tray.platform.hid.plug(0x1532, 0x0244, QStringLiteral("Razer Tartarus Pro"));
    scene.settle();
    return tray;
}

const Shot withKeypad("tray-menu-keypad-controlled", [](Scene& scene) {
    TrayScene& tray = busyMachine(scene);
    return picture(scene, tray);
});

const Shot keypadReleased("tray-menu-keypad-released", [](Scene& scene) {
    TrayScene& tray = busyMachine(scene);
    tray.model.inputSource().hidSource().disableControl(0x1532, 0x0244);
    return picture(scene, tray);
});

} // namespace

} // namespace velmor::screenshots
