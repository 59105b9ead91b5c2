// The application on the offscreen platform: launch, windows, shortcuts, phases,
// reopen and quit.

#include "support/AppModelFixture.h"

#include "app/ContentView.h"
#include "app/MappingHost.h"
#include "app/ScenePhase.h"
#include "app/VelmorApp.h"
#include "app/WindowConfigurator.h"
#include "ui/admin/widgets/AdminView.h"
#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/MappingView.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace velmor;
using namespace velmor::test;

namespace {

// The first descendant of that class (the views have no meta-object of their own).
template <typename View>
View* descendant(const QWidget* window)
{
    for (QWidget* child : window->findChildren<QWidget*>())
        if (auto* view = dynamic_cast<View*>(child))
            return view;
    return nullptr;
}

class VelmorAppTest : public AppModelFixture {
protected:
    VelmorAppTest()
    {
        VelmorApp::Options options;
        options.trayAvailable = false;
        options.prompter = &prompter;
        app = std::make_unique<VelmorApp>(options);
    }
    ~VelmorAppTest() override { app.reset(); }

    void launch()
    {
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
    ProfileStore& appStore() { return app->model().profileStore(); }

    ScriptedPrompter prompter;
    std::unique_ptr<VelmorApp> app;
};

TEST_F(VelmorAppTest, LaunchOpensTheMappingWindowOnceAndWithoutATrayItCarriesTheMenu)
{
    launch();
    QWidget* window = mapping();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Velmor");
    EXPECT_EQ(app->trayIcon(), nullptr);
    EXPECT_TRUE(app->model().didOpenMappingsOnLaunch());

    auto* main = qobject_cast<QMainWindow*>(window);
    ASSERT_TRUE(main);
    const QList<QAction*> bar = main->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar.first()->menu(), &app->menu());
    EXPECT_EQ(app->menu().title(), "Velmor");

    EXPECT_FALSE(app->menu().actions().first()->isEnabled()) << "the header's name is not a command";

    // "Open App" brings up the same window; the launch-time opening happens once per run.
    const QList<QAction*> actions = app->menu().actions();
    const auto openApp =
        std::find_if(actions.begin(), actions.end(), [](const QAction* a) { return a->text() == "Open App"; });
    ASSERT_NE(openApp, actions.end());
    (*openApp)->trigger();
    settle();
    EXPECT_EQ(mapping(), window);
    window->close();
    settle();
    EXPECT_FALSE(mapping());
    app->model().openMappingsWindowOnLaunch();
    settle();
    EXPECT_FALSE(mapping());
}

TEST_F(VelmorAppTest, ShortcutsOpenTheAdminWindowAndTheInspectorOfTheMappingWindow)
{
    launch();
    keys(mapping(), Qt::Key_Comma);
    QWidget* admin = app->windows().adminWindow();
    ASSERT_TRUE(admin);
    EXPECT_TRUE(admin->isVisible());
    EXPECT_EQ(admin->windowTitle(), "Admin / Tools");
    EXPECT_TRUE(descendant<AdminView>(admin)) << "the admin window's own view";
    EXPECT_EQ(admin->minimumSize(), admin->maximumSize());

    keys(mapping(), Qt::Key_I);
    QWidget* inspector = app->windows().hidInspector();
    ASSERT_TRUE(inspector);
    EXPECT_TRUE(inspector->isVisible());
    EXPECT_EQ(inspector->parentWidget(), mapping()) << "presented by the mapping window";
    const MappingController& controller = app->windows().mappingHost()->controller();
    EXPECT_TRUE(controller.state().get().showInspector) << "the mapping window asked for it";
    auto* view = descendant<HIDInspectorView>(inspector);
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->onClose);
    view->onClose(); // its "Close"
    settle();
    EXPECT_FALSE(app->windows().hidInspector());
    EXPECT_FALSE(controller.state().get().showInspector) << "and heard that it closed";
    keys(mapping(), Qt::Key_I);
    ASSERT_TRUE(app->windows().hidInspector()) << "a closed inspector is made afresh";

    // The shortcuts work in the admin window too; without a mapping window the inspector stays away.
    mapping()->close();
    settle();
    ASSERT_FALSE(app->windows().hidInspector());
    keys(admin, Qt::Key_I);
    EXPECT_FALSE(app->windows().hidInspector());
    admin->close();
    settle();
    ASSERT_FALSE(app->windows().adminWindow());
    app->windows().openMappings();
    settle();
    keys(mapping(), Qt::Key_Comma);
    EXPECT_TRUE(app->windows().adminWindow()) << "a closed window is made afresh";
}

TEST_F(VelmorAppTest, TheMappingWindowReachesTheAdminWindowAndTheLayoutEditorThroughTheApplication)
{
    launch();
    ASSERT_TRUE(descendant<MappingView>(mapping()));
    MappingController& controller = app->windows().mappingHost()->controller();
    controller.openAdmin();
    settle();
    ASSERT_TRUE(app->windows().adminWindow());

    controller.setShowLayoutEditor(true);
    settle();
    QWidget* editor = app->windows().layoutEditor();
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->actions().contains(app->commands().manageTools())) << "the shortcuts work there too";
    editor->close(); // its close button
    settle();
    EXPECT_FALSE(controller.state().get().showLayoutEditor);

    controller.setShowLayoutEditor(true);
    settle();
    ASSERT_TRUE(editor->isVisible()) << "the same window, shown again";
    app->windows().adminWindow()->close();
    mapping()->close();
    settle();
    EXPECT_FALSE(editor->isVisible()) << "the editor goes with the mapping window";
    EXPECT_FALSE(app->windows().hasVisibleWindows());
}

