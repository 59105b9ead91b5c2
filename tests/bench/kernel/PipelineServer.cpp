// Velmor's road from a device to a keystroke as one process, for the kernel-VM
// benchmarks: the udev HID backend, the HID device source, the application
// model's dispatch and the uinput key output, built as the application builds
// them, with the data folder and settings of the XDG folders it is given.
//
//   velmor_bench_pipeline
//
// Progress goes to standard output, each line with the CLOCK_MONOTONIC time in
// nanoseconds: "ready T" once the profiles are loaded and the launch tasks have
// run, "armed T" once the keypad's K01 types Z (repeating while held) and
// a keypad is seized. It quits when its standard input closes.
#include "core/AppModel.h"
#include "platform/hid/linux/UdevHidManager.h"
#include "store/ProfileStore.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <time.h>
#include <unistd.h>

#include <cstdio>

using namespace velmor;

namespace {

void announce(const char* what)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("%s %lld\n", what, static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
    std::fflush(stdout);
}

void mapBenchShortcut(AppModel& model)
{
    ProfileStore& store = model.profileStore();
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = QStringLiteral("Bench");
    tool.shortcut = KeyboardShortcut{6, QStringLiteral("z"), {}};
    // A release that went missing would keep repeating: the flood would see it.
    tool.repeatOnHoldEnabled = true;
    store.upsertTool(tool, model.activePacsProfile().id);
    store.setMapping(QStringLiteral("tartarus_v2"), QStringLiteral("K01"), tool.id, store.activeUserProfile().id);
    store.save();
}

bool keypadSeized(const QList<AppModel::LogEntry>& logs)
{
    return std::any_of(logs.begin(), logs.end(), [](const AppModel::LogEntry& entry) {
        return entry.message.startsWith(QStringLiteral("Seized HID device "));
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    hid::UdevHidManager::installAsDefault();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char discard[64];
        if (::read(STDIN_FILENO, discard, sizeof discard) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });

    AppModel model;
    // VELMOR_BENCH_LOG=1 copies the application log to standard error.
    Subscription echo;
    if (qEnvironmentVariableIntValue("VELMOR_BENCH_LOG") == 1)
        echo = model.logs().subscribe([](const QList<AppModel::LogEntry>& logs) {
            if (!logs.isEmpty())
                std::fprintf(stderr, "velmor: %s\n", qPrintable(logs.last().message));
        });
    bool isArmed = false;
    Subscription armed;
    // Runs after the launch tasks the model posted while it was built.
    postToMain([&] {
        announce("ready");
        mapBenchShortcut(model);
        armed = model.logs().subscribe([&](const QList<AppModel::LogEntry>& logs) {
            if (!isArmed && keypadSeized(logs)) {
                isArmed = true;
                announce("armed");
            }
        });
    });
    return app.exec();
}
