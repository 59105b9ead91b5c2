// The icon picker over an Icons folder of 100 distinct 1 MB icons that cannot be drawn,
// offscreen on the real Qt event loop, drawn by the real drawing program with a cache of
// this run's own: the window thread's CPU time to open the picker on its custom icons
// (built, shown and painted), for one keystroke in its search, and for Reload, once every
// icon's outcome is known. The first open, while the icons are still read and drawn, is
// printed beside.
//
//   velmor_bench_IconPickerBench RUNS     prints "name: value" lines (ms)
#include "ThreadTime.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/Paths.h"
#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace velmor;

namespace {

constexpr int iconCount = 100;
constexpr qsizetype iconBytes = 1'000'000;

// The window thread's CPU time for `input` and the events it sets off.
double busyFor(const std::function<void()>& input)
{
    const double start = bench::threadCpuMs();
    input();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return bench::threadCpuMs() - start;
}

// Documents the drawing program refuses, each its own: a page, not an icon.
void writeIcons(const QString& folder)
{
    QDir().mkpath(folder);
    for (int i = 0; i < iconCount; ++i) {
        QByteArray document = "<html><!-- " + QByteArray::number(i) + ' ';
        document += QByteArray(iconBytes - document.size() - 12, 'x');
        document += " --></html>";
        QFile file(QDir(folder).filePath(QStringLiteral("failed %1.svg").arg(i, 3, 10, QChar('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
            qFatal("cannot write the icons");
    }
}

std::unique_ptr<SFSymbolPicker> openPicker()
{
    auto picker = std::make_unique<SFSymbolPicker>(ToolIconSelection{ToolIconSource::custom, "failed 000.svg"});
    picker->resize(560, 520);
    picker->show();
    return picker;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor"));
    installTheme(application);
    writeIcons(QDir(paths::applicationSupport()).filePath(QStringLiteral("Icons")));

    setSvgWindowThread(application.thread());
    IconRenderService::Options options;
    options.program = QStringLiteral(VELMOR_ICON_RENDER);
    options.cacheDirectory = home.filePath("cache/IconRenders");
    IconRenderService renderer(options);
    IconRenderer::setShared(&renderer);
    CustomIconLibrary& library = CustomIconLibrary::shared();

    // The first open: every icon is read on a worker and drawn (and refused) by a child.
    double first = 0;
    {
        std::unique_ptr<SFSymbolPicker> picker;
        first = busyFor([&] { picker = openPicker(); });
        const QDeadlineTimer patience(300'000);
        while ((library.lookupsUnderWay() > 0 || renderer.childrenRunning() > 0) && !patience.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (library.lookupsUnderWay() > 0)
            qFatal("the icons' outcomes did not arrive");
    }
    const quint64 read = library.documentsRead();
    std::fprintf(stderr, "first open: %.1f ms on the window thread; %llu documents read, %d children\n", first,
                 static_cast<unsigned long long>(read), renderer.childrenStarted());

    QList<double> open, keystroke, reload;
    for (int run = 0; run < runs; ++run) {
        std::unique_ptr<SFSymbolPicker> picker;
        open.append(busyFor([&] { picker = openPicker(); }));
        auto* search = picker->findChild<QLineEdit*>(QStringLiteral("iconSearch"));
        auto* grid = picker->findChild<QListView*>(QStringLiteral("iconGrid"));
        auto* reloadButton = picker->findChild<QWidget*>(QStringLiteral("reloadIcons"));
        if (!search || !grid || !reloadButton || grid->model()->rowCount() < iconCount)
            qFatal("the picker does not show the custom icons");
        // "f" and Backspace: each refills the grid with all the icons.
        keystroke.append(busyFor([&] { QTest::keyClick(search, Qt::Key_F); }));
        keystroke.append(busyFor([&] { QTest::keyClick(search, Qt::Key_Backspace); }));
        reload.append(busyFor([&] { QTest::mouseClick(reloadButton, Qt::LeftButton); }));
    }
    if (library.documentsRead() != read)
        qFatal("icons whose outcome is known were read again");

    std::printf("open: %.2f\n", bench::median(open));
    std::printf("keystroke: %.2f\n", bench::median(keystroke));
    std::printf("reload: %.2f\n", bench::median(reload));
    std::printf("first open: %.2f\n", first);
    std::fflush(stdout);
    IconRenderer::setShared(nullptr);
    return 0;
}