TEST_F(VelmorAppTest, TheMappingWindowIsPinnedToItsSizeWithinTheScreen)
{
    launch();
    QWidget* window = mapping();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
    const QSize available = window->screen()->availableGeometry().size();
    EXPECT_LE(window->width(), std::min(available.width(), ContentView::contentSize.width()));
    EXPECT_LE(window->height(), available.height());
    ContentView* content = app->windows().contentView();
    ASSERT_TRUE(content);
    const QWidget* view = content->mappingView();
    EXPECT_EQ(view->size(), content->viewport()->size().expandedTo(view->minimumSizeHint()))
        << "the room there is, and scrolling below the view's minimum";

    // Other code changing the window's size is undone at the next update.
    const QSize pinned = window->size();
    window->setMinimumSize(100, 100);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->resize(300, 200);
    content->configurator().update();
    settle();
    EXPECT_EQ(window->size(), pinned);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
}

TEST_F(VelmorAppTest, AConfiguratorRunsOnlyOnceItsWidgetIsInAShownWindow)
{
    QWidget window;
    auto* child = new QWidget(&window);
    QList<QWidget*> configured;
    auto* configurator = new WindowConfigurator(*child, [&](QWidget& w) { configured.append(&w); });
    configurator->update();
    settle();
    EXPECT_TRUE(configured.isEmpty());

    window.show();
    settle();
    EXPECT_EQ(configured, QList<QWidget*>{&window});
    configurator->update();
    settle();
    EXPECT_EQ(configured.size(), 2) << "again after each update";
}

TEST_F(VelmorAppTest, WithEveryWindowClosedTheApplicationIsInTheBackgroundAndHasSaved)
{
    launch();
    ASSERT_NE(app->phase().phase(), ScenePhase::Phase::background);
    int saves = 0;
    const Subscription counting = appStore().lastSaved().subscribe([&](const auto&) { ++saves; });
    saves = 0;

    mapping()->close();
    settle();
    EXPECT_EQ(app->phase().phase(), ScenePhase::Phase::background);
    EXPECT_GE(saves, 1);
    EXPECT_TRUE(QFileInfo::exists(appStore().fileURL()));
}

TEST(ScenePhaseRules, OnlyChangesAfterTheFirstValueAreReported)
{
    using Phase = ScenePhase::Phase;
    QList<Phase> changes;
    ScenePhase phase([&](Phase next) { changes.append(next); });
    phase.update(false, false); // starts in the background: not a change
    phase.update(true, false);
    phase.update(true, false);
    phase.update(true, true);
    phase.update(false, true);
    phase.update(false, false); // still the background
    EXPECT_EQ(changes, (QList<Phase>{Phase::inactive, Phase::active, Phase::background}));
}

TEST_F(VelmorAppTest, AReopenShowsTheMappingWindowOnlyWhenNoWindowIsUp)
{
    launch();
    QWidget* first = mapping();
    app->reopen();
    settle();
    EXPECT_EQ(mapping(), first);

    app->windows().closeAll();
    settle();
    ASSERT_FALSE(app->windows().hasVisibleWindows());
    app->reopen();
    settle();
    ASSERT_TRUE(mapping());
    EXPECT_TRUE(mapping()->isVisible());
}

TEST_F(VelmorAppTest, BecomingActiveReadsThePermissionsWithoutAsking)
{
    launch();
    ShortcutExecutor& executor = app->model().shortcutExecutor();
    ASSERT_TRUE(executor.hasAccessibilityPermission().get());
    permissions.accessibility = false;
    permissions.calls.clear();
    app->delegate().applicationDidBecomeActive();
    EXPECT_FALSE(executor.hasAccessibilityPermission().get());
    EXPECT_FALSE(permissions.calls.contains("promptAccessibilityTrust"));
    EXPECT_FALSE(permissions.calls.contains("requestInputMonitoring"));

}

TEST_F(VelmorAppTest, AMenuToggleShowsWhatTheSourcePublishesNotTheClick)
{
    plugKeypad();
    launch();
    const QList<QAction*> actions = app->menu().actions();
    const auto toggle = std::find_if(actions.begin(), actions.end(), [](const QAction* a) { return a->isCheckable(); });
    ASSERT_NE(toggle, actions.end());
    EXPECT_EQ((*toggle)->text(), "Razer Tartarus");
    ASSERT_TRUE((*toggle)->isChecked());

    (*toggle)->trigger(); // the click unchecks it ...
    EXPECT_TRUE((*toggle)->isChecked()) << "... until the source says the device is released";
    settle();
    EXPECT_TRUE(app->model().connectedDevices().get().first().ignored);
    const QList<QAction*> after = app->menu().actions();
    const auto released = std::find_if(after.begin(), after.end(), [](const QAction* a) { return a->isCheckable(); });
    ASSERT_NE(released, after.end());
    EXPECT_FALSE((*released)->isChecked());
}

TEST_F(VelmorAppTest, QuitEndsTheLoopWithTheProfilesSavedAndTheDevicesReleased)
{
    auto device = plugKeypad();
    launch();
    settle();
    ASSERT_TRUE(device->isSeized());
    QFile::remove(appStore().fileURL());

    QTimer::singleShot(0, [this] { app->quit(); });
    QCoreApplication::exec();
    EXPECT_TRUE(QFileInfo::exists(appStore().fileURL())) << "saved on the way out";

    app.reset();
    queue->runUntilIdle();
    EXPECT_FALSE(device->isSeized());
    EXPECT_FALSE(device->isOpen());
}

} // namespace

namespace {

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
