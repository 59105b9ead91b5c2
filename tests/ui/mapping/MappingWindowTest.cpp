// The mapping window driven through its widgets: canvas clicks and drops, the
// rail, the alert banner, the toolbar and layout overrides.

#include "MappingViewFixture.h"

#include "../shared/FocusWalk.h"

#include "platform/Text.h"
#include "store/ProfileStore.h"
#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/CenterColumn.h"
#include "ui/mapping/widgets/DeviceCanvas.h"
#include "ui/mapping/widgets/ContextPanelMappings.h"
#include "ui/mapping/widgets/ToolListItem.h"

#include <QDropEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QToolButton>
#include <QMimeData>
#include <QPaintEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QTextDocument>
#include <QToolTip>

namespace velmor::test {
namespace {

class MappingWindowTest : public MappingViewFixture {
protected:
    DeviceCanvas& canvas() { return *view->centerColumn()->canvas(); }

    void clickCanvasButton(const QString& buttonId)
    {
        const QRectF rect = canvas().buttonRect(buttonId);
        ASSERT_FALSE(rect.isEmpty()) << buttonId.toStdString();
        QTest::mouseClick(&canvas(), Qt::LeftButton, {}, rect.center().toPoint());
        settle();
    }

    std::optional<QString> canvasToolName(const QString& buttonId)
    {
        for (const canvasLayout::Button& button : canvas().buttons())
            if (button.button.id == buttonId)
                return button.tool ? std::optional<QString>(button.tool->name) : std::nullopt;
        return std::nullopt;
    }

    // Clicks a tool row of the mappings panel, away from its star.
    void clickToolRow(const RadiologyTool& tool)
    {
        auto* panel = static_cast<ContextPanelMappings*>(view->findChild<QWidget*>(QStringLiteral("mappingsPanel")));
        ASSERT_TRUE(panel);
        QListView* list = panel->toolList();
        const QList<ToolListRow>& rows = panel->toolModel().rows();
        const auto row = std::find_if(rows.cbegin(), rows.cend(), [&](const ToolListRow& r) { return r.tool.id == tool.id; });
        ASSERT_NE(row, rows.cend());
        const QModelIndex index = panel->toolModel().index(static_cast<int>(row - rows.cbegin()));
        list->scrollTo(index);
        const QRect rect = list->visualRect(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.center().x(), rect.top() + 20));
        settle();
    }

    // The largest difference of a colour channel between two pictures of one size.
    static int largestDifference(const QImage& a, const QImage& b)
    {
        if (a.size() != b.size())
            return 255;
        const QImage x = a.convertToFormat(QImage::Format_ARGB32);
        const QImage y = b.convertToFormat(QImage::Format_ARGB32);
        int largest = 0;
        for (int row = 0; row < x.height(); ++row)
            for (int column = 0; column < x.width(); ++column) {
                const QRgb p = x.pixel(column, row);
                const QRgb q = y.pixel(column, row);
                largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            }
        return largest;
    }

