#include "ui/mapping/widgets/ContextPanelMappings.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderService.h"
#include "model/SvgIconImage.h"
#include "platform/Paths.h"
#include "support/TestSupport.h"
#include "ui/shared/ToolIcon.h"

#include <QEvent>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace velmor {
namespace {

using namespace std::chrono_literals;

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

RadiologyTool customTool(const QString& fileName)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = fileName;
    tool.systemIcon = QStringLiteral("ruler");
    tool.iconSource = ToolIconSource::custom;
    tool.customIcon = fileName;
    return tool;
}

// The window's thread paints images only: a tool list of custom icons shows the tools'
// symbols while the drawing process makes the images (the real one, on the real event
// loop), then repaints with them; an icon the check refuses keeps its symbol.
TEST(ToolListIcons, CustomIconsArePaintedWithoutDrawingAnSvgOnTheWindowsThread)
{
    QTemporaryDir support;
    QTemporaryDir cache;
    paths::setApplicationSupportOverride(support.path());
    test::writeFile(QDir(customIconsDirectory()).filePath("list-drawn.svg"),
                    R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M3 3h18v18H3z"/></svg>)");
    test::writeFile(QDir(customIconsDirectory()).filePath("list-refused.svg"), "<html/>");
    IconRenderService::Options options;
    options.program = VELMOR_ICON_RENDER;
    options.cacheDirectory = cache.path();
    options.limits.backstop = 60s; // the sanitized program on a busy machine
    IconRenderService service(options);
    IconRenderer::setShared(&service);
    setSvgWindowThread(QThread::currentThread());
    const auto restore = qScopeGuard([] {
        setSvgWindowThread(nullptr);
        IconRenderer::setShared(nullptr);
        customIconImageCache().removeAll();
        paths::setApplicationSupportOverride({});
    });
    const int rendersBefore = svgRendersOnWindowThread();
    const quint64 arrivalsBefore = CustomIconLibrary::shared().arrivals().get();

    {
        MappingsToolList list([](const RadiologyTool&) {}, [](const RadiologyTool&) {});
        PaintCounter counter;
        list.viewport()->installEventFilter(&counter);
        int paintsAtArrival = -1;
        const auto arrived = CustomIconLibrary::shared().arrivals().subscribe([&](quint64 count) {
            if (count > arrivalsBefore)
                paintsAtArrival = counter.paints;
        });
        list.resize(320, 300);
        list.setTools({ToolGroup{QStringLiteral("Tools"), {customTool("list-drawn.svg"), customTool("list-refused.svg")}}},
                      std::nullopt, {});
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        const QImage before = list.grab().toImage();
        // Read and hashed away from this thread, then drawn by the children.
        ASSERT_TRUE(QTest::qWaitFor([&] { return CustomIconLibrary::shared().lookupsUnderWay() == 0; }, 120'000));
        EXPECT_EQ(service.childrenStarted(), 2);
        EXPECT_EQ(CustomIconLibrary::shared().arrivals().get(), arrivalsBefore + 1);
        ASSERT_GE(paintsAtArrival, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > paintsAtArrival; }, 10'000));
        EXPECT_NE(list.grab().toImage(), before);
        const auto icon = [](const QString& name) {
            return resolveToolIcon({ToolIconSource::custom, name}, QString("ruler"));
        };
        EXPECT_TRUE(icon("list-drawn.svg").customImage);
        EXPECT_EQ(icon("list-refused.svg"), (ToolIconImage{std::nullopt, "ruler"}));
        EXPECT_EQ(service.childrenStarted(), 2); // each drawn once, however often painted
    }
    EXPECT_EQ(svgRendersOnWindowThread(), rendersBefore);

    // The check itself: the window's thread is refused, and the attempt counted.
    EXPECT_FALSE(renderSvgIcon(R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"/>)"));
    EXPECT_EQ(svgRendersOnWindowThread(), rendersBefore + 1);
}

} // namespace
} // namespace velmor
