// The kernel-VM benchmark: Velmor's pipeline (velmor_bench_pipeline) against
// the least a remapper can do (velmor_bench_forwarder), side by side in one
// run. Each reads its own uhid keypad (same descriptor, same kernel path) and
// types on its own uinput keyboard; presses alternate between the two.
//
//   latency    a press report until the shortcut's key is readable on the
//              output keyboard (kernel time stamp), median / p99 / max;
//   flood      reports at a fixed rate for some seconds: CPU time of the
//              program over the window, every press typed exactly once, every
//              key released at the end, nothing repeating afterwards;
//   start-up   program start until it reports "ready"; resident memory.
//
// Runs inside scripts/kernel-test (it needs /dev/uhid and /dev/uinput);
// with --startup-only it needs neither and measures the start-up alone.
// The result is one JSON line starting with "velmor-bench-result: ".
#include "BenchSide.h"
#include "Flood.h"
#include "Measures.h"
#include "PerfProfile.h"
#include "Startup.h"
#include "support/HidDescriptors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <linux/kd.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <thread>

using namespace velmor;
using namespace velmor::bench;
using namespace std::chrono_literals;
using test::kernel::UhidDevice;

namespace {

struct Options {
    QString pipeline;
    QString forwarder;
    QString startupCommand;
    int presses = 2000;
    int warmup = 50;
    int floodSeconds = 10;
    int floodRate = 1000;
    int startups = 5;
    bool startupOnly = false;
    QString perf; // profiles the pipeline through the latency run and the flood
    QString strace; // counts both sides' system calls through the latency run
};

// ------------------------------------------------------------------ the two sides

// One press and its release; the time until the shortcut's key went down. We
// sleep while the program works and read the kernel's time stamps afterwards,
// so that our waking up never interrupts it.
std::optional<double> pressOnce(Side& side)
{
    side.output.readAvailable();
    const std::int64_t window = 2 * msNs + std::int64_t(3 * side.lastMs * msNs);
    const std::int64_t sent = monotonicNs();
    side.keypad.sendInput(pressK01);
    std::optional<double> latency;
    for (std::int64_t waited = 0; !latency && waited < 2000 * msNs; waited += window) {
        sleepNs(window);
        for (const OutputKeyboard::KeyEvent& event : side.output.readAvailable())
            if (!latency && event.code == shortcutKey && event.value == 1)
                latency = double(event.timeNs - sent) / msNs;
    }
    side.keypad.sendInput(releaseAll);
    sleepNs(window); // the release is handled before the next press
    return latency;
}

// Where a side's thread switches went during the presses, thread by thread.
void reportSwitches(const char* name, const ChildProcess& process,
                    const std::map<QString, ChildProcess::Switches>& before, double presses)
{
    for (const auto& [thread, counts] : process.switchesByThread()) {
        const auto was = before.find(thread);
        const ChildProcess::Switches start = was == before.end() ? ChildProcess::Switches{} : was->second;
        const std::int64_t voluntary = counts.voluntary - start.voluntary;
        const std::int64_t involuntary = counts.involuntary - start.involuntary;
        if (voluntary || involuntary)
            std::fprintf(stderr, "latency: %s thread %s: %.2f slept, %.2f preempted per press and release\n", name,
                         qPrintable(thread), double(voluntary) / presses, double(involuntary) / presses);
    }
}

void measureLatency(Side& velmor, Side& floor, const Options& options)
{
    const std::int64_t velmorSwitches = velmor.process.contextSwitches();
    const std::int64_t floorSwitches = floor.process.contextSwitches();
    const auto velmorThreads = velmor.process.switchesByThread();
    const auto floorThreads = floor.process.switchesByThread();
    const auto report = [&] {
        const double presses = options.warmup + options.presses;
        std::fprintf(stderr, "latency: thread switches per press and release: Velmor %.1f, floor %.1f\n",
                     double(velmor.process.contextSwitches() - velmorSwitches) / presses,
                     double(floor.process.contextSwitches() - floorSwitches) / presses);
        reportSwitches("Velmor", velmor.process, velmorThreads, presses);
        reportSwitches("floor", floor.process, floorThreads, presses);
    };
    for (int i = 0; i < options.warmup + options.presses; ++i) {
        for (Side* side : i % 2 ? std::array{&velmor, &floor} : std::array{&floor, &velmor}) {
            const std::optional<double> ms = pressOnce(*side);
            if (!ms) {
                ++side->missed;
                continue;
            }
            side->lastMs = *ms;
            if (i >= options.warmup)
                side->latenciesMs.push_back(*ms);
        }
    }
    report();
}

// Answers the keypad's feature-report requests (its lighting) while the benchmark runs.
class KeypadService {
public:
    explicit KeypadService(UhidDevice& keypad)
        : thread_([this, &keypad] {
            while (!stop_)
                keypad.answerSetReport(0, 50ms);
        })
    {
    }
    ~KeypadService()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

QJsonArray vmRows(const Side& velmor, const Side& floor, const FloodFigures& velmorFlood,
                  const FloodFigures& floorFlood, std::int64_t startKb, std::int64_t floodKb)
{
    const Summary v = summarize(velmor.latenciesMs);
    const Summary f = summarize(floor.latenciesMs);
    const double ratio = f.median > 0 ? v.median / f.median : -1;
    const double p99Ratio = f.p99 > 0 ? v.p99 / f.p99 : -1;
    const double cpuRatio = floorFlood.cpuPercent > 0 && velmorFlood.cpuPercent >= 0
                                ? velmorFlood.cpuPercent / floorFlood.cpuPercent
                                : -1;
    const QString ms = QStringLiteral("ms");
    return {
        row(QStringLiteral("presses measured (each side)"), double(v.count), double(f.count), QString(),
            QStringLiteral("≥ 2000"), v.count >= 2000 && f.count >= 2000),
        row(QStringLiteral("presses without output"), velmor.missed, floor.missed, QString(), QStringLiteral("0"),
            velmor.missed == 0),
        row(QStringLiteral("press → key, median"), v.median, f.median, ms),
        row(QStringLiteral("press → key, p99"), v.p99, f.p99, ms),
        row(QStringLiteral("press → key, max"), v.max, f.max, ms),
        row(QStringLiteral("median, Velmor ÷ floor"), number(ratio), {}, QStringLiteral("×"), QStringLiteral("≤ 1.5"),
            ratio >= 0 && ratio <= 1.5),
        row(QStringLiteral("p99, Velmor ÷ floor"), number(p99Ratio), {}, QStringLiteral("×"), QStringLiteral("≤ 1.5"),
            p99Ratio >= 0 && p99Ratio <= 1.5),
        row(QStringLiteral("flood: reports sent per second"), velmorFlood.reportsPerSecond,
            floorFlood.reportsPerSecond, QStringLiteral("/s")),
        row(QStringLiteral("flood: CPU time over the window"), number(velmorFlood.cpuPercent),
            number(floorFlood.cpuPercent), QStringLiteral("% of a core"), QStringLiteral("< 3"),
            velmorFlood.cpuPercent >= 0 && velmorFlood.cpuPercent < 3),
        row(QStringLiteral("flood: CPU time, Velmor ÷ floor"), number(cpuRatio), {}, QStringLiteral("×"),
            QStringLiteral("≤ 2"), cpuRatio >= 0 && cpuRatio <= 2),
        row(QStringLiteral("flood: presses typed"), velmorFlood.typed, floorFlood.typed, QString(),
            QStringLiteral("= %1 sent").arg(velmorFlood.presses), velmorFlood.typed == velmorFlood.presses),
        row(QStringLiteral("flood: keys lost + repeated + stuck"),
            velmorFlood.lost + velmorFlood.extra + velmorFlood.stuck, floorFlood.lost + floorFlood.extra + floorFlood.stuck,
            QString(), QStringLiteral("0"), velmorFlood.flawless()),
        row(QStringLiteral("flood: times the VM stood still > 20 ms"), velmorFlood.heldUp, floorFlood.heldUp, QString()),
        row(QStringLiteral("resident memory after start"), mb(startKb), {}, QStringLiteral("MB"), QStringLiteral("< 80"),
            startKb >= 0 && mb(startKb) < 80),
        row(QStringLiteral("resident memory after the flood"), mb(floodKb), {}, QStringLiteral("MB"),
            QStringLiteral("< 80"), floodKb >= 0 && mb(floodKb) < 80),
    };
}

QString kernelRelease()
{
    utsname name{};
    return ::uname(&name) == 0 ? QString::fromLocal8Bit(name.release) : QString();
}

// How the VM runs: "KVM" or "emulated", and the guest's clock source.
QString vmKind()
{
    QFile cmdline(QStringLiteral("/proc/cmdline"));
    const bool kvm = cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("velmor.accel=kvm");
    QFile clock(QStringLiteral("/sys/devices/system/clocksource/clocksource0/current_clocksource"));
    const QString source = clock.open(QIODevice::ReadOnly) ? QString::fromLatin1(clock.readAll().trimmed()) : QString();
    return (kvm ? QStringLiteral("KVM") : QStringLiteral("emulated"))
           + (source.isEmpty() ? QString() : QStringLiteral(", clock ") + source);
}

QJsonObject runInVm(const Options& options)
{
    // Sending reports on time and reading the outputs must not wait behind the
    // programs measured (our threads inherit this); what we start runs at
    // normal priority.
    sched_param priority{};
    priority.sched_priority = 50;
    if (::sched_setscheduler(0, SCHED_FIFO, &priority) != 0)
        std::perror("latency benchmark: real-time priority");
    // With a second processor, ours is the last one and the programs measured
    // have the others to themselves, as a device and its interrupts would not
    // take the program's processor either.
    if (const long cpus = ::sysconf(_SC_NPROCESSORS_ONLN); cpus >= 2) {
        cpu_set_t own;
        cpu_set_t programs;
        CPU_ZERO(&own);
        CPU_ZERO(&programs);
        CPU_SET(int(cpus - 1), &own);
        for (int cpu = 0; cpu < cpus - 1; ++cpu)
            CPU_SET(cpu, &programs);
        if (::sched_setaffinity(0, sizeof own, &own) != 0)
            std::perror("latency benchmark: processor");
        ChildProcess::placePrograms(programs);
    }

    // As under a graphical session, the text console does not take keys: else
    // every key both programs type would also be typed into it.
    if (const int console = ::open("/dev/tty0", O_RDWR | O_CLOEXEC); console >= 0) {
        if (::ioctl(console, KDSKBMODE, K_OFF) != 0)
            std::perror("latency benchmark: console keyboard off");
        ::close(console);
    }

    UhidDevice velmorKeypad({test::hid::keypad(), 0x1532, 0x0244, QStringLiteral("Bench keypad")});
    // Not a device Velmor knows: only the forwarder reads it.
    UhidDevice floorKeypad({test::hid::keypad(), 0x1209, 0x0001, QStringLiteral("Bench floor keypad")});
    KeypadService service(velmorKeypad);

    const StartupFigures startup = measureStartups(options.startupCommand, options.startups);

    Home home;
    ChildProcess forwarder(options.forwarder, QStringList{floorKeypad.nodes().hidraw} + floorKeypad.nodes().evdev);
    if (!forwarder.readLine(10s))
        throw std::runtime_error("the forwarder did not start");
    ChildProcess pipeline(options.pipeline, {}, home.environment());
    if (!pipeline.waitFor(QStringLiteral("armed"), 60s))
        throw std::runtime_error("the pipeline never seized the keypad");
    Side velmor{QStringLiteral("Velmor"), velmorKeypad, pipeline, OutputKeyboard("Velmor Virtual Keyboard", 10s), {}, 0, 0};
    Side floor{QStringLiteral("floor"), floorKeypad, forwarder, OutputKeyboard("Velmor Bench Forwarder", 10s), {}, 0, 0};
    const std::int64_t startKb = pipeline.residentKb();

    // A flood whose tally our reader could not keep up with says nothing: it is run again (twice at most).
    const auto floodOf = [&](Side& side) {
        FloodFigures figures = flood(side, options.floodSeconds, options.floodRate);
        for (int again = 0; again < 2 && figures.overflowed; ++again)
            figures = flood(side, options.floodSeconds, options.floodRate);
        return figures;
    };
    std::optional<PerfProfile> profile(std::in_place, options.perf, pipeline.pid());
    {
        const SyscallCount velmorCalls(options.strace, velmor.name, pipeline.pid());
        const SyscallCount floorCalls(options.strace, floor.name, forwarder.pid());
        measureLatency(velmor, floor, options);
    }
    const FloodFigures velmorFlood = floodOf(velmor);
    profile.reset();
    const FloodFigures floorFlood = floodOf(floor);
    const std::int64_t floodKb = pipeline.residentKb();

    QJsonArray rows = vmRows(velmor, floor, velmorFlood, floorFlood, startKb, floodKb);
    // Start-up under an emulated processor: shown, not judged.
    for (const QJsonValue& startupRow : startupRows(startup, QStringLiteral(" (VM)"), false))
        rows.append(startupRow);
    return {{QStringLiteral("section"), QStringLiteral("kernel-vm")},
            {QStringLiteral("title"), QStringLiteral("Keypad to keystroke in a kernel VM (kernel %1, %2 CPUs, %3)")
                                          .arg(kernelRelease())
                                          .arg(::sysconf(_SC_NPROCESSORS_ONLN))
                                          .arg(vmKind())},
            {QStringLiteral("rows"), rows}};
}

QJsonObject runStartupOnly(const Options& options)
{
    const StartupFigures startup = measureStartups(options.startupCommand, options.startups);
    return {{QStringLiteral("section"), QStringLiteral("startup")},
            {QStringLiteral("title"), QStringLiteral("Start-up of %1 on this machine, offscreen")
                                          .arg(options.startupCommand.section(QLatin1Char('/'), -1))},
            {QStringLiteral("rows"), startupRows(startup, QString(), true)}};
}

Options parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption pipeline(QStringLiteral("pipeline"), QStringLiteral("Velmor's pipeline program."), QStringLiteral("path"));
    const QCommandLineOption forwarder(QStringLiteral("forwarder"), QStringLiteral("The floor program."), QStringLiteral("path"));
    const QCommandLineOption startupCommand(
        QStringLiteral("startup-command"),
        QStringLiteral("Program whose start-up is measured (default: the pipeline); it prints \"ready T\" "
                       "or, as the application does, \"velmor ready: … rss_kb=N\"."),
        QStringLiteral("path"));
    const QCommandLineOption presses(QStringLiteral("presses"), QStringLiteral("Measured presses per side."), QStringLiteral("n"));
    const QCommandLineOption warmup(QStringLiteral("warmup"), QStringLiteral("Unmeasured presses first."), QStringLiteral("n"));
    const QCommandLineOption floodSeconds(QStringLiteral("flood-seconds"), QStringLiteral("Flood length."), QStringLiteral("s"));
    const QCommandLineOption floodRate(QStringLiteral("flood-rate"), QStringLiteral("Flood reports per second."), QStringLiteral("n"));
    const QCommandLineOption startups(QStringLiteral("startups"), QStringLiteral("Start-ups measured."), QStringLiteral("n"));
    const QCommandLineOption startupOnly(QStringLiteral("startup-only"), QStringLiteral("Measure the start-up alone (no VM needed)."));
    const QCommandLineOption perf(QStringLiteral("perf"), QStringLiteral("Profile the pipeline with this perf."), QStringLiteral("path"));
    const QCommandLineOption strace(QStringLiteral("strace"), QStringLiteral("Count both sides' system calls with this strace."), QStringLiteral("path"));
    parser.addOptions({pipeline, forwarder, startupCommand, presses, warmup, floodSeconds, floodRate, startups, startupOnly, perf, strace});
    parser.process(app);

