// The context panels and the right column driven through their widgets.

#include "MappingViewFixture.h"

#include "input/RazerRGB.h"
#include "input/UnifiedInputSource.h"
#include "output/ShortcutExecutor.h"
#include "platform/Text.h"
#include "store/ProfileStore.h"
#include "support/ProfileStoreSeed.h"
#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/CenterColumn.h"
#include "ui/mapping/widgets/MappingRow.h"
#include "ui/mapping/widgets/ContextPanelMappings.h"
#include "ui/mapping/widgets/RightColumn.h"
#include "ui/mapping/widgets/ToolListItem.h"
#include "ui/shared/Contrast.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QRegularExpression>

namespace velmor::test {
namespace {

class MappingPanelsTest : public MappingViewFixture {
protected:
    ContextPanelMappings& panel() { return *static_cast<ContextPanelMappings*>(view->findChild<QWidget*>(QStringLiteral("mappingsPanel"))); }
    RightColumn& right() { return *static_cast<RightColumn*>(view->findChild<QWidget*>(QStringLiteral("rightColumn"))); }

    QStringList toolRowNames()
    {
        QStringList names;
        for (const ToolListRow& row : panel().toolModel().rows())
            names.append(row.isHeader ? QStringLiteral("# ") + row.title : row.tool.name);
        return names;
    }
    void typeInto(const QString& field, const QString& text)
    {
        auto* edit = find<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        settle();
    }
    void clickRow(QListView& list, int row, const QPoint& offsetFromTopLeft)
    {
        const QRect rect = list.visualRect(list.model()->index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.topLeft() + offsetFromTopLeft);
        settle();
    }
    // Only the given tools, in this order.
    void onlyTools(const QList<RadiologyTool>& tools)
    {
        PacsProfile pacs = model->activePacsProfile();
        for (const RadiologyTool& t : pacs.tools)
            store().deleteTool(t.id, pacs.id);
        for (const RadiologyTool& t : tools)
            store().upsertTool(t, pacs.id);
        settle();
    }
    static RadiologyTool makeTool(const QString& name, ToolCategory category)
    {
        RadiologyTool t;
        t.id = QUuid::createUuid();
        t.name = name;
        t.category = category;
        return t;
    }
};

TEST_F(MappingPanelsTest, SearchAndCategoryNarrowTheToolListAndTheStarOnlyFlagsAFavourite)
{
    const RadiologyTool zoom = makeTool("Zoom", ToolCategory::viewer);
    const RadiologyTool pan = makeTool("Pan", ToolCategory::viewer);
    const RadiologyTool report = makeTool("Sign Report", ToolCategory::reporting);
    onlyTools({zoom, pan, report});
    EXPECT_EQ(toolRowNames(), (QStringList{"# Viewer", "Zoom", "Pan", "# Reporting", "Sign Report"}));

    typeInto(QStringLiteral("toolSearch"), QStringLiteral("O"));
    EXPECT_EQ(state().searchText, "O");
    EXPECT_EQ(toolRowNames(), (QStringList{"# Viewer", "Zoom", "# Reporting", "Sign Report"}));
    click(QStringLiteral("filter-reporting"));
    EXPECT_EQ(state().toolFilter, ToolFilter::reporting);
    EXPECT_EQ(toolRowNames(), (QStringList{"# Reporting", "Sign Report"}));
    click(QStringLiteral("filter-all"));
    typeInto(QStringLiteral("toolSearch"), QStringLiteral("xyz"));
    EXPECT_TRUE(toolRowNames().isEmpty());
    EXPECT_TRUE(find(QStringLiteral("swap"))->isVisible()) << "the quick actions stay with an empty list";
    typeInto(QStringLiteral("toolSearch"), QString());
    find<QLineEdit>(QStringLiteral("toolSearch"))->clear();
    controller->setSearchText({});
    settle();

    // The star of Pan's row: Pan becomes a favourite, nothing is selected or mapped.
    const std::optional<QUuid> selectedBefore = state().selectedToolId;
    const int panRow = static_cast<int>(toolRowNames().indexOf("Pan"));
    QListView& list = *panel().toolList();
    const QRect rowRect = list.visualRect(list.model()->index(panRow, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, ToolListItem::starRect(rowRect).center());
    settle();
    EXPECT_TRUE(model->activePacsProfile().tools.at(1).isFavorite);
    EXPECT_EQ(state().selectedToolId, selectedBefore);
    EXPECT_EQ(toolRowNames().first(), QStringLiteral("# ⭐ Favorites"));
    EXPECT_EQ(toolRowNames().at(1), "Pan");
}

TEST_F(MappingPanelsTest, CurrentMappingsFilterEmptyStateAndRemoval)
{
    const RadiologyTool zoom = tool("Zoom");
    const RadiologyTool pan = tool("Pan");
    auto* empty = find<QLabel>(QStringLiteral("emptyTitle"));
    EXPECT_EQ(empty->text(), QStringLiteral("🎮 No Mappings Yet"));
    EXPECT_TRUE(find(QStringLiteral("loadExample"))->isVisible());
    EXPECT_FALSE(find(QStringLiteral("mappingCount"))->isVisible()) << "no badge for zero";

    map("K10", zoom.id);
    map("K2", pan.id);
    map("K3", zoom.id);
    settle();
    const MappingListModel& rows = right().mappingModel();
    ASSERT_EQ(rows.rowCount(), 3);
    EXPECT_EQ(rows.row(0).entry.mapping.buttonId, "K2");
    EXPECT_EQ(rows.row(2).entry.mapping.buttonId, "K10");
    EXPECT_EQ(find<QLabel>(QStringLiteral("mappingCount"))->text(), "3");

    typeInto(QStringLiteral("mappingFilter"), QStringLiteral("zoo"));
    EXPECT_EQ(rows.rowCount(), 2);
    typeInto(QStringLiteral("mappingFilter"), QStringLiteral("nothing"));
    EXPECT_EQ(rows.rowCount(), 0);
    EXPECT_EQ(empty->text(), "No matches");
    EXPECT_FALSE(find(QStringLiteral("loadExample"))->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("mappingCount"))->text(), "3") << "the count is of all mappings";
    typeInto(QStringLiteral("mappingFilter"), QString());
    find<QLineEdit>(QStringLiteral("mappingFilter"))->clear();
    controller->setMappingSearchText({});
    settle();

    // A second mapping of K2 in the stored list: the trash removes both.
    QList<UserProfile> users = store().userProfiles().get();
    for (UserProfile& user : users)
        if (user.id == activeUser().id)
            user.mappings.append({QUuid::createUuid(), keypad, "K2", zoom.id});
    ProfileStoreSeed::userProfiles(store()).set(users);
    settle();
    QListView& list = *right().mappingList();
    const int k2 = rows.rowOf(activeUser().mappings.at(1).id);
    ASSERT_GE(k2, 0);
    const QRect rowRect = list.visualRect(list.model()->index(k2, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, MappingRow::trashRect(rowRect).center());
    settle();
    EXPECT_TRUE(toolsOn("K2").isEmpty());
    EXPECT_EQ(toolsOn("K3"), QList<QUuid>{zoom.id});
}

TEST_F(MappingPanelsTest, EventLogCopiesNewestFirstAndClears)
{
    model->clearLogs();
    model->appendLog("first");
    model->appendLog("second");
    settle();
    EXPECT_FALSE(find(QStringLiteral("copyLog"))->isVisible());
    EXPECT_EQ(right().logCard()->height(), 52);
    click(QStringLiteral("toggleLog"));
    EXPECT_TRUE(state().isLogExpanded);
    EXPECT_TRUE(find(QStringLiteral("copyLog"))->isVisible());
    EXPECT_GE(right().logCard()->height(), 160);
    EXPECT_EQ(right().logModel().rowCount(), 2);

    click(QStringLiteral("copyLog"));
    const QStringList lines = QGuiApplication::clipboard()->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" second")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" first")));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\S*\\d\\d:\\d\\d:\\d\\d")).match(lines[0]).hasMatch()) << lines[0].toStdString();

    click(QStringLiteral("clearLog"));
    EXPECT_TRUE(model->logs().get().isEmpty());
    EXPECT_EQ(right().logModel().rowCount(), 0);
    click(QStringLiteral("copyLog"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString()) << "an empty log copies the empty text";
    click(QStringLiteral("toggleLog"));
    EXPECT_FALSE(find(QStringLiteral("clearLog"))->isVisible());
}

