// Icon passes over 2,000 icons between two machines on the real Qt event loop, each with
// its own client of one folder database in a temporary folder (its file work on a
// worker, completions on the main thread) and the real velmor-icon-render drawing
// program: A uploads its 2,000 icons, B downloads them, then A looks at them again with
// nothing changed. The icons have the sizes real ones have: most a few KB, one in ten
// 100 KB and one in a hundred 1 MB (padded with a comment), which the pass reads and hashes.
// One machine runs at a time. For each pass, the longest single hold of the main thread
// (wall time of one event, blocking calls included), the CPU time inside it, and the
// pass's wall time.
//
//   velmor_bench_IconPassBench RUNS [ICONS]    prints "name: value" lines (ms), medians of
//                                              RUNS; ICONS (2,000 unless given) for brief runs
#include "EventLoop.h"
#include "HoldMeter.h"

#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

using namespace velmor;
using bench::runUntil;

namespace {

constexpr int defaultIconCount = 2000;

// The icon's size: 1 MB for one in a hundred, 100 KB for one in ten, else 2 to 20 KB.
qsizetype iconBytes(int i)
{
    if (i % 100 == 99)
        return 1'000'000;
    if (i % 10 == 9)
        return 100'000;
    return 2'000 + (i * 7'919) % 18'000;
}

QByteArray drawing(int i)
{
    QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r=")" +
                     QByteArray::number(1 + i % 11) + R"(" fill="#)" + QByteArray::number(0x100000 + i * 37, 16) +
                     R"("/><path d="M2 2L22 )" + QByteArray::number(i % 20) + R"(" stroke="black"/><!-- )";
    const QByteArray end = " --></svg>";
    svg += QByteArray(std::max<qsizetype>(0, iconBytes(i) - svg.size() - end.size()), 'x');
    return svg + end;
}

QCoro::Task<> passThenMark(CloudKitIconSync& sync, QStringList names, bool& ended)
{
    co_await sync.requestSync(std::move(names));
    ended = true;
}

struct Pass {
    double heldMs;
    double cpuMs; // inside the longest hold
    double wallMs;
};

Pass measure(bench::HoldMeterApplication& application, CloudKitIconSync& sync, const QStringList& names)
{
    bool ended = false;
    QElapsedTimer wall;
    wall.start();
    application.restart();
    passThenMark(sync, names, ended);
    runUntil([&] { return ended; }, "an icon pass");
    const Pass pass{application.longestMs(), application.longestCpuMs(), wall.nsecsElapsed() / 1e6};
    std::fprintf(stderr, "  held %.1f ms (CPU %.1f ms) by %s; %.0f ms in all\n", pass.heldMs, pass.cpuMs,
                 application.longestWhat().constData(), pass.wallMs);
    return pass;
}

std::vector<Pass> runOnce(bench::HoldMeterApplication& application, int iconCount)
{
    const QTemporaryDir root;
    const QDir dir(root.path());
    const QString cloud = dir.filePath(QStringLiteral("cloud"));
    QDir().mkpath(cloud);
    QStringList names;
    for (int i = 0; i < iconCount; ++i) {
        names << QStringLiteral("icon %1.svg").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = dir.filePath(QStringLiteral("a/Icons/") + names.last());
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        const QByteArray document = drawing(i);
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
            qFatal("cannot write the icons");
    }
    IconRenderService::Options options;
    options.program = QStringLiteral(VELMOR_ICON_RENDER);
    options.cacheDirectory = dir.filePath(QStringLiteral("render-cache"));
    IconRenderService renderer(options);
    IconRenderer::setShared(&renderer);

    const auto machine = [&](const QString& name) {
        QDir().mkpath(dir.filePath(name + QStringLiteral("/Icons")));
        QDir().mkpath(dir.filePath(name + QStringLiteral("/tmp")));
        auto container = cloud::FolderContainer::create(QStringLiteral("iCloud.Velmor"),
                                                        cloud::FolderLocation{cloud, true},
                                                        cloud::FolderContainer::Options{QUuid::createUuid()});
        auto sync = std::make_unique<CloudKitIconSync>(*container->privateCloudDatabase(),
                                                       dir.filePath(name + QStringLiteral("/Icons")),
                                                       dir.filePath(name + QStringLiteral("/tmp")), dir.filePath(name));
        sync->setRefusalHandler([](const QString& text) { qFatal("told: %s", qPrintable(text)); });
        return std::pair(std::move(container), std::move(sync));
    };
    std::vector<Pass> passes;
    {
        auto [container, sync] = machine(QStringLiteral("a"));
        passes.push_back(measure(application, *sync, names));
    }
    {
        auto [container, sync] = machine(QStringLiteral("b"));
        passes.push_back(measure(application, *sync, names));
        if (QDir(dir.filePath(QStringLiteral("b/Icons"))).entryList(QDir::Files).size() != iconCount)
            qFatal("the icons did not all arrive");
    }
    {
        auto [container, sync] = machine(QStringLiteral("a"));
        passes.push_back(measure(application, *sync, names));
    }
    IconRenderer::setShared(nullptr);
    return passes;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int iconCount = argc > 2 ? std::max(1, std::atoi(argv[2])) : defaultIconCount;
    bench::HoldMeterApplication application(argc, argv);
    setSvgWindowThread(application.thread());
    std::vector<std::vector<Pass>> all;
    for (int run = 0; run < runs; ++run)
        all.push_back(runOnce(application, iconCount));
    const char* names[] = {"upload", "download", "unchanged"};
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<double> held;
        std::vector<double> wall;
        for (const std::vector<Pass>& run : all) {
            held.push_back(run[pass].heldMs);
            wall.push_back(run[pass].wallMs);
        }
        std::printf("%s held: %.2f\n%s wall: %.0f\n", names[pass], median(held), names[pass], median(wall));
    }
    // The worst pass of each run, and the CPU time inside its longest hold.
    std::vector<std::pair<double, double>> worst;
    for (const std::vector<Pass>& run : all) {
        const Pass& pass = *std::max_element(run.begin(), run.end(),
                                             [](const Pass& a, const Pass& b) { return a.heldMs < b.heldMs; });
        worst.emplace_back(pass.heldMs, pass.cpuMs);
    }
    std::sort(worst.begin(), worst.end());
    std::printf("held: %.2f\nheld cpu: %.2f\n", worst[worst.size() / 2].first, worst[worst.size() / 2].second);
    std::fflush(stdout);
    return 0;
}