    bool sendDrop(const QString& text, const QString& buttonId)
    {
        QMimeData data;
        data.setText(text);
        const QPointF at = canvas().buttonRect(buttonId).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&canvas(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&canvas(), &drop);
        settle();
        return drop.isAccepted();
    }
};

TEST_F(MappingWindowTest, ClickingACanvasButtonThenAToolMapsIt)
{
    ASSERT_EQ(state().activeDevice.id, keypad);
    const RadiologyTool pan = tool("Pan");
    settle();
    EXPECT_EQ(canvasToolName("K01"), std::nullopt);

    clickCanvasButton("K01");
    EXPECT_EQ(state().selectedButtonId, "K01");
    EXPECT_TRUE(toolsOn("K01").isEmpty()) << "a click only selects";
    clickCanvasButton("K02");
    EXPECT_EQ(state().selectedButtonId, "K02") << "the selection moves to the clicked button";
    clickCanvasButton("K01");

    clickToolRow(pan);
    EXPECT_EQ(toolsOn("K01"), QList<QUuid>{pan.id});
    EXPECT_EQ(canvasToolName("K01"), "Pan");
    EXPECT_EQ(find<QLabel>(QStringLiteral("buttonStatus"))->text(), "Button selected");
}

// A change of the window's state repaints only the canvas buttons it changes,
// and the window then shows what a full repaint shows: no part of a button is
// left as it was drawn before. A change that leaves every button as it is
// repaints nothing.
TEST_F(MappingWindowTest, TheCanvasRepaintsOnlyTheButtonsAChangeChanges)
{
    auto device = plugKeypad();
    settle();
    QRegion painted;
    struct PaintSpy : QObject {
        QRegion& region;
        explicit PaintSpy(QRegion& r) : region(r) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                region += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } spy(painted);
    canvas().installEventFilter(&spy);
    const auto shownCanvas = [&] {
        settle();
        const QRect where(canvas().mapTo(view.get(), QPoint(0, 0)), canvas().size());
        return view->screen()->grabWindow(view->winId()).toImage().copy(where);
    };
    const QImage before = shownCanvas();
    painted = {};

    map("K01", tool("Pan").id);
    const QImage incremental = shownCanvas();
    const QRect k01 = canvas().buttonRect("K01").toAlignedRect();
    EXPECT_TRUE(painted.contains(k01));
    EXPECT_FALSE(painted.contains(canvas().buttonRect("K10").toAlignedRect())) << "a button far from K01";
    EXPECT_NE(incremental, before);
    canvas().update();
    EXPECT_LE(largestDifference(shownCanvas(), incremental), 2) << "beyond the background's dithering";

    // A press glows beyond the button's edge.
    device->sendValue(keypadKey(2), 1);
    const QImage glowing = shownCanvas();
    ASSERT_EQ(state().pressedButtonId, "K02");
    canvas().update();
    EXPECT_LE(largestDifference(shownCanvas(), glowing), 2);

    painted = {};
    controller->setMappingSearchText(QStringLiteral("Pan"));
    settle();
    EXPECT_TRUE(painted.isEmpty());
    canvas().removeEventFilter(&spy);
}

// A tool's name from another machine, with markup in it: the canvas tooltip and
// the tool list's tooltip show it as the text it is.
TEST_F(MappingWindowTest, TooltipsShowANameWithMarkupAsText)
{
    const QString name = QStringLiteral("<b>Zoom</b> <a href=\"https://example.org/\">In</a>");
    const RadiologyTool zoom = tool(name);
    map("K01", zoom.id);
    settle();
    // What a tooltip label shows of a text Qt reads as markup.
    const auto shown = [](const QString& tip) {
        QTextDocument document;
        document.setHtml(tip);
        return Qt::mightBeRichText(tip) ? document.toPlainText() : tip;
    };

    QHelpEvent help(QEvent::ToolTip, canvas().buttonRect("K01").center().toPoint(), QCursor::pos());
    QApplication::sendEvent(&canvas(), &help);
    EXPECT_TRUE(shown(QToolTip::text()).endsWith(": " + text::displayName(name))) << QToolTip::text().toStdString();
    QToolTip::hideText();

    auto* panel = static_cast<ContextPanelMappings*>(view->findChild<QWidget*>(QStringLiteral("mappingsPanel")));
    ASSERT_TRUE(panel);
    const MappingToolListModel& rows = panel->toolModel();
    QString listTip;
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.index(row).data().toString() == name)
            listTip = rows.index(row).data(Qt::ToolTipRole).toString();
    }
    EXPECT_TRUE(shown(listTip).startsWith(text::displayName(name) + ": ")) << listTip.toStdString();
}

TEST_F(MappingWindowTest, DroppingAToolPayloadOnAButtonMapsIt)
{
    const RadiologyTool zoom = tool("Zoom");
    settle();
    EXPECT_TRUE(sendDrop(toolDragText(zoom.id), "K03"));
    EXPECT_EQ(toolsOn("K03"), QList<QUuid>{zoom.id});
    EXPECT_EQ(state().selectedButtonId, "K03");

    EXPECT_FALSE(sendDrop(QStringLiteral("zoom"), "K04")) << "only tool payloads are taken";
    EXPECT_FALSE(sendDrop(toolDragText(QUuid::createUuid()), "K04")) << "a tool the profile lacks maps nothing";
    EXPECT_TRUE(toolsOn("K04").isEmpty());
}