TEST_F(MappingPanelsTest, ProfilesPanelEditsTheActiveProfileAndLightsTheKeypad)
{
    auto keypadDevice = plugKeypad();
    click(QStringLiteral("mode-profiles"));
    const UserProfile first = activeUser();
    store().createUserProfile("Second", first.pacsProfileId);
    settle();
    auto* users = find<QComboBox>(QStringLiteral("userPicker"));
    ASSERT_EQ(users->count(), 2);
    EXPECT_EQ(users->currentText(), text::displayName("Second"));
    emit users->activated(0);
    settle();
    EXPECT_EQ(activeUser().id, first.id);

    auto* pacs = find<QComboBox>(QStringLiteral("pacsPicker"));
    ASSERT_GE(pacs->count(), 2);
    const int other = pacs->currentIndex() == 0 ? 1 : 0;
    emit pacs->activated(other);
    settle();
    EXPECT_EQ(activeUser().pacsProfileId, pacs->itemData(other).toUuid());
    EXPECT_EQ(activeUser().id, first.id) << "the active user is bound, not replaced";

    ASSERT_TRUE(find(QStringLiteral("lighting"))->isVisible());
    EXPECT_FALSE(find(QStringLiteral("usePacsDefault"))->isEnabled()) << "no colour of the user's own yet";
    const QWidget* usePacsDefault = find(QStringLiteral("usePacsDefault"));
    EXPECT_GE(usePacsDefault->width() - usePacsDefault->fontMetrics().horizontalAdvance("Use PACS Default"),
              2 * PaddedButton::textPadding)
        << "the text keeps off the button's edges";
    typeInto(QStringLiteral("lightingHex"), QStringLiteral("#123456"));
    QTest::keyClick(find(QStringLiteral("lightingHex")), Qt::Key_Return);
    settle();
    EXPECT_EQ(activeUser().lightingHex, "#123456");
    EXPECT_EQ(keypadDevice->sentFeatureReports().last().report, (RazerRGB{0x12, 0x34, 0x56}.featureReport()));

    const qsizetype reports = keypadDevice->sentFeatureReports().size();
    typeInto(QStringLiteral("lightingHex"), QStringLiteral("#12345G"));
    QTest::keyClick(find(QStringLiteral("lightingHex")), Qt::Key_Return);
    settle();
    EXPECT_EQ(activeUser().lightingHex, "#123456") << "an invalid text is refused";
    EXPECT_EQ(keypadDevice->sentFeatureReports().size(), reports);

    click(QStringLiteral("preset-33BD75"));
    EXPECT_EQ(activeUser().lightingHex, "#33BD75");
    click(QStringLiteral("usePacsDefault"));
    EXPECT_EQ(activeUser().lightingHex, std::nullopt);

    // The menu's export offers the bound PACS profile's file; cancelled, it writes nothing.
    auto* exportPacs = view->findChild<QAction*>(QStringLiteral("exportPacs"));
    ASSERT_TRUE(exportPacs);
    exportPacs->trigger();
    settle();
    ASSERT_FALSE(prompter.requests().isEmpty());
    EXPECT_EQ(prompter.requests().last().kind, ScriptedPrompter::Kind::save);
    EXPECT_EQ(prompter.requests().last().file.proposedName, store().activePacsProfile().name + QStringLiteral(".json"));

    plugSpeechMike();
    controller->selectDevice(speechMike);
    settle();
    EXPECT_FALSE(find(QStringLiteral("lighting"))->isVisible()) << "only the keypad has lighting";
}

