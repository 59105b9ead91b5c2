#include "ui/admin/widgets/AdminPacsProfileSection.h"
#include "platform/Text.h"
#include "ui/admin/widgets/AdminView.h"
#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/admin/widgets/ToggleEditorSheet.h"
#include "ui/admin/widgets/ToolInspector.h"
#include "ui/admin/widgets/ToolsListRow.h"

#include "support/AppModelFixture.h"
#include "../shared/FocusWalk.h"
#include "../shared/ListPlace.h"
#include "model/CustomIconLibrary.h"
#include "support/InProcessIconRenderer.h"
#include "ui/shared/ScriptedPrompter.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSlider>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

#include <algorithm>

namespace velmor {
namespace {

using M = KeyboardShortcut::Modifiers;

class AdminViewTest : public test::AppModelFixture {
protected:
    void open()
    {
        start();
        view = std::make_unique<AdminView>(*model, prompter);
        tester = std::make_unique<QAbstractItemModelTester>(&view->toolListModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::Fatal);
        view->show();
        settle();
    }
    void settle()
    {
        for (int round = 0; round < 5; ++round) {
            queue->runUntilIdle();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    template <typename T = QWidget>
    T* find(const char* name, QObject* in = nullptr)
    {
        T* widget = (in ? in : static_cast<QObject*>(view.get()))->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(widget) << name;
        return widget;
    }
    void click(const char* name, QWidget* in = nullptr)
    {
        if (auto* widget = find(name, in))
            QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        settle();
    }
    RadiologyTool selected() { return *view->controller().state().get().selectedTool; }
    RadiologyTool stored(const QUuid& id)
    {
        for (const RadiologyTool& tool : store().activePacsProfile().tools)
            if (tool.id == id)
                return tool;
        ADD_FAILURE() << "no stored tool";
        return {};
    }

    ScriptedPrompter prompter;
    std::unique_ptr<AdminView> view;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(AdminViewTest, ANewToolIsEditedThroughTheInspectorAndDeletedAfterConfirming)
{
    open();
    // 1280 × 720, never larger than the screen (the offscreen one is smaller).
    EXPECT_EQ(view->size(), QSize(1280, 720).boundedTo(QGuiApplication::primaryScreen()->availableSize()));
    EXPECT_EQ(view->windowTitle(), "Admin / Tools");
    const qsizetype before = store().activePacsProfile().tools.size();
    click("newTool");
    ASSERT_EQ(store().activePacsProfile().tools.size(), before + 1);
    const QUuid id = store().activePacsProfile().tools.last().id;
    EXPECT_EQ(selected().id, id);

    auto* name = find<QLineEdit>("toolName");
    EXPECT_EQ(name->text(), "New Tool");
    name->selectAll();
    QTest::keyClicks(name, "Cine");
    EXPECT_EQ(stored(id).name, "Cine") << "each keystroke is stored at once";
    click("category_Mammo");
    EXPECT_EQ(stored(id).category, ToolCategory::mammo);

    QWidget* field = find("shortcutField", &view->inspector());
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
    settle();
    EXPECT_EQ(stored(id).shortcut, (KeyboardShortcut{40, "k", M::control}));
    EXPECT_EQ(stored(id).name, "Cine");
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_Escape);
    settle();
    EXPECT_EQ(stored(id).shortcut, (KeyboardShortcut{40, "k", M::control}));
    QWidget* clearShortcut = find("clearToolShortcut");
    EXPECT_GE(clearShortcut->width() - clearShortcut->fontMetrics().horizontalAdvance("Clear Shortcut"),
              2 * PaddedButton::textPadding)
        << "the text keeps off the button's edges";
    click("clearToolShortcut");
    EXPECT_FALSE(stored(id).shortcut);

    prompter.queueAnswer("Delete");
    click("deleteTool");
    EXPECT_EQ(store().activePacsProfile().tools.size(), before);
    EXPECT_EQ(prompter.questionTitles(), QStringList({"Delete tool?"}));
}

TEST_F(AdminViewTest, SearchRowsAndSwitchesDriveTheStore)
{
    open();
    QTest::keyClicks(find<QLineEdit>("toolSearch"), "zzzz-no-such-tool");
    settle();
    EXPECT_EQ(view->toolListModel().rowCount(), 0);
    EXPECT_TRUE(find("inspectorPlaceholder")->isVisible());
    EXPECT_FALSE(find("duplicateTool")->isEnabled());

    find<QLineEdit>("toolSearch")->clear();
    QTest::keyClicks(find<QLineEdit>("toolSearch"), "");
    view->controller().setSearchText("");
    settle();
    const int rows = view->toolListModel().rowCount();
    ASSERT_GE(rows, 2);
    EXPECT_EQ(rows, store().activePacsProfile().tools.size());

    auto* list = find<QListView>("toolList");
    const QRect second = list->visualRect(view->toolListModel().index(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center() - QPoint(60, 0));
    settle();
    const RadiologyTool tool = view->toolListModel().tool(1);
    EXPECT_EQ(selected().id, tool.id);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, ToolsListRow::switchRect(second).center());
    settle();
    EXPECT_EQ(stored(tool.id).enabled, !tool.enabled);
    RadiologyTool expected = tool;
    expected.enabled = !tool.enabled;
    EXPECT_EQ(stored(tool.id), expected) << "the switch changes nothing else";
}

// Scrolled to the end of 5,000 tools, switching tools off by their switches and
// another machine's change keep the rows shown and the selected tool; the same
// spot clicked again is the same tool's switch.
TEST_F(AdminViewTest, ALongListKeepsItsPlaceAndSelectionThroughEditsAndArrivals)
{
    open();
    const QList<RadiologyTool> bulk = addBulkTools(5'000);
    settle();
    auto* list = find<QListView>("toolList");
    test::scrollToEnd(*list);
    ASSERT_FALSE(view->toolListModel().canFetchMore({}));
    const QStringList shown = test::shownRows(*list);
    ASSERT_TRUE(shown.contains(QStringLiteral("Bulk tool 4995"))) << shown.join(", ").toStdString();
    const QUuid selection = selected().id;

    const QPoint spot = ToolsListRow::switchRect(list->visualRect(view->toolListModel().index(view->toolListModel().rowOf(bulk.at(4'995).id)))).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, spot);
    settle();
    EXPECT_FALSE(stored(bulk.at(4'995).id).enabled);
    EXPECT_EQ(test::shownRows(*list), shown);
    EXPECT_EQ(selected().id, selection);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, spot);
    settle();
    EXPECT_TRUE(stored(bulk.at(4'995).id).enabled) << "the second click is on the same tool's switch";
    for (const RadiologyTool& tool : bulk.mid(0, 4'900))
        ASSERT_TRUE(stored(tool.id).enabled) << tool.name.toStdString();
    EXPECT_EQ(test::shownRows(*list), shown);

    // Another machine adds a tool at the top and renames one far up.
    changeActiveToolsElsewhere([&](QList<RadiologyTool>& tools) {
        for (RadiologyTool& tool : tools)
            if (tool.id == bulk.at(10).id)
                tool.name = QStringLiteral("Renamed far up");
        RadiologyTool first;
        first.id = QUuid::createUuid();
        first.name = QStringLiteral("New first tool");
        tools.prepend(first);
    });
    settle();
    EXPECT_EQ(stored(bulk.at(10).id).name, "Renamed far up");
    EXPECT_EQ(test::shownRows(*list), shown);
    EXPECT_EQ(selected().id, selection);
}

// In 5,000 tools at 1366 x 768, scrolled to the end and to the middle, the tool
// under the pointer stays under it, at the same height, through every arrival.
TEST_F(AdminViewTest, TheRowUnderThePointerStaysThroughEveryArrival)
{
    open();
    view->resize(1366, 768);
    addBulkTools(5'000);
    settle();
    auto* list = find<QListView>("toolList");
    const test::ArrivingList arriving{*list,
                                      [this](const std::function<void(QList<RadiologyTool>&)>& change) {
                                          changeActiveToolsElsewhere(change);
                                          settle();
                                      },
                                      [this] { return view->controller().state().get().selectedToolId; },
                                      [this] { return store().activePacsProfile().tools; },
                                      [this] { settle(); }};
    {
        SCOPED_TRACE("at the end");
        test::scrollToEnd(*list);
        test::expectThePointedRowStays(arriving);
    }
    SCOPED_TRACE("in the middle");
    test::scrollToRow(*list, 2'600);
    test::expectThePointedRowStays(arriving);
}

// A Tab walk of Admin / Tools: every stop shows the focus (its picture differs
// from the same widget's without it), and Space acts on the focused button once.
TEST_F(AdminViewTest, EveryTabStopShowsTheFocusAndSpaceActsOnIt)
{
    open();
    const FocusRing ring(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    view->resize(1366, 768);
    const QList<QWidget*> stops = test::expectEveryTabStopShowsFocus(*view, ring);
    QStringList names;
    for (const QWidget* stop : std::as_const(stops))
        names.append(stop->objectName());
    for (const char* button : {"newTool", "newToggle", "newPacs", "duplicateTool", "deleteTool"})
        EXPECT_TRUE(names.contains(QLatin1String(button))) << button << " in " << names.join(", ").toStdString();

    // Tab onto "Duplicate", then Space: the selected tool is duplicated once.
    while (QApplication::focusWidget()->objectName() != QLatin1String("duplicateTool"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const RadiologyTool original = selected();
    const qsizetype count = store().activePacsProfile().tools.size();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    settle();
    EXPECT_EQ(store().activePacsProfile().tools.size(), count + 1);
    EXPECT_EQ(selected().name, original.name + " Copy");
}

// The toggle editor sheet shows the focus at every Tab stop too.
TEST_F(AdminViewTest, EveryTabStopOfASheetShowsTheFocus)
{
    open();
    const FocusRing ring(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    click("newToggle");
    ToggleEditorSheet* sheet = view->toggleEditor();
    ASSERT_TRUE(sheet);
    click("addStep", sheet);
    EXPECT_GE(test::expectEveryTabStopShowsFocus(*sheet->window(), ring).size(), 3);
}

TEST_F(AdminViewTest, ANewToggleIsRecordedInTheSheetAndSaved)
{
    open();
    click("newToggle");
    ToggleEditorSheet* sheet = view->toggleEditor();
    ASSERT_TRUE(sheet);
    click("addStep", sheet);
    click("addStep", sheet);
    QWidget* firstField = find("step_0", sheet)->findChild<QWidget*>("shortcutField");
    QTest::mouseClick(firstField, Qt::LeftButton);
    QTest::keyClick(firstField, Qt::Key_F5);
    settle();
    click("saveToggle", sheet);
    EXPECT_FALSE(view->toggleEditor());
    const RadiologyTool toggle = store().activePacsProfile().tools.last();
    EXPECT_EQ(toggle.name, "New Toggle");
    EXPECT_EQ(toggle.toggleShortcuts, (QList<KeyboardShortcut>{{96, "F5", M{}}}));
    EXPECT_EQ(selected().id, toggle.id);
    EXPECT_EQ(find<QLabel>("toggleSteps")->text(), "1 steps");
}

// Return in the name field saves the sheet with all it holds; Return in the icon
// search field opens no folder and closes nothing.
TEST_F(AdminViewTest, ReturnSavesTheNewToggleAndDoesNothingInTheIconSearch)
{
    open();
    click("newToggle");
    ToggleEditorSheet* sheet = view->toggleEditor();
    ASSERT_TRUE(sheet);
    auto* name = find<QLineEdit>("toggleName", sheet);
    name->selectAll();
    QTest::keyClicks(name, "Phase");
    click("addStep", sheet);
    QWidget* field = find("step_0", sheet)->findChild<QWidget*>("shortcutField");
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    settle();

    click("browseToggleIcons", sheet);
    auto* picker = dynamic_cast<SFSymbolPicker*>(sheet->iconPicker());
    ASSERT_TRUE(picker);
    int opened = 0;
    picker->controller().openUrl = [&opened](const QUrl&) { return ++opened > 0; };
    click("iconScope_custom", picker);
    auto* search = find<QLineEdit>("iconSearch", picker);
    search->setFocus();
    QTest::keyClicks(search, "ct");
    QTest::keyClick(search, Qt::Key_Return);
    settle();
    EXPECT_EQ(opened, 0) << "Return is no way to the icons folder";
    EXPECT_EQ(sheet->iconPicker(), picker) << "nor does it close the picker";
    ASSERT_EQ(view->toggleEditor(), sheet);
    click("cancelIconPicker", picker);

    const qsizetype before = store().activePacsProfile().tools.size();
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    settle();
    EXPECT_FALSE(view->toggleEditor());
    ASSERT_EQ(store().activePacsProfile().tools.size(), before + 1);
    const RadiologyTool toggle = store().activePacsProfile().tools.last();
    EXPECT_EQ(toggle.name, "Phase");
    ASSERT_EQ(toggle.toggleShortcuts.value_or(QList<KeyboardShortcut>()).size(), 1);
    EXPECT_EQ(toggle.toggleShortcuts->first().keyCode, 40);
    EXPECT_EQ(toggle.toggleShortcuts->first().modifiers, M::control | M::shift);
}

// The texts of a row, left to right, as the user reads them.
QStringList textsLeftToRight(QWidget* row)
{
    QList<QLabel*> labels = row->findChildren<QLabel*>();
    std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->x() < b->x(); });
    QStringList texts;
    for (QLabel* label : labels)
        texts.append(label->text());
    return texts;
}

// "Repeat speed" names the slider between "Slow" and "Fast", in the inspector
// and in the toggle editor; the row shows only while the tool repeats on hold.
TEST_F(AdminViewTest, TheRepeatSpeedSliderIsLabelledInBothEditors)
{
    open();
    click("newTool");
    auto* speed = find<QSlider>("repeatSpeed");
    click("advancedToggle");
    EXPECT_FALSE(speed->isVisibleTo(view.get()));
    find<QAbstractButton>("repeatOnHold")->click();
    settle();
    ASSERT_TRUE(speed->isVisibleTo(view.get()));
    EXPECT_EQ(textsLeftToRight(speed->parentWidget()), QStringList({"Repeat speed", "Slow", "Fast"}));
    const auto labels = speed->parentWidget()->findChildren<QLabel*>();
    const auto slow = std::find_if(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == "Slow"; });
    EXPECT_LT((*slow)->geometry().right(), speed->geometry().left());
    speed->setValue(80);
    settle();
    EXPECT_DOUBLE_EQ(selected().repeatSpeed, 0.8);

    click("newToggle");
    ToggleEditorSheet* sheet = view->toggleEditor();
    ASSERT_TRUE(sheet);
    auto* toggleSpeed = find<QSlider>("toggleRepeatSpeed", sheet);
    find<QAbstractButton>("toggleRepeatOnHold", sheet)->click();
    settle();
    EXPECT_TRUE(toggleSpeed->isVisibleTo(sheet));
    EXPECT_EQ(textsLeftToRight(toggleSpeed->parentWidget()), QStringList({"Repeat speed", "Slow", "Fast"}));
}

TEST_F(AdminViewTest, TheAlertShowsOnTopUntilClosed)
{
    open();
    model->presentAlert("Save Failed", "The disk is full.", AppModel::AlertMessage::Severity::error);
    settle();
    EXPECT_TRUE(find("alertBanner")->isVisible());
    EXPECT_EQ(find<QLabel>("alertTitle")->text(), "Save Failed");
    click("dismissAlert");
    EXPECT_FALSE(model->alertMessage().get());
    EXPECT_FALSE(find("alertBanner")->isVisible());
}

TEST_F(AdminViewTest, ThePacsMenuAndPickerReachTheStore)
{
    open();
    auto* section = find<AdminPacsProfileSection>("pacsSection");
    auto* picker = find<QComboBox>("pacsPicker");
    ASSERT_EQ(picker->count(), store().pacsProfiles().get().size());
    EXPECT_EQ(picker->currentData().toUuid(), store().activePacsProfile().id);

    prompter.queueAnswer("Save", " Night Shift ");
    find<QAction>("renamePacs", section)->trigger();
    settle();
    EXPECT_EQ(store().activePacsProfile().name, "Night Shift");
    EXPECT_EQ(picker->currentText(), text::displayName("Night Shift"));

    const int other = picker->currentIndex() == 0 ? 1 : 0;
    picker->setCurrentIndex(other);
    emit picker->activated(other);
    settle();
    EXPECT_EQ(store().activePacsProfile().id, picker->itemData(other).toUuid());

    section->chooseLighting(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(store().activePacsProfile().defaultLightingHex, QString("#123456"));
}

// A long PACS name is cut with "…" as in the other pickers, and never widens the panel.
TEST_F(AdminViewTest, ALongPacsNameIsCutWithAnEllipsis)
{
    open();
    auto* picker = dynamic_cast<ElidingComboBox*>(find<QComboBox>("pacsPicker"));
    ASSERT_TRUE(picker);
    const int room = picker->minimumSizeHint().width();
    store().renamePacsProfile(store().activePacsProfile().id,
                              "Synapse Reading Room (Visage Reader 7) West Wing Night Shift " + QString(300, 'x'));
    settle();
    EXPECT_EQ(picker->minimumSizeHint().width(), room);
    const QString shown = picker->shownText();
    EXPECT_TRUE(shown.startsWith(QChar(0x2068) + QStringLiteral("Synapse"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(picker->fontMetrics().horizontalAdvance(shown), picker->width());
    const QString entry = picker->currentText();
    EXPECT_EQ(entry.count(QChar(0x2026)), 1) << "the list's entry is cut once, to the list's room";
    EXPECT_LE(picker->fontMetrics().horizontalAdvance(entry), 40 * picker->fontMetrics().averageCharWidth());
}

// Its drop-down list is the width of a menu, not of the screen, under the picker;
// the entry it cannot hold whole is cut there.
TEST_F(AdminViewTest, ThePacsPickersListWithALongNameIsTheWidthOfAMenu)
{
    open();
    auto* picker = find<QComboBox>("pacsPicker");
    store().renamePacsProfile(store().activePacsProfile().id, QString(300, 'x'));
    settle();
    picker->showPopup();
    QWidget* list = picker->view()->window();
    EXPECT_TRUE(list->isVisible());
    EXPECT_LE(list->width(), std::max(picker->width(), 40 * QFontMetrics(picker->font()).averageCharWidth()));
    EXPECT_LT(list->width(), picker->screen()->availableGeometry().width() / 2);
    EXPECT_EQ(list->x(), picker->mapToGlobal(QPoint(0, 0)).x());
    EXPECT_TRUE(picker->currentText().contains(QChar(0x2026)));
    EXPECT_LE(picker->fontMetrics().horizontalAdvance(picker->currentText()),
              picker->view()->visualRect(picker->model()->index(picker->currentIndex(), 0)).width());
    picker->hidePopup();
}

TEST_F(AdminViewTest, ThePickerSwitchesLibrariesAndReportsACell)
{
    QDir().mkpath(customIconsDirectory());
    test::writeFile(QDir(customIconsDirectory()).filePath("ct.svg"),
                    R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)");
    SFSymbolPicker picker({ToolIconSource::system, "trash"});
    std::optional<ToolIconSelection> chosen;
    picker.controller().onSelect = [&](const ToolIconSelection& selection) { chosen = selection; };
    auto* grid = picker.findChild<QListView*>("iconGrid");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->model()->rowCount(), SFSymbolPickerController::systemSymbols().size());
    EXPECT_FALSE(picker.findChild<QWidget*>("reloadIcons")->isVisibleTo(&picker));

    QTest::mouseClick(picker.findChild<QWidget*>("iconScope_custom"), Qt::LeftButton);
    EXPECT_TRUE(picker.findChild<QWidget*>("reloadIcons")->isVisibleTo(&picker));
    ASSERT_EQ(grid->model()->rowCount(), 1);
    QTest::keyClicks(picker.findChild<QLineEdit*>("iconSearch"), "zz");
    EXPECT_TRUE(picker.findChild<QWidget*>("noCustomIcons")->isVisibleTo(&picker));
    picker.findChild<QLineEdit*>("iconSearch")->clear();
    picker.controller().setSearchText("");
    emit grid->clicked(grid->model()->index(0, 0));
    EXPECT_EQ(chosen, (ToolIconSelection{ToolIconSource::custom, "ct.svg"}));
}

// Icons that cannot be drawn cost the picker nothing after their first look: filling it
// again (opening, searching, reloading) reads no file and draws nothing.
TEST_F(AdminViewTest, ThePickerFilledAgainOverFailedIconsReadsNoFile)
{
    test::InProcessIconRenderer renderer;
    QDir().mkpath(customIconsDirectory());
    for (int i = 0; i < 6; ++i)
        test::writeFile(QDir(customIconsDirectory()).filePath(QString("bad %1.svg").arg(i)),
                        "<html>" + QByteArray::number(i) + "</html>");
    CustomIconLibrary& library = CustomIconLibrary::shared();
    const quint64 readBefore = library.documentsRead();
    // The library's reads may run on a worker thread of its own.
    const auto settled = [&] {
        return QTest::qWaitFor([&] {
            settle();
            return library.lookupsUnderWay() == 0;
        }, 60'000);
    };
    const auto fill = [&] {
        auto picker = std::make_unique<SFSymbolPicker>(ToolIconSelection{ToolIconSource::custom, "bad 0.svg"});
        EXPECT_TRUE(settled());
        return picker;
    };
    const auto picker = fill();
    auto* grid = picker->findChild<QListView*>("iconGrid");
    ASSERT_TRUE(grid);
    ASSERT_GE(grid->model()->rowCount(), 6);
    const quint64 firstFill = library.documentsRead() - readBefore;
    EXPECT_EQ(firstFill, 6u);
    const int drawings = renderer.drawings;

    fill();
    QTest::keyClicks(picker->findChild<QLineEdit*>("iconSearch"), "bad");
    QTest::mouseClick(picker->findChild<QWidget*>("reloadIcons"), Qt::LeftButton);
    EXPECT_TRUE(settled());
    EXPECT_EQ(library.documentsRead() - readBefore, firstFill);
    EXPECT_EQ(renderer.drawings, drawings);
}

// Icon names come from whoever made or synced the icon: the picker, its
// tooltip and the toggle editor show one that looks like markup as it is.
TEST_F(AdminViewTest, IconNamesThatLookLikeMarkupShowAsText)
{
    const QString name = "<b>CT <img src=\"zero\"><a href=\"https:x\">x"; // no slash: a file name
    QDir().mkpath(customIconsDirectory());
    test::writeFile(QDir(customIconsDirectory()).filePath(name + ".svg"),
                    R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)");
    SFSymbolPicker picker({ToolIconSource::custom, name + ".svg"});
    auto* current = picker.findChild<QLabel*>("currentIconName");
    ASSERT_TRUE(current);
    EXPECT_EQ(current->text(), text::displayName(name));
    EXPECT_EQ(current->textFormat(), Qt::PlainText);
    auto* grid = picker.findChild<QListView*>("iconGrid");
    ASSERT_EQ(grid->model()->rowCount(), 1);
    QTextDocument tip;
    tip.setHtml(grid->model()->index(0, 0).data(Qt::ToolTipRole).toString());
    EXPECT_EQ(tip.toPlainText(), text::displayName(name)) << "the tooltip is read as markup: escaped";
    EXPECT_FALSE(picker.grab().isNull());

    RadiologyTool tool;
    tool.name = "Layout";
    auto controller = std::make_shared<ToggleEditorController>(tool, "Edit Toggle");
    controller->applyIconSelection({ToolIconSource::custom, name + ".svg"});
    ToggleEditorSheet sheet(controller);
    auto* label = sheet.findChild<QLabel*>("toggleCustomIcon");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), text::displayName(name));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_FALSE(sheet.grab().isNull());
}

// A custom icon's file name is cut to a tooltip's room, as every other name is.
TEST_F(AdminViewTest, ALongIconNameGivesATooltipWithinTheScreen)
{
    const QString name = QString(240, u'W');
    QDir().mkpath(customIconsDirectory());
    test::writeFile(QDir(customIconsDirectory()).filePath(name + ".svg"),
                    R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)");
    SFSymbolPicker picker({ToolIconSource::custom, name + ".svg"});
    auto* grid = picker.findChild<QListView*>("iconGrid");
    ASSERT_EQ(grid->model()->rowCount(), 1);
    QTextDocument tip;
    tip.setHtml(grid->model()->index(0, 0).data(Qt::ToolTipRole).toString());
    const QString shown = tip.toPlainText();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << "cut with an ellipsis";
    const QFontMetricsF metrics(QApplication::font());
    EXPECT_LE(metrics.horizontalAdvance(shown), 100 * qRound(metrics.averageCharWidth()));
    EXPECT_LT(metrics.horizontalAdvance(shown), QGuiApplication::primaryScreen()->availableSize().width());
}

// A list of any length makes its first rows at once and the rest as a view fetches
// them; a new list keeps every row fetched (an edit changes its row in place, never
// cutting the rows back) and always shows the selected tool.
TEST(ToolListModel, ALongListShowsItsFirstRowsAndTheRestAsTheyAreFetched)
{
    ToolListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<RadiologyTool> tools;
    for (int i = 0; i < 5'000; ++i) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QString::number(i);
        tools.append(tool);
    }
    model.setTools(tools, std::nullopt);
    EXPECT_EQ(model.rowCount(), ToolListModel::rowsPerFetch);
    while (model.canFetchMore({}))
        model.fetchMore({});
    ASSERT_EQ(model.rowCount(), tools.size());
    for (const int row : {0, 199, 200, 3'210, 4'999})
        EXPECT_EQ(model.tool(row), tools.at(row)) << row;

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    tools[4'990].enabled = false;
    model.setTools(tools, std::nullopt);
    EXPECT_EQ(model.rowCount(), tools.size());
    EXPECT_EQ(removed.size(), 0);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.first().at(0).toModelIndex().row(), 4'990);
    // A tool far up moved to the end: that row alone leaves and comes back.
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    tools.move(10, 4'999);
    model.setTools(tools, std::nullopt);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(model.tool(10), tools.at(10));
    EXPECT_EQ(model.tool(4'999), tools.at(4'999));

    model.setTools(tools.mid(0, 3), std::nullopt);
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_FALSE(model.canFetchMore({}));
    model.setTools(tools, tools.at(3'210).id);
    EXPECT_EQ(model.rowOf(tools.at(3'210).id), 3'210) << "the selected tool is shown";
    EXPECT_TRUE(model.data(model.index(3'210), ToolListModel::SelectedRole).toBool());
}

// Whatever lists follow one another, the rows end up as the list, through
// incremental changes the model tester accepts.
TEST(ToolListModel, AnyNewListIsReachedRowByRow)
{
    ToolListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QList<RadiologyTool> pool;
    for (int i = 0; i < 12; ++i) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QString::number(i);
        pool.append(tool);
    }
    QRandomGenerator random(7);
    for (int round = 0; round < 200; ++round) {
        QList<RadiologyTool> next;
        for (const RadiologyTool& tool : pool)
            if (random.bounded(3) != 0)
                next.append(tool);
        std::shuffle(next.begin(), next.end(), random);
        if (next.size() > 2 && random.bounded(4) == 0)
            next.insert(1, next.last()); // an id given twice: a row of its own
        if (!next.isEmpty() && random.bounded(2))
            next.first().enabled = !next.first().enabled;
        model.setTools(next, next.isEmpty() ? std::nullopt : std::optional<QUuid>(next.last().id));
        ASSERT_EQ(model.rowCount(), next.size());
        for (int row = 0; row < next.size(); ++row)
            ASSERT_EQ(model.tool(row), next[row]);
        if (!next.isEmpty()) {
            EXPECT_TRUE(model.data(model.index(int(next.size()) - 1), ToolListModel::SelectedRole).toBool());
        }
    }

    // A tool changed in place, and the selection moving, repaint the rows they touch.
    QList<RadiologyTool> tools = pool.mid(0, 3);
    model.setTools(tools, tools[0].id);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    tools[1].name = QStringLiteral("renamed");
    model.setTools(tools, tools[2].id);
    QList<int> rows;
    for (const QList<QVariant>& signal : changed)
        rows << signal.at(0).toModelIndex().row();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QList<int>{0, 1, 2}));
}

} // namespace
} // namespace velmor
