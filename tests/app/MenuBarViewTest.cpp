// The tray menu's look: the header and the captions are legible labels, not
// greyed-out commands, and the dividers are lines one can see, on a dark and on
// a light menu.

#include "support/AppModelFixture.h"

#include "app/MenuBarModel.h"
#include "app/MenuBarView.h"
#include "platform/Text.h"
#include "ui/shared/Contrast.h"
#include "ui/shared/ScriptedPrompter.h"
#include "ui/shared/Theme.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QWidgetAction>

#include <algorithm>

using namespace velmor;
using namespace velmor::test;

namespace {

class MenuBarViewTest : public AppModelFixture {
protected:
    MenuBarViewTest()
    {
        start();
        menuModel = std::make_unique<MenuBarModel>(*model, prompter, MenuBarModel::Requests{[] {}, [] {}, [] {}, [] {}});
    }
    ~MenuBarViewTest() override { QApplication::setPalette(QPalette()); }

    static QPalette light()
    {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor(0xEC, 0xEC, 0xEC));
        palette.setColor(QPalette::WindowText, Qt::black);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xA8, 0xA8, 0xA8));
        return palette;
    }

    ScriptedPrompter prompter;
    std::unique_ptr<MenuBarModel> menuModel;
};

TEST_F(MenuBarViewTest, HeaderCaptionsAndDividersStandOutOnDarkAndLightMenus)
{
    for (const QPalette& palette : {Theme::palette(), light()}) {
        QApplication::setPalette(palette);
        MenuBarView view(*menuModel);
        queue->runUntilIdle();
        // Measured on what the menu is filled with as drawn, not on its window colour.
        const QImage drawn = view.menu().grab().toImage();
        const QColor background = drawn.pixelColor(drawn.width() - 4, drawn.height() / 2);
        EXPECT_EQ(background.rgb(), MenuColours::background(view.menu().palette()).rgb());
        const MenuBarView::Colours colours = MenuBarView::colours(view.menu().palette());
        EXPECT_GE(contrast::ratio(colours.headline, background), 7.0);
        EXPECT_GE(contrast::ratio(colours.secondary, background), 6.0) << "small text";
        EXPECT_LT(contrast::ratio(colours.secondary, background), contrast::ratio(colours.headline, background))
            << "captions are secondary to the header";
        EXPECT_GE(contrast::ratio(colours.divider, background), 3.0);

        QStringList texts;
        int dividers = 0;
        for (QAction* action : view.menu().actions()) {
            EXPECT_TRUE(action->isEnabled()) << "nothing is greyed out: " << action->text().toStdString();
            auto* widgetAction = qobject_cast<QWidgetAction*>(action);
            if (!widgetAction)
                continue;
            QWidget* widget = widgetAction->defaultWidget();
            if (widget->objectName() == "menuBarDivider") {
                ++dividers;
                continue;
            }
            auto* label = qobject_cast<QLabel*>(widget);
            ASSERT_TRUE(label);
            const bool header = label->objectName() == "menuBarHeader";
            EXPECT_EQ(label->palette().color(QPalette::WindowText), header ? colours.headline : colours.secondary);
            EXPECT_EQ(label->font().bold(), header);
            texts << label->text();
        }
        EXPECT_EQ(texts, (QStringList{"Velmor", "User Profiles", "PACS", "Device"}));
        EXPECT_EQ(dividers, 4);
    }
}

} // namespace

