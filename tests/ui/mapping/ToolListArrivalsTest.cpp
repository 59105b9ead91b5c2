#include "ui/mapping/widgets/ContextPanelMappings.h"

#include "model/CustomIconLibrary.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "ui/shared/widgets/ToolIconView.h"

#include <QDir>
#include <QPaintEvent>
#include <QTest>

namespace velmor {
namespace {

// What a widget painted: each paint's region.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    QList<QRegion> paints;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            paints.append(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
};

RadiologyTool tool(const QString& name, ToolIconSource source, const QString& icon)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = name;
    tool.systemIcon = QStringLiteral("ruler");
    tool.iconSource = source;
    tool.customIcon = source == ToolIconSource::custom ? icon : QString();
    if (source == ToolIconSource::system)
        tool.systemIcon = icon;
    return tool;
}

class ToolListArrivalsTest : public test::PlatformFixture {
protected:
    static constexpr const char* drawing =
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)";

    ToolListArrivalsTest()
    {
        for (const char* name : {"arrives a.svg", "arrives b.svg", "shown nowhere.svg"})
            test::writeFile(QDir(customIconsDirectory()).filePath(name), drawing);
        CustomIconLibrary::shared().iconFilesChanged();
    }
    bool settled()
    {
        return QTest::qWaitFor([&] {
            queue->runUntilIdle();
            return CustomIconLibrary::shared().lookupsUnderWay() == 0;
        }, 30'000);
    }

    test::InProcessIconRenderer renderer;
};

// An arriving drawing repaints the rows and views that show it, and nothing else: not the
// rows of symbols or of other icons, not a view of an icon that has not arrived.
TEST_F(ToolListArrivalsTest, AnArrivalRepaintsOnlyWhatShowsIt)
{
    MappingsToolList list([](const RadiologyTool&) {}, [](const RadiologyTool&) {});
    list.resize(320, 400);
    list.setTools({ToolGroup{QStringLiteral("Tools"),
                             {tool("A", ToolIconSource::custom, "arrives a.svg"),
                              tool("S", ToolIconSource::system, "trash"),
                              tool("Z", ToolIconSource::custom, "no file.svg"),
                              tool("B", ToolIconSource::custom, "arrives b.svg")}}},
                  std::nullopt, {});
    ToolIconView shown({ToolIconSource::custom, "arrives a.svg"}, std::nullopt, 20);
    ToolIconView other({ToolIconSource::custom, "no file.svg"}, std::nullopt, 20);
    list.show();
    shown.show();
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    QCoreApplication::processEvents(); // the first paints ask for the drawings
    ASSERT_TRUE(settled());
    QCoreApplication::processEvents();
    PaintRecorder listPaints(list.viewport());
    PaintRecorder shownPaints(&shown);
    PaintRecorder otherPaints(&other);
    const auto rowRect = [&](int row) { return list.visualRect(list.model()->index(row, 0)); };
    ASSERT_FALSE(rowRect(4).isEmpty()) << "the title and four rows in view";

    // An icon nothing shows arrives: nothing repaints.
    ASSERT_FALSE(CustomIconLibrary::shared().customIconImage("shown nowhere.svg"));
    ASSERT_TRUE(settled());
    ASSERT_TRUE(CustomIconLibrary::shared().customIconImage("shown nowhere.svg"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(listPaints.paints.isEmpty());
    EXPECT_TRUE(shownPaints.paints.isEmpty());
    EXPECT_TRUE(otherPaints.paints.isEmpty());

    // Every drawing gone (the list's two files replaced): all repaint, and ask again.
    for (const char* name : {"arrives a.svg", "arrives b.svg"})
        test::writeFile(QDir(customIconsDirectory()).filePath(name), QByteArray(drawing) + " ");
    CustomIconLibrary::shared().iconFilesChanged();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !otherPaints.paints.isEmpty() && !listPaints.paints.isEmpty(); }, 5'000));
    listPaints.paints.clear();
    shownPaints.paints.clear();
    otherPaints.paints.clear();

    // The list's two drawings arrive again: their rows repaint, and the view of one of them.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        queue->runUntilIdle();
        return CustomIconLibrary::shared().imageCache().image("arrives a.svg")
            && CustomIconLibrary::shared().imageCache().image("arrives b.svg") && !shownPaints.paints.isEmpty();
    }, 30'000));
    QCoreApplication::processEvents();
    QRegion painted;
    for (const QRegion& region : listPaints.paints)
        painted += region;
    EXPECT_TRUE(painted.intersects(rowRect(1))) << "row A";
    EXPECT_TRUE(painted.intersects(rowRect(4))) << "row B";
    EXPECT_FALSE(painted.intersects(rowRect(2))) << "the symbol's row";
    EXPECT_FALSE(painted.intersects(rowRect(3))) << "the row of an icon that did not arrive";
    EXPECT_TRUE(otherPaints.paints.isEmpty());
}

} // namespace
} // namespace velmor
