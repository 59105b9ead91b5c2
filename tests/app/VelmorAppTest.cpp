// The application on the offscreen platform: launch, the menu, windows, shortcuts,
// phases and reopen. Quitting through the event loop is the smoke test's.

#include "support/AppModelFixture.h"

#include "app/ContentView.h"
#include "app/MappingHost.h"
#include "app/ScenePhase.h"
#include "app/VelmorApp.h"
#include "app/WindowConfigurator.h"
#include "input/IgnoreListStorage.h"
#include "input/MockDeviceInputSource.h"
#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/mapping/MappingController.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidgetAction>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>
#include <QCloseEvent>

using namespace velmor;
using namespace velmor::test;

namespace {

class VelmorAppTest : public AppModelFixture {
protected:
    VelmorAppTest()
    {
        VelmorApp::Options options;
        options.trayAvailable = false;
        options.prompter = &prompter;
        app = std::make_unique<VelmorApp>(options);
        app->launch();
        settle();
    }

    // Runs the main queue and Qt's events until both have nothing left.
    void settle()
    {
        for (int round = 0; round < 5; ++round) {
            queue->runUntilIdle();
            QCoreApplication::processEvents();
        }
        queue->runUntilIdle();
    }
    QWidget* mapping() { return app->windows().mappingWindow(); }
    void keys(QWidget* target, Qt::Key key)
    {
        ASSERT_TRUE(target);
        target->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(target));
        QTest::keyClick(target, key, Qt::ControlModifier | Qt::ShiftModifier);
        settle();
    }
    QAction* menuAction(const QString& title)
    {
        for (QAction* action : app->menu().actions())
            if (action->text() == title || action->text() == text::displayName(title))
                return action;
        ADD_FAILURE() << "no menu entry " << title.toStdString();
        return nullptr;
    }
    MappingController& controller() { return app->windows().mappingHost()->controller(); }
    QString profilesFile() { return app->model().profileStore().fileURL(); }

    ScriptedPrompter prompter;
    std::unique_ptr<VelmorApp> app;
};

