// Return in a sheet runs the sheet's own action or nothing: never "Cancel", a
// destructive button or a side action, whatever holds the focus.
#include "support/AppModelFixture.h"
#include "ui/admin/ToggleEditorController.h"
#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/admin/widgets/ToggleEditorSheet.h"
#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/shared/NewUserProfileForm.h"
#include "ui/shared/widgets/NewUserProfileSheet.h"
#include "ui/shared/widgets/PermissionHelpView.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"
#include "ui/shared/widgets/SheetHost.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <map>

namespace velmor {
namespace {

class SheetReturnTest : public test::AppModelFixture {
protected:
    // Presses Return in every field and on every button of the shown host; each
    // press may click the sheet's marked button at most, and only when `confirms`.
    void audit(SheetHost& host, const QString& expectedConfirm)
    {
        SCOPED_TRACE(host.windowTitle().toStdString());
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        QPushButton* confirm = SheetHost::confirmButton(*host.sheet());
        EXPECT_EQ(confirm ? confirm->objectName() : QString(), expectedConfirm);
        std::map<QPushButton*, std::unique_ptr<QSignalSpy>> clicks;
        for (QPushButton* button : host.findChildren<QPushButton*>()) {
            EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
            EXPECT_EQ(button->isDefault(), button == confirm) << button->objectName().toStdString();
            clicks[button] = std::make_unique<QSignalSpy>(button, &QPushButton::clicked);
        }
        QList<QWidget*> targets;
        for (QLineEdit* field : host.findChildren<QLineEdit*>())
            targets.append(field);
        for (QPushButton* button : host.findChildren<QPushButton*>())
            if (button != confirm)
                targets.append(button);
        for (QWidget* target : targets) {
            if (!target->isVisible())
                continue;
            SCOPED_TRACE(target->objectName().toStdString());
            target->setFocus();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(target, key);
            for (auto& [button, spy] : clicks) {
                EXPECT_EQ(spy->count(), button == confirm ? 2 : 0) << button->objectName().toStdString();
                spy->clear();
            }
        }
    }
};

TEST_F(SheetReturnTest, EverySheetLeavesReturnToItsOwnActionOrToNothing)
{
    start();
    int dismissed = 0;
    const auto dismiss = [&dismissed] { ++dismissed; };

    RadiologyTool toggle;
    toggle.id = QUuid::createUuid();
    toggle.name = "Layout";
    auto editor = std::make_shared<ToggleEditorController>(toggle, "New Toggle");
    int saves = 0;
    editor->onSave = [&saves](const RadiologyTool&, const QList<KeyboardShortcut>&) { ++saves; };
    auto* toggleSheet = new ToggleEditorSheet(editor);
    SheetHost toggleHost(toggleSheet, dismiss, nullptr);
    toggleHost.setWindowTitle("toggle");
    toggleHost.show();
    // A step row brings buttons of its own after the host settled the first ones.
    editor->addStep();
    queue->runUntilIdle();
    QApplication::processEvents();
    audit(toggleHost, "saveToggle");
    EXPECT_GT(saves, 0);

    auto* picker = new SFSymbolPicker(ToolIconSelection{ToolIconSource::custom, "x.svg"});
    int opened = 0;
    picker->controller().openUrl = [&opened](const QUrl&) { return ++opened > 0; };
    SheetHost pickerHost(picker, dismiss, nullptr);
    pickerHost.setWindowTitle("picker");
    audit(pickerHost, {});
    EXPECT_EQ(opened, 0);

    QString name = "Dr";
    NewUserProfileForm form(
        Binding<QString>([&name] { return name; }, [&name](const QString& value) { name = value; }),
        Binding<std::optional<QUuid>>([] { return std::optional<QUuid>(); }, [](const std::optional<QUuid>&) {}),
        Binding<std::optional<QString>>([] { return std::optional<QString>(); }, [](const std::optional<QString>&) {}),
        store().pacsProfiles().get(), {}, [] { ADD_FAILURE() << "created"; }, dismiss);
    SheetHost newUserHost(new NewUserProfileSheet(std::move(form)), dismiss, nullptr);
    newUserHost.setWindowTitle("new user");
    audit(newUserHost, {});

    SheetHost renameHost(new RenameUserProfileSheet(
                             Binding<QString>([&name] { return name; }, [&name](const QString& value) { name = value; }),
                             [] { ADD_FAILURE() << "renamed"; }, dismiss),
                         dismiss, nullptr);
    renameHost.setWindowTitle("rename");
    audit(renameHost, {});

    SheetHost helpHost(new PermissionHelpView(model->shortcutExecutor(), dismiss), dismiss, nullptr);
    helpHost.setWindowTitle("permissions");
    audit(helpHost, {});

    SheetHost inspectorHost(new HIDInspectorView(*model), dismiss, nullptr);
    inspectorHost.setWindowTitle("inspector");
    audit(inspectorHost, {});

    EXPECT_EQ(dismissed, 0) << "Return never cancels a sheet";
}

} // namespace
} // namespace velmor
