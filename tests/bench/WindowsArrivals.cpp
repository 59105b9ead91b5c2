#include "WindowsArrivals.h"

#include "EventLoop.h"
#include "HoldMeter.h"
#include "ThreadTime.h"

#include "app/VelmorApp.h"
#include "app/WindowManager.h"
#include "core/AppModel.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/folder/FolderLocation.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "ui/shared/CaretBlink.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace std::chrono_literals;

namespace velmor::bench {

namespace {

using Application = HoldMeter<QApplication>;

// The other machine: a second client of the same cloud folder.
class OtherMachine {
public:
    OtherMachine()
        : client_(cloud::FolderContainer::create(CloudKitProfileSync::containerIdentifier,
                                                 cloud::FolderLocation::forContainer(CloudKitProfileSync::containerIdentifier),
                                                 cloud::FolderContainer::Options{QUuid::createUuid()}))
    {
    }

    // Saves the profiles record with `document` as its payload, dated `minutes` from now.
    void save(const PersistedProfiles& document, int minutes)
    {
        std::optional<cloud::Record> record;
        bool fetched = false;
        client_->privateCloudDatabase()->fetchRecord(QStringLiteral("profiles"),
                                                     [&](std::optional<cloud::Record> r, std::optional<cloud::Error>) {
                                                         record = std::move(r);
                                                         fetched = true;
                                                     });
        runUntil([&] { return fetched; }, "the record's fetch");
        if (!record)
            qFatal("no profiles record in the cloud folder");
        record->setValue(QStringLiteral("payload"), document.encode());
        record->setValue(QStringLiteral("updatedAt"), QDateTime::currentDateTimeUtc().addSecs(60 * minutes));
        // Made over the record it fetched, and naming it, as another machine's Velmor writes.
        record->setValue(QStringLiteral("replaces"), record->recordChangeTag().toUtf8());
        bool saved = false;
        client_->privateCloudDatabase()->saveRecord(*record, [&](std::optional<cloud::Record>, std::optional<cloud::Error> error) {
            if (error)
                qFatal("the other client's save failed: %s", qPrintable(error->localizedDescription()));
            saved = true;
        });
        runUntil([&] { return saved; }, "the other client's save");
    }

private:
    std::shared_ptr<cloud::Container> client_;
};

QString longName(int run) { return QString(QChar(u'a' + run % 26)).repeated(1'000'000); }

QList<RadiologyTool> manyTools(int run)
{
    QList<RadiologyTool> tools;
    tools.reserve(100'000);
    for (int t = 0; t < 100'000; ++t) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        // Lean, so that the record stays within what the cloud folder takes.
        tool.name = QStringLiteral("Arrived %1 tool %2").arg(run).arg(t);
        tool.systemIcon = QStringLiteral("star");
        tools.append(tool);
    }
    return tools;
}

} // namespace

void useTemporaryHome(const QTemporaryDir& home)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("VELMOR_CLOUD_FOLDER", QFile::encodeName(home.filePath("cloud")));
    QDir().mkpath(home.filePath("cloud"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

int runArrivals(int runs, int argc, char** argv)
{
    QTemporaryDir home;
    useTemporaryHome(home);

    Application application(argc, argv);
    installTheme(application);
    const CaretBlink caretBlink;
    VelmorApp::Options options;
    options.trayAvailable = false;
    auto app = std::make_unique<VelmorApp>(options);
    app->launch();
    app->windows().openMappings();
    app->windows().openAdmin(true);
    ProfileStore& store = app->model().profileStore();
    // Start-up settles: the first sync uploads the profiles into the empty folder.
    runFor(4s);

    OtherMachine other;
    const auto arrival = [&](const std::function<void(PersistedProfiles&)>& change, const std::function<bool()>& arrived) {
        const std::optional<PersistedProfiles> now = PersistedProfiles::decodeInParts(store.makeSyncPayload());
        if (!now)
            qFatal("the store's payload does not decode");
        PersistedProfiles document = *now;
        change(document);
        static int minutes = 0;
        other.save(document, ++minutes);
        application.restart();
        const double start = threadCpuMs();
        app->model().cloudSync()->container()->checkForChanges();
        runUntil(arrived, "the record's arrival");
        // The windows settle, the upload of the store's repairs included.
        runFor(3s);
        std::fprintf(stderr, "  longest hold %.1f ms (%s), thread CPU %.0f ms\n", application.longestMs(),
                     application.longestWhat().constData(), threadCpuMs() - start);
        return application.longestMs();
    };

    QList<double> names, tools;
    for (int run = 0; run < runs; ++run) {
        const QString name = longName(run);
        names.append(arrival(
            [&](PersistedProfiles& document) {
                for (UserProfile& user : document.userProfiles)
                    if (user.id == document.activeUserProfileId)
                        user.name = name;
            },
            [&] { return store.activeUserProfile().name.size() == name.size() && store.activeUserProfile().name == name; }));
    }
    for (int run = 0; run < runs; ++run) {
        QList<RadiologyTool> arriving = manyTools(run);
        const QUuid last = arriving.back().id;
        tools.append(arrival(
            [&](PersistedProfiles& document) {
                for (PacsProfile& pacs : document.pacsProfiles)
                    if (pacs.id == document.activePacsProfileId) {
                        pacs.tools.removeIf([](const RadiologyTool& tool) { return tool.name.startsWith("Arrived "); });
                        pacs.tools += arriving;
                    }
            },
            [&] {
                const QList<RadiologyTool>& held = store.activePacsProfile().tools;
                return !held.isEmpty() && held.back().id == last;
            }));
    }
    // Keystrokes in the mapping window's tool search over those 100,000 tools: a
    // digit, then Backspace, each handed out by the loop as the user's key is.
    QList<double> keystrokes;
    auto* search = app->windows().mappingWindow()->findChild<QLineEdit*>(QStringLiteral("toolSearch"));
    if (!search)
        qFatal("no tool search in the mapping window");
    for (int run = 0; run < 2 * runs; ++run) {
        const bool digit = run % 2 == 0;
        const auto key = digit ? Qt::Key_7 : Qt::Key_Backspace;
        const QString text = digit ? QStringLiteral("7") : QString();
        application.restart();
        QCoreApplication::postEvent(search, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
        QCoreApplication::postEvent(search, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
        runFor(1s);
        if (search->text() != (digit ? QStringLiteral("7") : QString()))
            qFatal("the keystroke did not reach the search field");
        std::fprintf(stderr, "  keystroke: longest hold %.1f ms (%s)\n", application.longestMs(),
                     application.longestWhat().constData());
        keystrokes.append(application.longestMs());
    }
    // Mappings as many, on the device shown.
    QList<double> mappings;
    for (int run = 0; run < runs; ++run) {
        const QString last = QStringLiteral("Arrived %1 button 99999").arg(run);
        mappings.append(arrival(
            [&](PersistedProfiles& document) {
                for (PacsProfile& pacs : document.pacsProfiles)
                    pacs.tools.removeIf([](const RadiologyTool& tool) { return tool.name.startsWith("Arrived "); });
                for (UserProfile& user : document.userProfiles) {
                    if (user.id != document.activeUserProfileId)
                        continue;
                    const QUuid tool = document.pacsProfiles.front().tools.front().id;
                    user.mappings.removeIf([](const ButtonMapping& m) { return m.buttonId.startsWith("Arrived "); });
                    for (int m = 0; m < 100'000; ++m)
                        user.mappings.append(ButtonMapping{QUuid::createUuid(), user.selectedDeviceId.value_or(QString()),
                                                           QStringLiteral("Arrived %1 button %2").arg(run).arg(m), tool});
                }
            },
            [&] {
                const QList<ButtonMapping>& held = store.activeUserProfile().mappings;
                return !held.isEmpty() && held.back().buttonId == last;
            }));
    }
    std::printf("name arrival held: %.1f\n", median(names));
    std::printf("tools arrival held: %.1f\n", median(tools));
    std::printf("search keystroke held: %.1f\n", median(keystrokes));
    std::printf("mappings arrival held: %.1f\n", median(mappings));
    std::fflush(stdout);
    app.reset();
    return 0;
}

} // namespace velmor::bench