TEST_F(VelmorAppTest, LaunchOpensTheMappingWindowOncePinnedAndClosingItSavesInTheBackground)
{
    QWidget* window = mapping();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Velmor");
    // Pinned to its size within the screen; the content takes the room there is and scrolls
    // below the view's minimum.
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const QSize available = window->screen()->availableGeometry().size();
    EXPECT_LE(window->width(), std::min(available.width(), ContentView::contentSize.width()));
    EXPECT_LE(window->height(), available.height());
    const ContentView* content = app->windows().contentView();
    const QWidget* view = content->mappingView();
    EXPECT_EQ(view->size(), content->viewport()->size().expandedTo(view->minimumSizeHint()));
    // Without a tray the mapping window's menu bar carries the menu.
    const QList<QAction*> bar = qobject_cast<QMainWindow*>(window)->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar.first()->menu(), &app->menu());

    // Becoming active reads the permissions again, without asking.
    permissions.calls.clear();
    app->delegate().applicationDidBecomeActive();
    EXPECT_EQ(permissions.calls, (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring"}));

    menuAction("Open App")->trigger();
    app->reopen();
    settle();
    EXPECT_EQ(mapping(), window) << "the same window comes forward";

    QFile::remove(profilesFile());
    window->close();
    settle();
    EXPECT_FALSE(mapping());
    EXPECT_TRUE(QFileInfo::exists(profilesFile())) << "saved on going to the background";
    app->model().openMappingsWindowOnLaunch();
    settle();
    EXPECT_FALSE(mapping()) << "once per run";

    // A second start with no window up opens the mapping window.
    app->reopen();
    settle();
    ASSERT_TRUE(mapping());
    EXPECT_TRUE(mapping()->isVisible());
}

TEST_F(VelmorAppTest, ShortcutsOpenTheAdminWindowAndTheInspectorOfTheMappingWindow)
{
    keys(mapping(), Qt::Key_Comma);
    QWidget* admin = app->windows().adminWindow();
    ASSERT_TRUE(admin);
    EXPECT_EQ(admin->windowTitle(), "Admin / Tools") << "the admin view's own title";
    EXPECT_EQ(admin->minimumSize(), admin->maximumSize());

    keys(mapping(), Qt::Key_I);
    QWidget* inspector = app->windows().hidInspector();
    ASSERT_TRUE(inspector);
    EXPECT_TRUE(inspector->isVisible());
    EXPECT_EQ(inspector->parentWidget(), mapping()) << "presented by the mapping window";
    // Its view's "Close" (the views have no meta-object of their own).
    for (QWidget* child : inspector->findChildren<QWidget*>())
        if (auto* view = dynamic_cast<HIDInspectorView*>(child); view && view->onClose)
            view->onClose();
    settle();
    EXPECT_FALSE(app->windows().hidInspector());
    EXPECT_FALSE(controller().state().get().showInspector) << "the controller heard that it closed";

    // The shortcuts work in the admin window too; without a mapping window there is no inspector.
    mapping()->close();
    settle();
    keys(admin, Qt::Key_I);
    EXPECT_FALSE(app->windows().hidInspector());
}

// "Delete PACS" in the admin window asks in a real dialog, whose Return and
// Escape keep the profile; only "Delete" deletes it.
// The title bar's × (and Alt+F4) close the inspector through its window: it opens again
// after each close, by the shortcut and by System → Diagnostics, however it was closed.
TEST_F(VelmorAppTest, TheInspectorClosedByItsWindowOpensAgain)
{
    const auto closeByWindow = [&] {
        QWidget* inspector = app->windows().hidInspector();
        ASSERT_TRUE(inspector && inspector->windowHandle());
        // What the window manager's close (×, Alt+F4) delivers: a spontaneous close to the window.
        QCloseEvent event;
        QSpontaneKeyEvent::setSpontaneous(&event);
        QCoreApplication::sendEvent(inspector->windowHandle(), &event);
        settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
        EXPECT_FALSE(app->windows().hidInspector()) << "closed, not only hidden";
    };
    keys(mapping(), Qt::Key_I);
    closeByWindow();
    keys(mapping(), Qt::Key_I);
    ASSERT_TRUE(app->windows().hidInspector());
    EXPECT_TRUE(app->windows().hidInspector()->isVisible()) << "the shortcut opens it again";

    closeByWindow();
    EXPECT_FALSE(controller().state().get().showInspector);
    controller().showHIDInspector(); // System → Diagnostics
    settle();
    ASSERT_TRUE(app->windows().hidInspector());
    EXPECT_TRUE(app->windows().hidInspector()->isVisible()) << "Diagnostics opens it again";

    // Escape still closes it, and it opens again after that too.
    QTest::keyClick(app->windows().hidInspector(), Qt::Key_Escape);
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();
    keys(mapping(), Qt::Key_I);
    ASSERT_TRUE(app->windows().hidInspector());
    EXPECT_TRUE(app->windows().hidInspector()->isVisible());
}

TEST_F(VelmorAppTest, DeletePacsInTheAdminWindowAsksFirstAndOnlyDeleteDeletes)
{
    ProfileStore& store = app->model().profileStore();
    const QUuid bound = store.activeUserProfile().pacsProfileId;
    const QString name = findById(store.pacsProfiles().get(), bound)->name;
    const qsizetype count = store.pacsProfiles().get().size();
    ASSERT_GE(count, 2);
    keys(mapping(), Qt::Key_Comma);
    QWidget* admin = app->windows().adminWindow();
    ASSERT_TRUE(admin);
    auto* picker = admin->findChild<QComboBox*>("pacsPicker");
    ASSERT_TRUE(picker);
    const int index = picker->findData(bound);
    picker->setCurrentIndex(index);
    emit picker->activated(index);
    settle();
    auto* deletePacs = admin->findChild<QAction*>("deletePacs");
    ASSERT_TRUE(deletePacs && deletePacs->isEnabled());

    QStringList asked;
    const auto answer = [&](const std::function<void(QMessageBox&)>& act) {
        QTimer::singleShot(0, [&asked, act] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            // Names are kept whole with no-break spaces and word joiners; compare the words.
            asked << QString(box->text() + "|" + box->informativeText())
                         .remove(QChar(0x2060))
                         .replace(QChar(0x00A0), QLatin1Char(' '));
            act(*box);
        });
        deletePacs->trigger();
        settle();
    };
    answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); });
    answer([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(store.pacsProfiles().get().size(), count);
    EXPECT_EQ(store.activeUserProfile().pacsProfileId, bound);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked.first().startsWith("Delete PACS?|This will remove the PACS profile " + text::displayName(name) +
                                         " and its "))
        << asked.first().toStdString();
    EXPECT_TRUE(asked.first().contains("• " + text::displayName(store.activeUserProfile().name) + ": "))
        << "names the bound user";

    answer([](QMessageBox& box) {
        for (QAbstractButton* button : box.buttons())
            if (button->text() == "Delete")
                button->click();
    });
    EXPECT_EQ(store.pacsProfiles().get().size(), count - 1);
    EXPECT_FALSE(findById(store.pacsProfiles().get(), bound));
    EXPECT_NE(store.activeUserProfile().pacsProfileId, bound);
}

