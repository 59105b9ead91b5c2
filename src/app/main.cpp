// velmor: the tray application. Takes no arguments; see StartupReport.h for the
// one environment variable that measuring tools use.

#include "app/LogEcho.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/StartRefusal.h"
#include "app/StartupReport.h"
#include "app/VelmorApp.h"
#include "core/AppModel.h"
#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/Paths.h"
#include "platform/TemporaryFolders.h"
#include "platform/hid/linux/UdevHidManager.h"
#include "store/DataFolderLock.h"
#include "ui/shared/CaretBlink.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDir>
#include <QSystemTrayIcon>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include <unistd.h>

using namespace velmor;

int main(int argc, char** argv)
{
    StartupReport::markMainEntered();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("velmor"));
    // The tray keeps running with every window closed.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start shows the running one's windows and ends.
    const std::unique_ptr<SingleInstance> instance = SingleInstance::forDataFolder(paths::applicationSupport());
    switch (instance->start()) {
    case SingleInstance::Role::handedOver:
        return 0;
    case SingleInstance::Role::failed:
        std::fprintf(stderr, "velmor: %s\n", qPrintable(instance->failure()));
        return 1;
    case SingleInstance::Role::primary:
        break;
    }
    // One writer per data folder, also across computers and sessions that share it
    // (the single-instance socket above sees this session only). Taken before the
    // profiles load, held until the process ends.
    DataFolderLock dataFolderLock(paths::applicationSupport());
    switch (dataFolderLock.acquire()) {
    case DataFolderLock::Outcome::held:
    case DataFolderLock::Outcome::readOnly: // no Velmor can save there: the profiles open, saves are refused
        break;
    case DataFolderLock::Outcome::unsupported:
        std::fprintf(stderr, "velmor: %s\n", qPrintable(dataFolderLock.message()));
        break;
    case DataFolderLock::Outcome::inUse:
    case DataFolderLock::Outcome::failed:
        tellStartRefused(dataFolderLock.message());
        return 1;
    }
    // What earlier runs that were killed outright left in the temporary folder.
    temporaryFolders::removeLeftovers(QDir::tempPath());

    installTheme(application);
    // Icons that others made are drawn in child processes, never on this thread.
    setSvgWindowThread(application.thread());
    IconRenderService iconRenderer{IconRenderService::Options{}};
    IconRenderer::setShared(&iconRenderer);
    const CaretBlink caretBlink;
    hid::UdevHidManager::installAsDefault();
    VelmorApp::Options options;
    options.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    options.report = StartupReport::requested();
    auto velmor = std::make_unique<VelmorApp>(options);
    // Started from a terminal: the Event Log there too.
    std::optional<LogEcho> logEcho;
    if (::isatty(STDERR_FILENO))
        logEcho.emplace(velmor->model().logs(), [](const QByteArray& line) {
            std::fputs(line.constData(), stderr);
            std::fflush(stderr);
        });
    instance->onReopen = [&velmor] { velmor->reopen(); };
    {
        const QuitSignals quitSignals([&velmor] { velmor->quit(); });
        velmor->launch();
        QApplication::exec(); // the profiles are saved as it ends
    }
    // From here a signal ends the process at once, and a start waits for the lock.
    instance->stopListening();
    iconRenderer.shutdown(); // children killed; the sync's waits end

    // A pass over many icons would outlast the time below; the next start does the rest.
    velmor->stopCloudPasses();
    const std::weak_ptr<const void> cloudWork = velmor->cloudWork();
    velmor.reset(); // windows closed, devices handed back
    VelmorApp::finishCloudWork(cloudWork, std::chrono::seconds(3));
    IconRenderer::setShared(nullptr);
    return 0;
}
