#include "AppModelFixture.h"

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

class RepeatOnHoldTest : public AppModelFixture {
protected:
    RepeatOnHoldTest() { start(); }

    RadiologyTool repeating(double speed, std::uint16_t keyCode = 40)
    {
        return addTool(QStringLiteral("Scroll %1").arg(keyCode), shortcut(keyCode, "k"), std::nullopt, true, speed);
    }
};

} // namespace

TEST_F(RepeatOnHoldTest, ThePeriodFollowsTheSpeedAndTheFirstResendComesOnePeriodAfterThePress)
{
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(2.0), AppModel::repeatPeriod(1.0));
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(-1), 0.4);
    EXPECT_DOUBLE_EQ(AppModel::repeatPeriod(std::nan("")), 0.4);

    for (const auto& [speed, period] : {std::pair{0.0, 400ms}, std::pair{0.5, 230ms}, std::pair{1.0, 60ms}}) {
        SCOPED_TRACE(speed);
        const RadiologyTool tool = repeating(speed);
        map("K01", tool.id);
        press("K01");
        EXPECT_EQ(sentKeys().size(), 1);
        advance(period - 1ms);
        EXPECT_TRUE(sentKeys().isEmpty());
        advance(1ms);
        EXPECT_EQ(sentKeys().size(), 1);
        advance(period * 3);
        EXPECT_EQ(sentKeys().size(), 3);
        release("K01");
        advance(period * 3);
        EXPECT_TRUE(sentKeys().isEmpty());
        EXPECT_EQ(model->repeatTaskCount(), 0u);
    }
}

TEST_F(RepeatOnHoldTest, ASecondPressSendsOnceMoreButKeepsTheOneRunningTask)
{
    map("K01", repeating(1.0).id);
    press("K01");
    advance(30ms);
    press("K01");
    EXPECT_EQ(sentKeys().size(), 2);
    EXPECT_EQ(model->repeatTaskCount(), 1u);
    advance(30ms); // the first task's timing stands
    EXPECT_EQ(sentKeys().size(), 1);
    release("K01");
    advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());

    // Releasing a button that does not repeat does nothing.
    release("K09");
    EXPECT_EQ(model->repeatTaskCount(), 0u);
}

TEST_F(RepeatOnHoldTest, OnlyRepeatingToolsOnButtonsThatAllowItRepeat)
{
    map("K01", addTool("Once", shortcut(1, "s")).id);
    map("K02", repeating(1.0).id);
    press("K01");
    press("K02", /*holdRepeat=*/false);
    advance(1s);
    EXPECT_EQ(sentKeys().size(), 2);
    EXPECT_EQ(model->repeatTaskCount(), 0u);
}

TEST_F(RepeatOnHoldTest, AHeldToggleToolCyclesItsStepsWithoutLogging)
{
    const RadiologyTool toggle = addTool("Cycle", std::nullopt,
                                         QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, "2"), shortcut(20, "3")},
                                         true, 1.0);
    map("K01", toggle.id);
    press("K01");
    advance(240ms);
    EXPECT_EQ(sentKeys(), (QList<int>{18, 19, 20, 18, 19}));
    EXPECT_EQ(logMessages().filter("Dispatch").size(), 1);
}

TEST_F(RepeatOnHoldTest, AChangedBindingOrDisabledToolStopsTheRepeatAtOnce)
{
    const RadiologyTool tool = repeating(0.0);
    const RadiologyTool other = addTool("Other", shortcut(50, "o"), std::nullopt, true, 1.0);

    // Remapped to another tool: no further resend of the old one.
    map("K01", tool.id);
    press("K01");
    map("K01", other.id);
    EXPECT_FALSE(model->isRepeating(keypad, "K01"));
    advance(1s);
    EXPECT_EQ(sentKeys(), QList<int>{40});
    // The held button's next press repeats its new tool.
    press("K01");
    advance(60ms);
    EXPECT_EQ(sentKeys(), (QList<int>{50, 50}));
    release("K01");

    // Disabled tool.
    map("K02", tool.id);
    press("K02");
    editTool(tool.id, [](RadiologyTool& t) { t.enabled = false; });
    EXPECT_EQ(model->repeatTaskCount(), 0u);

    // Switching repeat-on-hold off leaves a running repeat alone; the speed is fixed at the press.
    editTool(tool.id, [](RadiologyTool& t) { t.enabled = true; });
    sentKeys();
    press("K02");
    editTool(tool.id, [](RadiologyTool& t) {
        t.repeatOnHoldEnabled = false;
        t.repeatSpeed = 1.0;
    });
    advance(400ms);
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40}));
    EXPECT_TRUE(model->isRepeating(keypad, "K02"));

    // A deleted mapping or a switch to a profile without it ends it too.
    store().removeMapping(keypad, "K02", activeUser().id);
    EXPECT_EQ(model->repeatTaskCount(), 0u);
    editTool(tool.id, [](RadiologyTool& t) { t.repeatOnHoldEnabled = true; });
    map("K02", tool.id);
    press("K02");
    store().createUserProfile("Second");
    EXPECT_EQ(model->repeatTaskCount(), 0u);
    advance(1s);
    EXPECT_EQ(sentKeys(), QList<int>{40});
}

TEST_F(RepeatOnHoldTest, NoResendOutlivesTheModel)
{
    map("K01", repeating(1.0).id);
    press("K01");
    sentKeys();
    model.reset();
    advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());
}