// A Tab walk of the mapping window: every stop shows the focus, its own buttons included.
TEST_F(MappingWindowTest, EveryTabStopShowsTheFocus)
{
    const FocusRing ring(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    view->resize(1366, 768);
    QStringList names;
    for (const QWidget* stop : expectEveryTabStopShowsFocus(*view, ring))
        names.append(stop->objectName());
    for (const char* control : {"toolSearch", "toolList", "swap", "copy"})
        EXPECT_TRUE(names.contains(QLatin1String(control))) << control << " in " << names.join(", ").toStdString();
}

TEST_F(MappingWindowTest, TheRailSwitchesPanelsAndDimsTheCanvasOutsideMappings)
{
    auto* panels = find<QStackedWidget>(QStringLiteral("contextPanels"));
    EXPECT_EQ(panels->currentIndex(), 2) << "the window opens on the mappings panel";
    EXPECT_EQ(view->centerColumn()->canvasOpacity(), 1.0);

    click(QStringLiteral("mode-profiles"));
    EXPECT_EQ(state().selectedMode, MappingMode::profiles);
    EXPECT_EQ(panels->currentIndex(), 0);
    EXPECT_NEAR(view->centerColumn()->canvasOpacity(), 0.92, 1e-9);
    click(QStringLiteral("mode-profiles"));
    EXPECT_EQ(state().selectedMode, MappingMode::profiles) << "the selected mode's button keeps it";
    click(QStringLiteral("mode-system"));
    EXPECT_EQ(panels->currentIndex(), 3);

    int adminOpened = 0;
    controller->requests.openAdmin = [&] { ++adminOpened; };
    click(QStringLiteral("tools"));
    EXPECT_EQ(adminOpened, 1);
    EXPECT_EQ(state().selectedMode, MappingMode::system) << "the Tools button changes no mode";
    click(QStringLiteral("mode-mappings"));
    EXPECT_EQ(view->centerColumn()->canvasOpacity(), 1.0);

    QStringList tips;
    for (const char* name : {"mode-profiles", "mode-devices", "mode-mappings", "mode-system", "tools"})
        tips.append(find(QString::fromLatin1(name))->toolTip());
    EXPECT_EQ(tips, (QStringList{"Profiles", "Devices", "Mappings", "System", "Tools"}));
}

TEST_F(MappingWindowTest, TheBannerLeavesFiveSecondsAfterItsAlertAndANewerAlertKeepsItsTime)
{
    using namespace std::chrono_literals;
    auto* banner = find(QStringLiteral("alertBanner"));
    EXPECT_FALSE(banner->isVisible());
    model->presentAlert("First", "one", AlertMessage::Severity::warning);
    settle();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("alertTitle"))->text(), "First");
    EXPECT_EQ(banner->y(), 0);
    EXPECT_EQ(banner->width(), view->width() - 40);

    queue->advance(3000ms);
    model->presentAlert("Second", "two", AlertMessage::Severity::error);
    settle();
    EXPECT_EQ(find<QLabel>(QStringLiteral("alertMessage"))->text(), "two");
    queue->advance(2500ms);
    settle();
    EXPECT_TRUE(banner->isVisible()) << "the second alert is not cut short by the first one's timer";
    queue->advance(2500ms);
    settle();
    EXPECT_FALSE(banner->isVisible());

    model->presentAlert("Third", "three", AlertMessage::Severity::info);
    settle();
    click(QStringLiteral("dismissAlert"));
    EXPECT_FALSE(banner->isVisible());
    EXPECT_EQ(model->alertMessage().get(), std::nullopt);
}

