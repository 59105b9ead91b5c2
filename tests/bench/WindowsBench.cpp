// The windows on the 50 × 1,000 profiles document (a 15 MB profiles.json), the
// whole application in this process on the real Qt event loop (offscreen), its
// cloud folder in a temporary folder: how long the window's thread is busy for
// one edit (input to the screen settled, the save's outcome and the upload it
// asks for included), for a change another machine put into the cloud folder,
// and what the process costs idle, with a text field focused and without.
//
//   velmor_bench_WindowsBench RUNS IDLE_SECONDS     prints "name: value" lines
//   velmor_bench_WindowsBench --write-data FOLDER   only writes the document as
//                                                   FOLDER/Velmor/profiles.json
//   velmor_bench_WindowsBench --arrivals RUNS       see WindowsArrivals.h
#include "LargeProfiles.h"
#include "ThreadTime.h"
#include "WindowsArrivals.h"

#include "app/VelmorApp.h"
#include "app/WindowManager.h"
#include "core/AppModel.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/folder/FolderLocation.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "ui/shared/CaretBlink.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

#include <sys/resource.h>

using namespace velmor;
using namespace std::chrono_literals;

namespace {

void writeData(const QString& dataHome)
{
    QDir().mkpath(dataHome + "/Velmor");
    QFile file(dataHome + "/Velmor/profiles.json");
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the profiles");
    file.write(bench::makeDocument({50, 50, 1000}).encode());
}

double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void runFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the loop until `done` holds (at most `patience`), then `after` more.
void runUntil(const std::function<bool()>& done, std::chrono::milliseconds after, std::chrono::milliseconds patience = 20s)
{
    QDeadlineTimer deadline(patience);
    while (!done() && !deadline.hasExpired())
        runFor(5ms);
    runFor(after);
}

// The main thread's CPU time for `input` and everything it sets off: the save's
// outcome arriving (lastSaved moves), then the upload debounce and the upload.
double busyFor(ProfileStore& store, const std::function<void()>& input)
{
    const std::optional<QDateTime> saved = store.lastSaved().get();
    const double start = bench::threadCpuMs();
    input();
    runUntil([&] { return store.lastSaved().get() != saved; }, 1500ms);
    return bench::threadCpuMs() - start;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--write-data") {
        writeData(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--arrivals")
        return bench::runArrivals(std::max(1, atoi(argv[2])), argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 30;

    QTemporaryDir home;
    writeData(home.filePath("data"));
    bench::useTemporaryHome(home);

    QApplication application(argc, argv);
    installTheme(application);
    const CaretBlink caretBlink;
    VelmorApp::Options options;
    options.trayAvailable = false;
    auto app = std::make_unique<VelmorApp>(options);
    app->launch();
    ProfileStore& store = app->model().profileStore();
    // Start-up settles: the first sync uploads the profiles into the empty folder.
    runFor(4s);

    QList<double> switchUser, mapButton, keystroke, remote;
    const QList<UserProfile> users = store.userProfiles().get();
    for (int run = 0; run < runs; ++run) {
        const UserProfile& other = users.at((run + 1) % users.size());
        switchUser.append(busyFor(store, [&] { store.selectUserProfile(other); }));
        mapButton.append(busyFor(store, [&] {
            const UserProfile user = store.activeUserProfile();
            const PacsProfile pacs = store.activePacsProfile();
            store.setMapping(user.selectedDeviceId.value_or(bench::devices[0]), QStringLiteral("K%1").arg(run + 1, 2, 10, QChar('0')),
                             pacs.tools.at(run % pacs.tools.size()).id, user.id);
        }));
    }

    // Keystrokes in the admin window's name field of the first tool.
    app->windows().openAdmin(true);
    runFor(1s);
    QWidget* admin = app->windows().adminWindow();
    auto* name = admin ? admin->findChild<QLineEdit*>(QStringLiteral("toolName")) : nullptr;
    auto* search = admin ? admin->findChild<QLineEdit*>(QStringLiteral("toolSearch")) : nullptr;
    if (!name || !search)
        qFatal("the admin window has no name or search field");
    if (auto* list = admin->findChild<QWidget*>(QStringLiteral("toolList"))) {
        QTest::keyClick(list, Qt::Key_Down);
        runFor(500ms);
    }
    name->setFocus();
    QApplication::setActiveWindow(admin);
    runFor(500ms);
    for (int run = 0; run < runs; ++run)
        keystroke.append(busyFor(store, [&] { QTest::keyClick(name, Qt::Key_A); }));

    // Another machine's change: a second client of the folder saves the record.
    auto other = cloud::FolderContainer::create(QStringLiteral("iCloud.Velmor"),
                                                cloud::FolderLocation::forContainer(QStringLiteral("iCloud.Velmor")),
                                                cloud::FolderContainer::Options{QUuid::createUuid()});
    for (int run = 0; run < runs; ++run) {
        std::optional<cloud::Record> record;
        bool fetched = false;
        other->privateCloudDatabase()->fetchRecord(QStringLiteral("profiles"),
                                                   [&](std::optional<cloud::Record> r, std::optional<cloud::Error>) {
                                                       record = std::move(r);
                                                       fetched = true;
                                                   });
        runUntil([&] { return fetched; }, 0ms);
        if (!record)
            qFatal("no profiles record in the cloud folder");
        const QString newName = QStringLiteral("Remote %1").arg(run);
        QByteArray payload = store.makeSyncPayload();
        const UserProfile active = store.activeUserProfile();
        payload.replace(("\"name\": \"" + active.name + "\"").toUtf8(), ("\"name\": \"" + newName + "\"").toUtf8());
        record->setValue(QStringLiteral("payload"), payload);
        record->setValue(QStringLiteral("updatedAt"), QDateTime::currentDateTimeUtc().addSecs(60 * (run + 1)));
        // Made over the record it fetched, and naming it, as another machine's Velmor writes.
        record->setValue(QStringLiteral("replaces"), record->recordChangeTag().toUtf8());
        bool savedRecord = false;
        other->privateCloudDatabase()->saveRecord(*record, [&](std::optional<cloud::Record>, std::optional<cloud::Error> error) {
            if (error)
                qFatal("the other client's save failed: %s", qPrintable(error->localizedDescription()));
            savedRecord = true;
        });
        runUntil([&] { return savedRecord; }, 0ms);
        const double start = bench::threadCpuMs();
        app->model().cloudSync()->requestSyncNow();
        runUntil([&] { return store.activeUserProfile().name == newName; }, 1500ms);
        remote.append(bench::threadCpuMs() - start);
        if (store.activeUserProfile().name != newName)
            qFatal("the remote change did not arrive");
    }

    // Idle, each run as a user leaves a window: the search field just focused (its
    // cursor blinks), then nothing focused. The other client goes first, and this
    // one's look at the folder takes in its last change now rather than during
    // the measurement.
    other.reset();
    app->model().cloudSync()->container()->checkForChanges();
    runFor(3s);
    const auto idleCpu = [&] {
        runFor(1s);
        const double start = processCpuMs();
        runFor(std::chrono::seconds(idleSeconds));
        return (processCpuMs() - start) / (idleSeconds * 10.0);
    };
    QList<double> focused, unfocused;
    for (int run = 0; run < runs; ++run) {
        admin->setFocus();
        search->setFocus();
        focused.append(idleCpu());
        search->clearFocus();
        admin->setFocus();
        unfocused.append(idleCpu());
    }

    std::printf("switch user: %.1f\n", bench::median(switchUser));
    std::printf("map a button: %.1f\n", bench::median(mapButton));
    std::printf("tool name keystroke: %.1f\n", bench::median(keystroke));
    std::printf("remote change: %.1f\n", bench::median(remote));
    std::printf("idle focused: %.2f\n", bench::median(focused));
    std::printf("idle unfocused: %.2f\n", bench::median(unfocused));
    std::fflush(stdout);
    app.reset();
    return 0;
}
