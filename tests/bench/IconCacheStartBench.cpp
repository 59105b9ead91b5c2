// A first start over an icon cache: seven custom icons asked for as the windows ask when
// they paint, drawn by the real drawing program, with their cache entries either missing
// or planted as decompression bombs (a 128-px header over some 3.9 GB of zeros, about 4 MB
// each). Prints the longest time the window thread went without turning its event loop,
// from the first request until every icon arrived.
//
//   velmor_bench_IconCacheStartBench empty|bombs     prints "hold: ms"
#include "../support/PngBomb.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/Paths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace velmor;

namespace {

constexpr int iconCount = 7;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray icon(int i)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><circle cx="12" cy="12" r=")"
        + QByteArray::number(3 + i) + R"("/></svg>)";
}

} // namespace

int main(int argc, char** argv)
{
    const bool bombs = argc > 1 && std::strcmp(argv[1], "bombs") == 0;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmor"));
    setSvgWindowThread(application.thread());

    const QString icons = QDir(paths::applicationSupport()).filePath(QStringLiteral("Icons"));
    const QString cache = home.filePath("cache/IconRenders");
    QDir().mkpath(cache);
    QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray bomb = test::pngBomb(SvgIconLimits::imageSide, 3900);
    for (int i = 0; i < iconCount; ++i) {
        writeFile(QDir(icons).filePath(QStringLiteral("icon %1.svg").arg(i)), icon(i));
        if (bombs)
            writeFile(QDir(cache).filePath(iconRenderKey(icon(i), SvgIconLimits::imageSide)), bomb);
    }

    IconRenderService::Options options;
    options.program = QStringLiteral(VELMOR_ICON_RENDER);
    options.cacheDirectory = cache;
    IconRenderService renderer(options);
    IconRenderer::setShared(&renderer);
    CustomIconLibrary& library = CustomIconLibrary::shared();

    // A heartbeat on the window thread: the longest gap between its beats is the longest hold.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    heartbeat.start();

    const auto requestAll = [&] {
        int arrived = 0;
        for (int i = 0; i < iconCount; ++i)
            arrived += library.customIconImage(QStringLiteral("icon %1.svg").arg(i)).has_value();
        return arrived;
    };
    requestAll();
    const qint64 asked = clock.nsecsElapsed();
    longest = std::max(longest, asked - last);
    last = asked;
    const QDeadlineTimer patience(120'000);
    while (requestAll() < iconCount && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    if (requestAll() < iconCount)
        qFatal("the icons did not arrive");
    std::printf("hold: %.2f\n", longest / 1e6);
    std::fflush(stdout);
    IconRenderer::setShared(nullptr);
    return 0;
}
