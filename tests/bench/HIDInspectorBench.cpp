// The HID inspector under a busy device: the keypad's flood, 1,000 reports per
// second for 10 s, each report's two samples (its key-array slot and the key the
// slot selects or lets go) delivered in one main-loop turn, as the HID source
// does, into an open inspector, offscreen, on the real Qt event loop. Prints the process's CPU time
// over each run as a share of one core: the feed into the model alone (what any
// window pays for a busy device), with the inspector's controller, with the view
// built but hidden, and with the inspector open; then the list sizes at the end.
//   build/release/tests/bench/velmor_bench_HIDInspectorBench [seconds]
// Target: the open inspector adds under 5 % of one core to the feed.
#include "core/AppModel.h"
#include "platform/LoginItem.h"
#include "platform/MainQueue.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "ui/devices/widgets/HIDInspectorView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <cstdio>
#include <ctime>

using namespace velmor;

namespace {

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Result {
    double cpuShare = 0;
    qint64 samples = 0;
};

constexpr int reportsPerSecond = 1000;
constexpr int samplesPerReport = 2;

// Feeds `rate` reports per second for `seconds`, each report's samples through one main-queue post.
Result run(AppModel& model, int seconds, int rate = reportsPerSecond)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 sent = 0;
    const qint64 total = static_cast<qint64>(seconds) * rate;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 due = std::min(total, clock.nsecsElapsed() * rate / 1'000'000'000);
        for (; sent < due; ++sent) {
            std::array<RawHIDSample, samplesPerReport> report;
            for (int i = 0; i < samplesPerReport; ++i) {
                RawHIDSample& sample = report[i];
                sample.timestamp = QDateTime::currentDateTimeUtc();
                sample.vendorId = sent % 3 == 0 ? 0x0911 : 0x1532;
                sample.productId = sent % 3 == 0 ? 0x0C1C : 0x022B;
                sample.productName = QStringLiteral("Device");
                sample.usagePage = 7;
                sample.usage = i == 0 ? 0xFFFFFFFF : 0x1E + sent % 24;
                sample.value = sent % 2;
                sample.deviceId = QStringLiteral("tartarus_v2");
            }
            postToMain([&model, report] {
                for (const RawHIDSample& sample : report)
                    model.appendHIDSample(sample);
            });
        }
        if (sent == total) {
            ticker.stop();
            postToMain([&loop] { loop.quit(); });
        }
    });
    const double cpuStart = cpuSeconds();
    clock.start();
    ticker.start();
    loop.exec();
    const double wall = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return {(cpuSeconds() - cpuStart) / wall, sent * samplesPerReport};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    QTemporaryDir folder;
    paths::setApplicationSupportOverride(folder.path());
    ScopedInMemorySettings settings;
    hid::ScriptedHid hid;
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    InMemoryLoginItem loginItem;
    keys::KeyOutput::setInstance(&output);
    Permissions::setInstance(&permissions);
    LoginItem::setInstance(&loginItem);
    {
        AppModel model;
        QCoreApplication::processEvents();

        const Result alone = run(model, seconds);
        Result controllerOnly;
        {
            HIDInspectorController controller(model);
            controllerOnly = run(model, seconds);
        }
        HIDInspectorView inspector(model);
        inspector.resize(900, 640);
        const Result hidden = run(model, seconds);
        inspector.show();
        QCoreApplication::processEvents();
        const Result open = run(model, seconds);

        const auto* list = inspector.findChild<QListView*>(QStringLiteral("eventList"));
        std::printf("samples per run: %lld over %d s\n", static_cast<long long>(open.samples), seconds);
        std::printf("model alone:      %.2f %% of one core\n", alone.cpuShare * 100);
        std::printf("controller only:  %.2f %% of one core\n", controllerOnly.cpuShare * 100);
        std::printf("inspector hidden: %.2f %% of one core\n", hidden.cpuShare * 100);
        std::printf("inspector open:   %.2f %% of one core\n", open.cpuShare * 100);
        std::printf("the open inspector adds %.2f %% of one core (target < 5 %%)\n",
                    (open.cpuShare - alone.cpuShare) * 100);
        std::printf("feed %lld samples (cap 400), list %d rows (cap 200)\n",
                    static_cast<long long>(model.hidEvents().get().size()), list->model()->rowCount());
    }
    LoginItem::setInstance(nullptr);
    Permissions::setInstance(nullptr);
    keys::KeyOutput::setInstance(nullptr);
    paths::setApplicationSupportOverride({});
    return 0;
}
