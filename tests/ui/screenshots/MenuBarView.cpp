// Shots of the tray menu: a first start with the mock input, and a machine with
// several profiles and a keypad that Velmor controls or has released.

#include "Screenshots.h"

#include "app/MenuBarView.h"
#include "app/MenuBarModel.h"
#include "core/AppModel.h"
#include "input/UnifiedInputSource.h"
#include "store/ProfileStore.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QLabel>

namespace velmor::screenshots {

namespace {

// The application's model on scripted hardware, with the tray menu over it.
struct TrayScene {
    ScriptedPlatform platform;
    AppModel model;
    ScriptedPrompter prompter;
    MenuBarModel menuModel{model, prompter, {[] {}, [] {}, [] {}, [] {}}};
    MenuBarView menu{menuModel};
};

// The menu at its full height (the offscreen screen is only 600 pixels high,
// and a menu taller than its screen scrolls). `busy`: two users (the second
// active, bound to another PACS) and a keypad plugged in, `released` or not.
// `longNames`: the active user and its PACS named with one word of 300 characters.
Render picture(bool busy, bool released = false, bool longNames = false)
{
    return [busy, released, longNames](Scene& scene) -> std::unique_ptr<QWidget> {
        TrayScene& tray = scene.make<TrayScene>();
        if (longNames) {
            ProfileStore& store = tray.model.profileStore();
            store.renameUserProfile(store.activeUserProfile().id, QStringLiteral("Dr.Okafor") + QString(291, u'O'));
            store.renamePacsProfile(store.activeUserProfile().pacsProfileId,
                                    QStringLiteral("Synapse") + QString(293, u'S'));
        }
        if (busy) {
            ProfileStore& store = tray.model.profileStore();
            const QList<PacsProfile> pacs = store.pacsProfiles().get();
            store.createUserProfile(QStringLiteral("Dr. Okafor – Neuro"), pacs.value(1, pacs.first()).id);
            store.selectUserProfile(store.userProfiles().get().at(1));
            tray.platform.hid.plug(0x1532, 0x0244, QStringLiteral("Razer Tartarus Pro"));
            scene.settle();
        }
        if (released)
            tray.model.inputSource().hidSource().disableControl(0x1532, 0x0244);
        scene.settle();
        QMenu& menu = tray.menu.menu();
        menu.ensurePolished();
        menu.adjustSize();
        auto* label = new QLabel;
        label->setPixmap(menu.grab());
        return Scene::onBackdrop(label, 24);
    };
}

const Shot firstStart("tray-menu-first-start", picture(false));
const Shot withKeypad("tray-menu-keypad-controlled", picture(true));
const Shot keypadReleased("tray-menu-keypad-released", picture(true, true));
const Shot longNames("tray-menu-long-names", picture(false, false, true));

} // namespace

} // namespace velmor::screenshots
