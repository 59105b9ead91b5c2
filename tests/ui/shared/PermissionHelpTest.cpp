#include "ui/shared/PermissionHelpController.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/PermissionHelpView.h"
#include "ui/shared/widgets/SymbolLabel.h"

#include "output/ShortcutExecutor.h"
#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace velmor;
using namespace std::chrono_literals;
using State = PermissionHelpController::State;

namespace {

class PermissionHelpTest : public test::PlatformFixture {
protected:
    std::unique_ptr<ShortcutExecutor> executorWith(bool accessibility, bool inputMonitoring)
    {
        permissions.accessibility = accessibility;
        permissions.inputMonitoring = inputMonitoring;
        auto executor = std::make_unique<ShortcutExecutor>(output, permissions);
        permissions.calls.clear();
        return executor;
    }

    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    int closed = 0;
};

QString statusText(QWidget& view, const char* name)
{
    auto* label = view.findChild<SymbolLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

} // namespace

TEST_F(PermissionHelpTest, StatusesFollowTheExecutorsFlagsWithOneUpdatePerChange)
{
    const auto executor = executorWith(false, true);
    PermissionHelpController controller(*executor, [this] { ++closed; });
    QList<State> seen;
    const Subscription subscription = controller.state().subscribe([&](const State& state) { seen << state; });
    EXPECT_EQ(seen, QList<State>({{false, true}}));
    EXPECT_EQ(PermissionHelpController::overallStatus(seen.last()).text, QStringLiteral("Permissions still needed"));

    // Re-reading sets both flags; the view hears of it once, after the main queue turns.
    permissions.accessibility = true;
    executor->refreshPermissions();
    EXPECT_EQ(seen.size(), 1);
    queue->runUntilIdle();
    EXPECT_EQ(seen, QList<State>({{false, true}, {true, true}}));
    EXPECT_EQ(PermissionHelpController::overallStatus(seen.last()),
              (PermissionHelpController::Status{"All permissions granted", "checkmark.seal.fill", Theme::green()}));

    permissions.inputMonitoring = false;
    executor->refreshPermissions();
    queue->runUntilIdle();
    EXPECT_EQ(seen.last(), (State{true, false}));
    EXPECT_EQ(PermissionHelpController::stepStatus(false),
              (PermissionHelpController::Status{"Not granted", "exclamationmark.triangle.fill", Theme::yellow()}));
    EXPECT_EQ(PermissionHelpController::stepStatus(true).text, QStringLiteral("Granted"));
}

TEST_F(PermissionHelpTest, OpenSettingsAsksAndOpensTheHelpOfTheMissingOneCloseAsksNothing)
{
    const auto executor = executorWith(true, false);
    PermissionHelpController controller(*executor, [this] { ++closed; });

    controller.close();
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(permissions.calls.isEmpty());

    controller.openPermissionsSettings();
    EXPECT_TRUE(permissions.calls.contains(QStringLiteral("requestInputMonitoring")));
    EXPECT_TRUE(permissions.openedAnchors.isEmpty()); // the help opens after the re-check
    queue->advance(200ms);
    EXPECT_EQ(permissions.openedAnchors, QStringList{Permissions::inputMonitoringAnchor});
    EXPECT_EQ(closed, 1);
}

TEST_F(PermissionHelpTest, ViewShowsNumberedStepsAndStatusesAndRoutesItsButtons)
{
    const auto executor = executorWith(true, false);
    PermissionHelpView view(*executor, [this] { ++closed; });

    EXPECT_EQ(statusText(view, "accessibilityStatus"), QStringLiteral("Granted"));
    EXPECT_EQ(statusText(view, "inputMonitoringStatus"), QStringLiteral("Not granted"));
    EXPECT_EQ(statusText(view, "overallStatus"), QStringLiteral("Permissions still needed"));

    // Each list is numbered 1 to 3, right-aligned in a box 18 wide.
    QStringList numbers;
    for (const QLabel* label : view.findChildren<QLabel*>()) {
        if (label->text().endsWith(QLatin1Char('.')) && label->text().size() == 2) {
            numbers << label->text();
            EXPECT_EQ(label->width(), 18);
            EXPECT_TRUE(label->alignment().testFlag(Qt::AlignRight));
        }
    }
    EXPECT_EQ(numbers, QStringList({"1.", "2.", "3.", "1.", "2.", "3."}));

    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("close")), Qt::LeftButton);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(permissions.calls.isEmpty());

    permissions.inputMonitoringAfterRequest = true;
    QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("openSettings")), Qt::LeftButton);
    queue->advance(200ms);
    EXPECT_EQ(statusText(view, "inputMonitoringStatus"), QStringLiteral("Granted"));
    EXPECT_EQ(statusText(view, "overallStatus"), QStringLiteral("All permissions granted"));
    EXPECT_TRUE(permissions.openedAnchors.isEmpty()); // nothing missing any more
}