// The Import/Export menu's divider is a line one can see on the dark menu, as drawn.
TEST_F(MappingPanelsTest, TheImportExportMenusDividerShowsOnTheMenu)
{
    struct DarkPalette {
        DarkPalette() { QApplication::setPalette(Theme::palette()); }
        ~DarkPalette() { QApplication::setPalette(QPalette()); }
    } dark;
    view = std::make_unique<MappingView>(*controller);
    view->show();
    settle();
    click(QStringLiteral("mode-profiles"));
    auto* menu = find(QStringLiteral("importExport"))->findChild<QMenu*>();
    ASSERT_TRUE(menu);
    const QImage drawn = menu->grab().toImage();
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    ASSERT_TRUE(actions[2]->isSeparator());
    const QColor background = drawn.pixelColor(drawn.width() - 4, menu->actionGeometry(actions[0]).center().y());
    const QRect line = menu->actionGeometry(actions[2]);
    double strongest = 1;
    for (int y = line.top(); y <= line.bottom(); ++y)
        strongest = std::max(strongest, contrast::ratio(drawn.pixelColor(line.center().x(), y), background));
    EXPECT_GE(strongest, 3.0);
}

TEST_F(MappingPanelsTest, ReleasingADeviceStopsItsButtonsAndTakingItBackRestoresThem)
{
    auto keypadDevice = plugKeypad();
    click(QStringLiteral("mode-devices"));
    const ConnectedDeviceInfo info = model->connectedDevices().get().first();
    EXPECT_TRUE(find(QStringLiteral("template-") + keypad)->findChild<QLabel*>(QStringLiteral("activeMark")));

    click(QStringLiteral("control-") + info.id());
    EXPECT_TRUE(model->connectedDevices().get().first().ignored);
    EXPECT_EQ(state().toastMessage, "Released " + text::displayName("Razer Tartarus") + " for other apps");
    auto* control = find<QAbstractButton>(QStringLiteral("control-") + info.id());
    EXPECT_FALSE(control->isChecked());
    EXPECT_EQ(control->toolTip(), "Let Velmor control this device");
    keypadDevice->sendValue(keypadKey(1), 1);
    settle();
    EXPECT_EQ(state().lastPressedButtonId, std::nullopt) << "a released keypad reaches nothing";

    click(QStringLiteral("control-") + info.id());
    EXPECT_FALSE(model->connectedDevices().get().first().ignored);
    keypadDevice->sendValue(keypadKey(1), 1);
    settle();
    EXPECT_EQ(state().lastPressedButtonId, "K01");

    int editorShown = 0;
    controller->requests.showLayoutEditor = [&](const Device&) { ++editorShown; };
    click(QStringLiteral("editLayout"));
    EXPECT_EQ(editorShown, 1);
}

