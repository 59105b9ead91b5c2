#include "ui/shared/ToolIcon.h"
#include "ui/shared/widgets/ToolIconView.h"

#include "model/CustomIconLibrary.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace velmor {
namespace {

class ToolIconTest : public test::PlatformFixture {
protected:
    void writeIcon(const QString& fileName, const QByteArray& svg)
    {
        QDir().mkpath(customIconsDirectory());
        test::writeFile(QDir(customIconsDirectory()).filePath(fileName), svg);
    }

    static RadiologyTool tool(ToolIconSource source, std::optional<QString> customIcon)
    {
        RadiologyTool tool;
        tool.systemIcon = QStringLiteral("magnifyingglass");
        tool.iconSource = source;
        tool.customIcon = std::move(customIcon);
        return tool;
    }

    // Drawn once the renderer has answered on the main queue.
    ToolIconImage resolved(const ToolIconSelection& selection, const std::optional<QString>& fallback)
    {
        resolveToolIcon(selection, fallback, library);
        queue->runUntilIdle();
        return resolveToolIcon(selection, fallback, library);
    }

    test::InProcessIconRenderer renderer;
    CustomIconLibrary library; // fresh: its cache starts empty
};

const QByteArray wideSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">
<rect width="200" height="100" fill="black"/></svg>)";

TEST_F(ToolIconTest, SelectionFollowsTheToolsSourceOnlyWithANamedCustomIcon)
{
    using S = ToolIconSource;
    EXPECT_EQ(toolIconSelection(tool(S::custom, "ct.svg")), (ToolIconSelection{S::custom, "ct.svg"}));
    EXPECT_EQ(toolIconSelection(tool(S::custom, "")), (ToolIconSelection{S::system, "magnifyingglass"}));
    EXPECT_EQ(toolIconSelection(tool(S::custom, std::nullopt)), (ToolIconSelection{S::system, "magnifyingglass"}));
    EXPECT_EQ(toolIconSelection(tool(S::system, "ct.svg")), (ToolIconSelection{S::system, "magnifyingglass"}));
}

TEST_F(ToolIconTest, AnUnloadableCustomIconDrawsItsFallbackEvenAnEmptyOne)
{
    const ToolIconSelection gone{ToolIconSource::custom, "gone.svg"};
    EXPECT_EQ(resolveToolIcon(gone, QString("magnifyingglass"), library).symbol, "magnifyingglass");
    EXPECT_EQ(resolveToolIcon(gone, QString(""), library), (ToolIconImage{std::nullopt, ""}));
    EXPECT_EQ(resolveToolIcon(gone, std::nullopt, library).symbol, "questionmark.square");

    // A system source draws its own name, whatever custom icon shares it.
    writeIcon("ruler", wideSvg);
    EXPECT_EQ(resolveToolIcon({ToolIconSource::system, "ruler"}, std::nullopt, library),
              (ToolIconImage{std::nullopt, "ruler"}));

    // Until its image is drawn, a custom icon shows its fallback.
    writeIcon("ct.svg", wideSvg);
    EXPECT_EQ(resolveToolIcon({ToolIconSource::custom, "ct.svg"}, QString("ruler"), library).symbol, "ruler");
    EXPECT_TRUE(resolved({ToolIconSource::custom, "ct.svg"}, std::nullopt).customImage);
}

TEST_F(ToolIconTest, ACustomImageIsFittedCentredAndDrawnInTheIconColour)
{
    writeIcon("wide.svg", wideSvg);
    const ToolIconImage icon = resolved({ToolIconSource::custom, "wide.svg"}, std::nullopt);
    ASSERT_TRUE(icon.customImage);

    QImage canvas(40, 40, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        ToolIconView::paint(painter, QRectF(0, 0, 40, 40), icon, QColor(255, 0, 0));
    }
    // 2:1 fitted into 40×40 is 40×20, centred: rows 10 to 29 filled, red; the rest empty.
    EXPECT_EQ(canvas.pixelColor(20, 20), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(0, 15), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(39, 25), QColor(255, 0, 0));
    EXPECT_EQ(canvas.pixelColor(20, 5).alpha(), 0);
    EXPECT_EQ(canvas.pixelColor(20, 34).alpha(), 0);
}

TEST_F(ToolIconTest, ViewOfAToolFallsBackToTheToolsSymbol)
{
    ToolIconView view(tool(ToolIconSource::custom, "missing-icon-of-a-test.svg"), 28);
    EXPECT_EQ(view.sizeHint(), QSize(28, 28));
    EXPECT_EQ(view.fallbackSystemName(), QString("magnifyingglass"));
    EXPECT_EQ(view.image().symbol, "magnifyingglass");
}

} // namespace
} // namespace velmor