namespace {

// An edit that leaves the menu as it looks keeps its actions (no rebuild per edit of a
// large setup), and each action still runs the command of what it shows now: a user
// profile made again under the same name is the one its row selects.
TEST_F(MenuBarViewTest, AnEditThatLooksTheSameKeepsTheActionsAndTheirCurrentCommands)
{
    const UserProfile active = activeUser();
    store().createUserProfile("Reader");
    store().selectUserProfile(active);
    MenuBarView view(*menuModel);
    queue->runUntilIdle();
    const auto row = [&view](const QString& name) -> QAction* {
        for (QAction* action : view.menu().actions())
            if (action->text() == text::displayName(name))
                return action;
        return nullptr;
    };
    QAction* reader = row("Reader");
    ASSERT_TRUE(reader);
    const QList<QAction*> before = view.menu().actions();

    const QUuid oldReader = store().userProfiles().get().last().id;
    store().deleteUserProfile(oldReader);
    store().createUserProfile("Reader");
    store().selectUserProfile(active);
    map("K01", model->activePacsProfile().tools.first().id);
    queue->runUntilIdle();
    ASSERT_EQ(activeUser().id, active.id);
    ASSERT_EQ(view.menu().actions(), before) << "nothing the menu shows changed";
    const QUuid newReader = store().userProfiles().get().last().id;
    ASSERT_NE(newReader, oldReader);
    reader->trigger();
    queue->runUntilIdle();
    EXPECT_EQ(activeUser().id, newReader);

    store().renameUserProfile(newReader, "Reader 2");
    queue->runUntilIdle();
    EXPECT_TRUE(row("Reader 2")) << "a change it shows rebuilds the menu";
    EXPECT_FALSE(row("Reader"));
}

// A profile's name is one menu item's whole text: a tab cannot put part of it in
// the shortcut column, an '&' marks no key, an override turns nothing after it.
TEST_F(MenuBarViewTest, ANameIsAMenuItemsTextAndNothingElse)
{
    const QString name = QStringLiteral("R&D") + QChar(0x202E) + QStringLiteral("\tCtrl+Q");
    store().createUserProfile(name);
    MenuBarView view(*menuModel);
    queue->runUntilIdle();
    QAction* found = nullptr;
    for (QAction* action : view.menu().actions())
        if (action->text().contains(QStringLiteral("Ctrl+Q")))
            found = action;
    ASSERT_TRUE(found);
    EXPECT_EQ(found->text(), QChar(0x2068) + QStringLiteral("R&&D\\u{202E}\\tCtrl+Q") + QChar(0x2069));
    EXPECT_FALSE(found->text().contains(QLatin1Char('\t')));
    EXPECT_EQ(QKeySequence::mnemonic(found->text()), QKeySequence());
    EXPECT_EQ(activeUser().name, name) << "the stored name stays as typed";
}

} // namespace

namespace {

// A user and a PACS profile named with one word of 300 characters: the menu stays
// the width of a menu, and each name shows its start and the cut. The caption of
// a controlled keypad takes two lines rather than widening it.
TEST_F(MenuBarViewTest, LongNamesAreCutSoTheMenuStaysTheWidthOfAMenu)
{
    plugKeypad();
    MenuBarView view(*menuModel);
    queue->runUntilIdle();
    const QFontMetrics metrics(view.menu().font());
    const int menuWidth = 40 * metrics.averageCharWidth();
    ASSERT_LE(view.menu().sizeHint().width(), menuWidth);

    const QString user(300, u'U');
    const QString pacs = QStringLiteral("Synapse ") + QString(292, u'p');
    store().renameUserProfile(activeUser().id, user);
    store().renamePacsProfile(activeUser().pacsProfileId, pacs);
    queue->runUntilIdle();
    EXPECT_LE(view.menu().sizeHint().width(), menuWidth);
    for (const QString& name : {user, pacs}) {
        QAction* row = nullptr;
        for (QAction* action : view.menu().actions())
            if (action->text().startsWith(QChar(0x2068) + name.left(4)))
                row = action;
        ASSERT_TRUE(row) << name.left(8).toStdString();
        const QString shown = row->text();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("\u2026\u2069"))) << shown.toStdString();
        EXPECT_TRUE(name.startsWith(shown.mid(1, shown.size() - 3)));
        EXPECT_LT(metrics.horizontalAdvance(shown), menuWidth);
        EXPECT_GT(metrics.horizontalAdvance(shown), menuWidth / 2) << "the name takes the room there is";
    }
    // Short texts are left whole.
    const QList<QAction*> actions = view.menu().actions();
    EXPECT_TRUE(std::any_of(actions.cbegin(), actions.cend(), [](const QAction* action) {
        return action->text() == QStringLiteral("Export Active User Profile…");
    }));
}

} // namespace
