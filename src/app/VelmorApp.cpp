#include "app/VelmorApp.h"

#include "core/AppModel.h"
#include "platform/MainQueue.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "ui/shared/widgets/DialogPrompter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <cstdio>

namespace velmor {

namespace {

std::unique_ptr<Prompter> dialogsUnless(const Prompter* given)
{
    return given ? nullptr : std::make_unique<DialogPrompter>(nullptr);
}

bool applicationIsActive()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
        && QGuiApplication::applicationState() == Qt::ApplicationActive;
}

} // namespace

VelmorApp::VelmorApp(Options options)
    : options_(options)
    , model_(std::make_unique<AppModel>())
    , ownPrompter_(dialogsUnless(options.prompter))
    , delegate_({.activate = [this] { windows_.activate(); }, .arrangeInFront = [this] { windows_.arrangeInFront(); }})
    , windows_(*model_)
    , menuModel_(*model_, options.prompter ? *options.prompter : *ownPrompter_,
                 {.openMappings = [this] { windows_.openMappings(); },
                  .openAdmin = [this] { windows_.openAdmin(true); },
                  .quit = [this] { quit(); },
                  .showEventLog = [this] { windows_.showEventLog(); }})
    , menu_(menuModel_)
    , commands_([this] { windows_.openAdmin(); }, [this] { windows_.showHIDInspector(); })
    , phase_([this](ScenePhase::Phase phase) { phaseChanged(phase); })
    , label_(*model_, [this] { windows_.openMappings(); })
{
    delegate_.appModel = model_.get();
    windows_.setCommands(commands_.actions());
    windows_.onWindowsChanged = [this, alive = std::weak_ptr(alive_)] {
        // Once the window's change is complete.
        postToMain([this, alive] {
            if (alive.lock())
                updatePhase();
        });
    };
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QObject::connect(gui, &QGuiApplication::applicationStateChanged, connections_.get(),
                         [this](Qt::ApplicationState state) {
                             if (state == Qt::ApplicationActive)
                                 delegate_.applicationDidBecomeActive();
                             updatePhase();
                         });
}

VelmorApp::~VelmorApp()
{
    *alive_ = false;
    connections_.reset();
    windows_.onWindowsChanged = nullptr;
    delegate_.appModel = nullptr;
    label_.detach();
}

void VelmorApp::launch()
{
    if (options_.trayAvailable) {
        label_.show(&menu_.menu());
    } else {
        // No tray to come back to: the mapping window carries the menu.
        windows_.setWindowMenu(&menu_.menu());
        label_.show(nullptr);
    }
    delegate_.applicationDidFinishLaunching();
    updatePhase();
    if (options_.report)
        postToMain([this, alive = std::weak_ptr(alive_)] {
            if (alive.lock())
                reportReady();
        });
}

void VelmorApp::quit() { QCoreApplication::quit(); }

void VelmorApp::reopen()
{
    const bool visible = windows_.hasVisibleWindows();
    if (!delegate_.applicationShouldHandleReopen(visible))
        return;
    // The rest of a reopen: with a window up the application comes forward,
    // without one the mapping window opens.
    if (visible)
        windows_.activate();
    else
        windows_.openMappings();
}

void VelmorApp::stopCloudPasses()
{
    if (CloudKitProfileSync* sync = model_->cloudSync()) {
        sync->stopIconPasses();
        sync->uploadAtQuit();
    }
}

std::weak_ptr<const void> VelmorApp::cloudWork() const
{
    if (CloudKitProfileSync* sync = model_->cloudSync())
        return sync->weak_from_this();
    return {};
}

void VelmorApp::finishCloudWork(const std::weak_ptr<const void>& work, std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    while (!work.expired() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void VelmorApp::updatePhase() { phase_.update(windows_.hasVisibleWindows(), applicationIsActive()); }

void VelmorApp::phaseChanged(ScenePhase::Phase phase)
{
    if (phase == ScenePhase::Phase::background)
        model_->profileStore().save();
}

void VelmorApp::reportReady()
{
    std::fputs(qPrintable(StartupReport::line() + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
    if (options_.report == StartupReport::Mode::quit)
        quit();
}

} // namespace velmor