// The mock device stands in for hardware: there is nothing to release, so the
// inspector offers no Ignore for it, and it stays listed and connected.
TEST_F(VelmorAppTest, TheInspectorOpensAtItsSizeAndOffersNoIgnoreForTheMockDevice)
{
    keys(mapping(), Qt::Key_I);
    QWidget* inspector = app->windows().hidInspector();
    ASSERT_TRUE(inspector);
    const QSize available = inspector->screen()->availableSize();
    EXPECT_EQ(inspector->size(), HIDInspectorView::openingSize.boundedTo(available).expandedTo(inspector->minimumSize()));

    auto* devices = inspector->findChild<QListWidget*>("deviceList");
    auto* picker = inspector->findChild<QComboBox*>("deviceFilter");
    auto* ignore = inspector->findChild<QPushButton*>("ignoreButton");
    auto* only = inspector->findChild<QAbstractButton*>("onlySelectedToggle");
    ASSERT_TRUE(devices && picker && ignore && only);
    ASSERT_EQ(devices->count(), 1);
    EXPECT_EQ(picker->itemText(1), text::displayName("Mock Input"));
    QTest::mouseClick(only, Qt::LeftButton);
    QTest::mouseClick(devices->viewport(), Qt::LeftButton, {}, devices->visualItemRect(devices->item(0)).center());
    settle();
    EXPECT_EQ(picker->currentText(), text::displayName("Mock Input"));
    EXPECT_FALSE(ignore->isVisible());

    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    emit devices->customContextMenuRequested(devices->visualItemRect(devices->item(0)).center());
    settle();
    EXPECT_FALSE(menuShown) << "no Ignore in the row's menu either";

    EXPECT_EQ(app->model().connectedDevices().get(),
              (QList<ConnectedDeviceInfo>{MockDeviceInputSource::pseudoDevice(app->model().inputSource().activeDevice().get().id)}));
    EXPECT_FALSE(IgnoreListStorage::load().value_or(QSet<VendorProduct>{}).contains(VendorProduct{0, 0}));
    // The header names the stand-in as such, as the Devices panel does.
    EXPECT_EQ(mapping()->findChild<QLabel*>("connectionState")->text(), "Mock Input");
    EXPECT_FALSE(mapping()->findChild<QWidget*>("noDevices"));
}