    const QString here = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    Options options;
    options.pipeline = parser.isSet(pipeline) ? parser.value(pipeline) : here + QStringLiteral("velmor_bench_pipeline");
    options.forwarder = parser.isSet(forwarder) ? parser.value(forwarder) : here + QStringLiteral("velmor_bench_forwarder");
    options.startupCommand = parser.isSet(startupCommand) ? parser.value(startupCommand) : options.pipeline;
    const auto count = [&](const QCommandLineOption& option, int fallback, int least) {
        return parser.isSet(option) ? std::max(least, parser.value(option).toInt()) : fallback;
    };
    options.presses = count(presses, options.presses, 1);
    options.warmup = count(warmup, options.warmup, 0);
    options.floodSeconds = count(floodSeconds, options.floodSeconds, 1);
    options.floodRate = count(floodRate, options.floodRate, 2);
    options.startups = count(startups, options.startups, 2);
    options.startupOnly = parser.isSet(startupOnly);
    options.perf = parser.value(perf);
    options.strace = parser.value(strace);
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app);
    try {
        const QJsonObject section = options.startupOnly ? runStartupOnly(options) : runInVm(options);
        std::printf("velmor-bench-result: %s\n", QJsonDocument(section).toJson(QJsonDocument::Compact).constData());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "latency benchmark: %s\n", error.what());
        return 1;
    }
}