TEST_F(MappingWindowTest, ALayoutOverrideMovesTheCanvasButton)
{
    const QRectF before = canvas().buttonRect("K01");
    model->setOverlayFrame(NormalizedRect{0.5, 0.5, 0.2, 0.2}, "K01", keypad);
    settle();
    const QRectF after = canvas().buttonRect("K01");
    EXPECT_NE(after, before);
    const QRectF area = canvas().canvasRect();
    EXPECT_NEAR(after.left(), area.left() + 0.5 * area.width(), 1e-6);
    EXPECT_NEAR(after.width(), 0.2 * area.width(), 1e-6);
}

TEST_F(MappingWindowTest, ToolbarFollowsTheEditsAndOffersTheTemplates)
{
    const RadiologyTool pan = tool("Pan");
    settle();
    EXPECT_FALSE(find(QStringLiteral("undo"))->isEnabled());
    EXPECT_FALSE(find(QStringLiteral("clear"))->isEnabled());
    clickCanvasButton("K05");
    clickToolRow(pan);
    EXPECT_TRUE(find(QStringLiteral("undo"))->isEnabled());
    EXPECT_TRUE(find(QStringLiteral("clear"))->isEnabled());
    EXPECT_TRUE(find<QLabel>(QStringLiteral("savedState"))->text().startsWith(QStringLiteral("Saved ")));
    click(QStringLiteral("undo"));
    EXPECT_TRUE(toolsOn("K05").isEmpty());
    EXPECT_FALSE(find(QStringLiteral("undo"))->isEnabled());

    prompter.queueAnswer(QStringLiteral("Cancel"));
    map("K06", pan.id);
    settle();
    click(QStringLiteral("clear"));
    EXPECT_EQ(questionTitles().last(), "Clear all mappings?");
    EXPECT_EQ(toolsOn("K06"), QList<QUuid>{pan.id});

    const int fetches = cloud.callCount(cloud::MemoryCloud::Call::fetchRecord);
    click(QStringLiteral("syncNow"));
    EXPECT_EQ(cloud.callCount(cloud::MemoryCloud::Call::fetchRecord), fetches + 1) << "Sync Now fetches the profiles";

    auto* picker = find<QToolButton>(QStringLiteral("devicePicker"));
    QStringList names;
    for (const QAction* action : picker->menu()->actions())
        names.append(action->text());
    EXPECT_EQ(names,
              (QStringList{text::displayName("Razer Tartarus V2 / Pro"), text::displayName("Philips SpeechMike")}));
    EXPECT_EQ(picker->text(), text::displayName("Razer Tartarus V2 / Pro"));
    plugKeypad();
    settle();
    EXPECT_EQ(find<QLabel>(QStringLiteral("connectionState"))->text(), "Keypad");
}

TEST_F(MappingWindowTest, UndoLeavesTheKeyboardFocusWhereItWasNotInAFilterField)
{
    const RadiologyTool pan = tool("Pan");
    settle();
    QApplication::setActiveWindow(view.get());
    clickCanvasButton("K05");
    clickToolRow(pan);
    QWidget* list = find(QStringLiteral("toolList"));
    list->setFocus();
    settle();
    ASSERT_EQ(QApplication::focusWidget(), list);
    click(QStringLiteral("undo"));
    EXPECT_TRUE(toolsOn("K05").isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), list) << "a click on Undo takes no focus";

    // Reached with the keyboard, Undo turns disabled under the focus: the focus stays in the toolbar.
    clickToolRow(pan);
    auto* undo = find(QStringLiteral("undo"));
    undo->setFocus();
    settle();
    QTest::keyClick(undo, Qt::Key_Space);
    settle();
    EXPECT_TRUE(toolsOn("K05").isEmpty());
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(focused);
    EXPECT_NE(focused->objectName(), "mappingFilter");
    EXPECT_NE(focused->objectName(), "toolSearch");
    EXPECT_TRUE(find(QStringLiteral("topToolbar"))->isAncestorOf(focused)) << focused->objectName().toStdString();
    EXPECT_FALSE(state().mappingSearchFocused);
    EXPECT_FALSE(state().searchFocused);
}

} // namespace
} // namespace velmor::test
