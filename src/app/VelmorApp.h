#pragma once

#include "app/AppCommands.h"
#include "app/AppDelegate.h"
#include "app/MenuBarLabel.h"
#include "app/ScenePhase.h"
#include "app/StartupReport.h"
#include "app/MenuBarView.h"
#include "app/MenuBarModel.h"
#include "app/WindowManager.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

namespace velmor {

class AppModel;
class Prompter;

// The application: it makes the one AppModel first (so its whole start-up has
// run before anything is shown), then the delegate, the windows, the tray menu
// and the application's commands. launch() shows the tray icon, or, where the
// desktop has no tray, puts the menu into the mapping window's menu bar; either
// way the mapping window opens once. Going to the background (no window open)
// saves the profiles. Main thread; one per process.
class VelmorApp {
public:
    struct Options {
        bool trayAvailable = true;
        std::optional<StartupReport::Mode> report;
        // The prompter of the tray menu's file flows; none: real dialogs.
        Prompter* prompter = nullptr;
    };

    explicit VelmorApp(Options options);
    ~VelmorApp();
    VelmorApp(const VelmorApp&) = delete;
    VelmorApp& operator=(const VelmorApp&) = delete;

    void launch();
    // "Quit", SIGTERM and SIGINT: the event loop ends, and the model saves the
    // profiles as it does; the devices are released when the application goes.
    void quit();
    // A second start asked this one to show itself.
    void reopen();

    // Before the application goes at a quit: the icon pass under way ends at its next step,
    // and an upload owed or waiting starts.
    void stopCloudPasses();
    // The profile sync's work still under way: it holds the sync until its last
    // call has come back; empty without a sync.
    std::weak_ptr<const void> cloudWork() const;
    // After the application has gone: runs the event loop until `work` has ended,
    // for at most `patience`, so that a quit does not cut a cloud call off halfway.
    static void finishCloudWork(const std::weak_ptr<const void>& work, std::chrono::milliseconds patience);

    AppModel& model() { return *model_; }
    AppDelegate& delegate() { return delegate_; }
    WindowManager& windows() { return windows_; }
    const MenuBarModel& menuModel() const { return menuModel_; }
    QMenu& menu() { return menu_.menu(); }
    AppCommands& commands() { return commands_; }
    // None where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return label_.trayIcon(); }
    const ScenePhase& phase() const { return phase_; }

private:
    void updatePhase();
    void phaseChanged(ScenePhase::Phase phase);
    void reportReady();

    Options options_;
    std::unique_ptr<AppModel> model_;
    std::unique_ptr<Prompter> ownPrompter_;
    AppDelegate delegate_;
    WindowManager windows_;
    MenuBarModel menuModel_;
    MenuBarView menu_;
    AppCommands commands_;
    ScenePhase phase_;
    MenuBarLabel label_;
    // Context of the connections to the application object.
    std::unique_ptr<QObject> connections_ = std::make_unique<QObject>();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmor
