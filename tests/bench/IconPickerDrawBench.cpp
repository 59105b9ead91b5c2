// The custom icon picker over an Icons folder of distinct icons none of which is drawn
// yet (a restart with new icons), offscreen on the real Qt event loop, drawn by the real
// drawing program with a cache of this run's own. Prints the longest single hold of the
// window thread from the click on "Custom" until every icon is drawn, the time from a
// click into the search field to its paint while they draw, and how fast the icons are
// drawn with the picker open and, with a cache and library of their own, closed.
//
//   velmor_bench_IconPickerDrawBench [ICONS]     prints "name: value" lines (ms)
#include "HoldMeter.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/Paths.h"
#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace velmor;

namespace {

QString iconName(int i) { return QStringLiteral("icon %1.svg").arg(i, 4, 10, QChar('0')); }

void writeIcons(const QString& folder, int count)
{
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QByteArray document = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M2 2h)"
            + QByteArray::number(4 + i % 17) + "v" + QByteArray::number(4 + i / 17 % 17)
            + R"(H2z"/><circle cx="16" cy="16" r=")" + QByteArray::number(1 + i % 7) + R"("/></svg>)";
        QFile file(QDir(folder).filePath(iconName(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
            qFatal("cannot write the icons");
    }
}

// Turns the loop until `done`, for at most ten minutes.
template <typename F>
void waitFor(F done, const char* what)
{
    const QDeadlineTimer patience(600'000);
    while (!done() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    if (!done())
        qFatal("%s did not happen", what);
}

// The time from a click into the field to the field's next paint.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* field) : field_(field) { field->installEventFilter(this); }
    double clickToPaintMs()
    {
        painted_ = false;
        clock_.start();
        QTest::mouseClick(field_, Qt::LeftButton, {}, field_->rect().center());
        field_->update();
        waitFor([&] { return painted_; }, "the search field's paint");
        return ms_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == field_ && event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            ms_ = clock_.nsecsElapsed() / 1e6;
        }
        return false;
    }

private:
    QWidget* field_;
    QElapsedTimer clock_;
    bool painted_ = true;
    double ms_ = 0;
};

IconRenderService::Options renderOptions(const QString& cache)
{
    IconRenderService::Options options;
    options.program = QStringLiteral(VELMOR_ICON_RENDER);
    options.cacheDirectory = cache;
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 2'000;
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath("cache")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::HoldMeter<QApplication> application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor"));
    installTheme(application);
    writeIcons(QDir(paths::applicationSupport()).filePath(QStringLiteral("Icons")), count);
    setSvgWindowThread(application.thread());

    // Closed: a library of its own asks for every icon, as the windows would without the picker.
    double closedMs = 0;
    double closedHold = 0;
    QByteArray closedWhat;
    {
        application.restart();
        IconRenderService renderer(renderOptions(home.filePath("cache/closed")));
        CustomIconLibrary library(&renderer);
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i)
            library.customIconImage(iconName(i));
        waitFor([&] { return library.lookupsUnderWay() == 0 && renderer.childrenRunning() == 0; }, "the closed drawing");
        closedMs = clock.nsecsElapsed() / 1e6;
        closedHold = application.longestMs();
        closedWhat = application.longestWhat();
        if (renderer.childrenStarted() < count)
            qFatal("the icons were not drawn");
    }

    // Open: the picker on its custom icons while they draw.
    IconRenderService renderer(renderOptions(home.filePath("cache/open")));
    IconRenderer::setShared(&renderer);
    CustomIconLibrary& library = CustomIconLibrary::shared();
    // Opened on the symbols, as a tool's icon is, then "Custom": the click is the first hold.
    auto picker = std::make_unique<SFSymbolPicker>(ToolIconSelection{ToolIconSource::system, QStringLiteral("trash")});
    picker->resize(760, 620);
    picker->show();
    QCoreApplication::processEvents();
    auto* grid = picker->findChild<QListWidget*>(QStringLiteral("iconGrid"));
    auto* search = picker->findChild<QLineEdit*>(QStringLiteral("iconSearch"));
    auto* customScope = picker->findChild<QWidget*>(QStringLiteral("iconScope_custom"));
    if (!grid || !search || !customScope)
        qFatal("the picker has no grid, search field or custom library");
    QElapsedTimer clock;
    clock.start();
    application.restart();
    QTest::mouseClick(customScope, Qt::LeftButton);
    if (grid->count() != count)
        qFatal("the picker does not show the custom icons");
    const double openHold = application.longestMs();
    QList<double> clicks;
    PaintWatch watch(search);
    const auto allDrawn = [&] {
        return renderer.childrenStarted() >= count && library.lookupsUnderWay() == 0 && renderer.childrenRunning() == 0;
    };
    while (!allDrawn()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (clicks.size() < 5 && clock.elapsed() > 500 * (clicks.size() + 1))
            clicks.append(watch.clickToPaintMs());
        if (clock.elapsed() > 600'000)
            qFatal("the icons were not drawn with the picker open");
    }
    const double openMs = clock.nsecsElapsed() / 1e6;
    // Let the last frame's arrivals reach the grid.
    QTest::qWait(50);
    std::fprintf(stderr, "%d icons: drawn in %.0f ms closed (longest hold %.1f ms, %s), %.0f ms with the picker open; "
                 "\"Custom\" held %.1f ms; longest hold %.1f ms (%s); click to paint %s ms\n",
                 count, closedMs, closedHold, closedWhat.constData(), openMs, openHold, application.longestMs(),
                 application.longestWhat().constData(),
                 clicks.isEmpty() ? "-" : qPrintable(QString::number(*std::max_element(clicks.begin(), clicks.end()), 'f', 1)));
    std::printf("held: %.2f\n", application.longestMs());
    std::printf("held closed: %.2f\n", closedHold);
    std::printf("click to paint: %.2f\n", clicks.isEmpty() ? 0.0 : *std::max_element(clicks.begin(), clicks.end()));
    std::printf("open over closed: %.2f\n", openMs / std::max(1.0, closedMs));
    std::fflush(stdout);
    picker.reset();
    IconRenderer::setShared(nullptr);
    return 0;
}
