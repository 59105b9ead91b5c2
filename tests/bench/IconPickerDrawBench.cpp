// The custom icon picker over an Icons folder of distinct icons none of which is drawn
// yet (a restart with new icons), offscreen on the real Qt event loop, drawn by the real
// drawing program with a cache of this run's own. Prints the longest single hold of the
// window thread for the picker (events for its widgets and windows: input, layout, paint)
// from the click on "Custom" until every icon is drawn, and apart from it the longest hold
// of everything else (the drawing service's completions, the queue's work), each with the
// CPU time inside it; the time from a click into the search field to its paint while they
// draw; how fast the icons are drawn with the picker open and, with a cache and library of
// their own, closed. Then, all drawn, the longest hold of each key of "icon 17" typed into
// the search (until the grid has painted) and of opening the picker again.
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
#include <QWindow>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>

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

using Meter = bench::HoldMeter<QApplication>;

// The longest hold, and the CPU time inside it, from `input` until the loop has nothing
// more to do (the grid painted).
std::pair<double, double> holdOf(Meter& application, const std::function<void()>& input)
{
    application.restart();
    input();
    for (int turn = 0; turn < 5; ++turn) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
    return {application.longestMs(), application.longestCpuMs()};
}

std::unique_ptr<SFSymbolPicker> openPicker(const ToolIconSelection& selected)
{
    auto picker = std::make_unique<SFSymbolPicker>(selected);
    picker->resize(760, 620);
    picker->show();
    return picker;
}

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
    Meter application(argc, argv);
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
    auto picker = openPicker(ToolIconSelection{ToolIconSource::system, QStringLiteral("trash")});
    QCoreApplication::processEvents();
    auto* grid = picker->findChild<QListView*>(QStringLiteral("iconGrid"));
    auto* search = picker->findChild<QLineEdit*>(QStringLiteral("iconSearch"));
    auto* customScope = picker->findChild<QWidget*>(QStringLiteral("iconScope_custom"));
    if (!grid || !search || !customScope)
        qFatal("the picker has no grid, search field or custom library");
    QElapsedTimer clock;
    clock.start();
    // The picker's holds are those of events for widgets and windows; the rest (the drawing
    // service's completions and the queue's work) are measured apart.
    application.countOnly([](QObject* receiver, QEvent*) {
        return receiver && (receiver->isWidgetType() || receiver->isWindowType());
    });
    application.restart();
    QTest::mouseClick(customScope, Qt::LeftButton);
    if (grid->model()->rowCount() != count)
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
                 "\"Custom\" held %.1f ms; the picker's longest hold %.1f ms (CPU %.1f ms, %s), the rest's %.1f ms "
                 "(CPU %.1f ms, %s); click to paint %s ms\n",
                 count, closedMs, closedHold, closedWhat.constData(), openMs, openHold, application.longestMs(),
                 application.longestCpuMs(), application.longestWhat().constData(), application.othersMs(),
                 application.othersCpuMs(), application.othersWhat().constData(),
                 clicks.isEmpty() ? "-" : qPrintable(QString::number(*std::max_element(clicks.begin(), clicks.end()), 'f', 1)));
    std::printf("held: %.2f\n", application.longestMs());
    std::printf("held cpu: %.2f\n", application.longestCpuMs());
    std::printf("service held: %.2f\n", application.othersMs());
    std::printf("service held cpu: %.2f\n", application.othersCpuMs());
    std::printf("held closed: %.2f\n", closedHold);
    std::printf("click to paint: %.2f\n", clicks.isEmpty() ? 0.0 : *std::max_element(clicks.begin(), clicks.end()));
    std::printf("open over closed: %.2f\n", openMs / std::max(1.0, closedMs));

    // All drawn: "icon 17" typed one key at a time, each key's longest hold until painted.
    application.countOnly({});
    std::pair<double, double> keystroke{0, 0};
    for (const QChar key : QStringLiteral("icon 17")) {
        const auto hold = holdOf(application, [&] { QTest::keyClick(search, key.toLatin1()); });
        std::fprintf(stderr, "key '%c': held %.1f ms (CPU %.1f ms), %d cells\n", key.toLatin1(), hold.first,
                     hold.second, grid->model()->rowCount());
        keystroke = std::max(keystroke, hold);
    }
    if (grid->model()->rowCount() >= count) // none match below 1,700 icons
        qFatal("the search did not filter the icons");
    picker.reset();
    // Opened again on a custom icon, every drawing known.
    const auto reopen = holdOf(application, [&] { picker = openPicker({ToolIconSource::custom, iconName(17)}); });
    std::fprintf(stderr, "opened again: held %.1f ms (CPU %.1f ms)\n", reopen.first, reopen.second);
    std::printf("keystroke held: %.2f\n", keystroke.first);
    std::printf("keystroke held cpu: %.2f\n", keystroke.second);
    std::printf("reopen held: %.2f\n", reopen.first);
    std::printf("reopen held cpu: %.2f\n", reopen.second);
    std::fflush(stdout);
    picker.reset();
    IconRenderer::setShared(nullptr);
    return 0;
}