TEST_F(VelmorAppTest, TheMappingWindowsRequestsReachTheAdminWindowAndTheLayoutEditor)
{
    controller().openAdmin();
    settle();
    ASSERT_TRUE(app->windows().adminWindow());

    controller().setShowLayoutEditor(true);
    settle();
    QWidget* editor = app->windows().layoutEditor();
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->actions().contains(app->commands().manageTools())) << "the shortcuts work there too";
    editor->close(); // its close button
    settle();
    EXPECT_FALSE(controller().state().get().showLayoutEditor);

    controller().setShowLayoutEditor(true);
    settle();
    ASSERT_TRUE(editor->isVisible()) << "the same window, shown again";
    mapping()->close();
    settle();
    EXPECT_FALSE(editor->isVisible()) << "the editor goes with the mapping window";
}

TEST_F(VelmorAppTest, AConfiguratorRunsOnlyOnceItsWidgetIsInAShownWindow)
{
    QWidget window;
    QList<QWidget*> configured;
    auto* configurator = new WindowConfigurator(*new QWidget(&window), [&](QWidget& w) { configured.append(&w); });
    configurator->update();
    settle();
    EXPECT_TRUE(configured.isEmpty());

    window.show();
    configurator->update();
    settle();
    EXPECT_EQ(configured, (QList<QWidget*>{&window, &window})) << "on showing, and after each update";
}

TEST(ScenePhaseRules, OnlyChangesAfterTheFirstValueAreReported)
{
    using Phase = ScenePhase::Phase;
    QList<Phase> changes;
    ScenePhase phase([&](Phase next) { changes.append(next); });
    // Starts in the background (not a change), and ends there twice.
    for (const auto& [visible, active] : {std::pair{false, false}, {true, false}, {true, false}, {true, true},
                                          {false, true}, {false, false}})
        phase.update(visible, active);
    EXPECT_EQ(changes, (QList<Phase>{Phase::inactive, Phase::active, Phase::background}));
}

TEST_F(VelmorAppTest, TheMenuShowsCaptionsAsTextAndAToggleAsTheSourceSaysAndTheApplicationGoingReleasesTheKeypad)
{
    auto device = plugKeypad();
    settle();
    QStringList texts;
    for (QAction* action : app->menu().actions()) {
        EXPECT_TRUE(action->isEnabled()) << "nothing greyed out: " << action->text().toStdString();
        if (auto* widgetAction = qobject_cast<QWidgetAction*>(action))
            if (auto* label = qobject_cast<QLabel*>(widgetAction->defaultWidget()))
                texts << label->text();
    }
    EXPECT_EQ(texts, (QStringList{"Velmor", "User Profiles", "PACS", "Device",
                                  "Velmor Control (uncheck to let another app use it)"}));

    QAction* toggle = menuAction("Razer Tartarus");
    ASSERT_TRUE(toggle && toggle->isCheckable() && toggle->isChecked());
    toggle->trigger(); // the click unchecks it ...
    EXPECT_TRUE(toggle->isChecked()) << "... until the source says the device is released";
    settle();
    EXPECT_FALSE(menuAction("Razer Tartarus")->isChecked());

    menuAction("Razer Tartarus")->trigger();
    settle();
    ASSERT_TRUE(device->isSeized());
    app.reset();
    EXPECT_FALSE(device->isSeized());
    EXPECT_FALSE(device->isOpen());
}

TEST(CloudWindDown, WaitsForTheWorkUnderWayButNoLongerThanItsPatience)
{
    auto work = std::make_shared<int>(0);
    const std::weak_ptr<const void> underWay = work;
    // The last reference goes with a reply that arrives on the event loop.
    QTimer::singleShot(0, [work = std::move(work)]() mutable { work.reset(); });
    VelmorApp::finishCloudWork(underWay, std::chrono::seconds(30));
    EXPECT_TRUE(underWay.expired());

    const auto stuck = std::make_shared<int>(0);
    VelmorApp::finishCloudWork(stuck, std::chrono::milliseconds::zero());
    VelmorApp::finishCloudWork({}, std::chrono::seconds(30)); // no sync: returns at once
}

} // namespace