// A device whose own name is one long word: the devices panel cuts it, and the
// switch beside it stays in sight.
TEST_F(MappingPanelsTest, ALongDeviceNameIsCutAndItsControlSwitchStaysInTheRow)
{
    hid.plug(0x1532, 0x022B, QStringLiteral("Razer") + QString(121, u'R'));
    settle();
    click(QStringLiteral("mode-devices"));
    const ConnectedDeviceInfo info = model->connectedDevices().get().first();
    QWidget* row = find(QStringLiteral("connected-") + info.id());
    auto* control = find<QAbstractButton>(QStringLiteral("control-") + info.id());
    ASSERT_TRUE(row && control);
    QWidget* area = control;
    while (area && !qobject_cast<QAbstractScrollArea*>(area))
        area = area->parentWidget();
    ASSERT_TRUE(area);
    QWidget* viewport = static_cast<QAbstractScrollArea*>(area)->viewport();
    EXPECT_TRUE(viewport->rect().contains(QRect(control->mapTo(viewport, QPoint(0, 0)), control->size())))
        << "the switch is in sight";
    auto* name = dynamic_cast<NameLabel*>(row->findChild<QLabel*>());
    ASSERT_TRUE(name);
    EXPECT_TRUE(name->shownText().endsWith(QStringLiteral("\u2026\u2069"))) << name->shownText().toStdString();
    EXPECT_EQ(name->text(), text::displayName(mappingText::connectedDeviceName(info))) << "the label holds the name";
}

TEST_F(MappingPanelsTest, SystemPanelFollowsThePermissionFlags)
{
    click(QStringLiteral("mode-system"));
    auto* button = find<NiceButton>(QStringLiteral("permissions"));
    EXPECT_EQ(button->symbol(), "lock.open");
    EXPECT_EQ(button->niceStyle().tint, Theme::accentGreen());
    EXPECT_FALSE(find(QStringLiteral("permissionBanner"))->isVisible());

    permissions.inputMonitoring = false;
    model->shortcutExecutor().readPermissions();
    settle();
    EXPECT_EQ(button->symbol(), "lock.slash");
    EXPECT_EQ(button->niceStyle().tint, Theme::accentCyan());
    EXPECT_TRUE(find(QStringLiteral("permissionBanner"))->isVisible());

    int inspectorShown = 0;
    controller->requests.showHIDInspector = [&] { ++inspectorShown; };
    click(QStringLiteral("diagnostics"));
    EXPECT_EQ(inspectorShown, 1);
    click(QStringLiteral("help"));
    EXPECT_TRUE(state().showPermissionHelp);
    EXPECT_NE(view->findChild<QWidget*>(QStringLiteral("openSettings")), nullptr) << "the help sheet is shown";
}

} // namespace
} // namespace velmor::test
