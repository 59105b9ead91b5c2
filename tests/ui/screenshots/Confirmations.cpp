// Shots of the destructive confirmations as the application asks them (the
// dialog DialogPrompter builds): the cancel button is the default one.

#include "Screenshots.h"

#include "model/Device.h"
#include "store/ProfileStore.h"
#include "ui/admin/AdminController.h"
#include "ui/admin/PacsDeletion.h"
#include "ui/mapping/MappingController.h"
#include "ui/mapping/MappingEditor.h"
#include "ui/shared/ScriptedPrompter.h"
#include "ui/shared/widgets/DialogPrompter.h"

#include <QMessageBox>

namespace velmor::screenshots {

namespace {

Render dialog(std::function<Prompter::Question(Scene&)> question)
{
    return [question](Scene& scene) -> std::unique_ptr<QWidget> {
        std::unique_ptr<QMessageBox> box = DialogPrompter::messageBox(question(scene));
        box->adjustSize();
        return Scene::onBackdrop(box.release(), 16);
    };
}

// The question the admin window asks, as it asks it.
Prompter::Question deleteTool(Scene& scene)
{
    auto& store = scene.make<ProfileStore>();
    auto& device = scene.make<Published<Device>>(Device::tartarusTemplate());
    auto& alert = scene.make<Published<std::optional<AppModel::AlertMessage>>>();
    auto& prompter = scene.make<ScriptedPrompter>();
    AdminController admin(AdminController::Sources{store, device, alert, [](const QUuid&) {}}, prompter);
    scene.settle();
    admin.requestDeleteTool();
    return prompter.requests().constLast().question;
}

// Deleting the PACS profile the user profiles are bound to, as the admin window asks it.
Prompter::Question deletePacs(Scene& scene)
{
    auto& store = scene.make<ProfileStore>();
    auto& device = scene.make<Published<Device>>(Device::tartarusTemplate());
    auto& alert = scene.make<Published<std::optional<AppModel::AlertMessage>>>();
    auto& prompter = scene.make<ScriptedPrompter>();
    AdminController admin(AdminController::Sources{store, device, alert, [](const QUuid&) {}}, prompter);
    const QUuid bound = store.activeUserProfile().pacsProfileId;
    store.createUserProfile(QStringLiteral("Dr. Lee"), bound);
    const QList<RadiologyTool> tools = store.activePacsProfile().tools;
    for (int key = 1; key <= 5 && key <= tools.size(); ++key)
        store.setMapping(Device::tartarusTemplate().id, QStringLiteral("K%1").arg(key, 2, 10, QLatin1Char('0')),
                         tools[key - 1].id, store.activeUserProfile().id);
    admin.selectPacs(bound);
    scene.settle();
    admin.deleteActivePacs();
    return prompter.requests().constLast().question;
}

Prompter::Question replaceMapping(Scene&)
{
    ConflictPrompt prompt;
    prompt.event.buttonId = QStringLiteral("K07");
    prompt.existingTool.name = QStringLiteral("Zoom");
    prompt.newTool.name = QStringLiteral("Window/Level");
    return MappingEditor::replaceQuestion(prompt);
}

const Shot toolShot("confirm-delete-tool", dialog(&deleteTool));
const Shot pacsShot("confirm-delete-pacs", dialog(&deletePacs));
const Shot clearShot("confirm-clear-mappings",
                     dialog([](Scene&) { return MappingEditor::clearQuestion(Device::tartarusTemplate()); }));
const Shot profileShot("confirm-delete-profile",
                       dialog([](Scene&) { return MappingController::deleteQuestion(QStringLiteral("Dr. Lee")); }));
// A name that holds a right-to-left override and a line break: the sentence around it
// still reads the right way round, on one line.
const Shot hostileNameShot("confirm-delete-profile-override-in-name", dialog([](Scene&) {
    return MappingController::deleteQuestion(QStringLiteral("Dr. Lee") + QChar(0x202E) + QStringLiteral("\nNight ") +
                                             QString::fromUtf8("שלום"));
}));
const Shot replaceShot("confirm-replace-mapping", dialog(&replaceMapping));
// A name of one word too wide for the message: cut to its width, the sentence whole.
const Shot longNameShot("confirm-delete-profile-long-name", dialog([](Scene&) {
    return MappingController::deleteQuestion(QStringLiteral("Dr.Okafor") + QString(291, u'O'));
}));
const Shot longPacsNamesShot("confirm-delete-pacs-long-names", dialog([](Scene&) {
    const PacsDeletion deletion{QUuid::createUuid(), QStringLiteral("Synapse") + QString(293, u'S'), 12,
                                QStringLiteral("Visage") + QString(294, u'V'),
                                {{QStringLiteral("Dr.Okafor") + QString(291, u'O'), 5, 3}, {QStringLiteral("Dr. Lee"), 0, 0}}};
    return deletion.question();
}));

} // namespace

} // namespace velmor::screenshots
