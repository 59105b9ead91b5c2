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
        return addTool(shortcut(keyCode, "k"), std::nullopt, true, speed);
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
        map("K01", repeating(speed).id);
        press("K01");
        queue->advance(period - 1ms);
        EXPECT_EQ(sentKeys().size(), 1);
        queue->advance(1ms + period * 2);
        EXPECT_EQ(sentKeys().size(), 3);
        release("K01");
        queue->advance(period * 3);
        EXPECT_TRUE(sentKeys().isEmpty());
    }
}

TEST_F(RepeatOnHoldTest, OneTaskPerButtonOnlyForRepeatingToolsOnButtonsThatAllowIt)
{
    map("K01", repeating(1.0).id);
    map("K02", addTool(shortcut(1, "s")).id);
    press("K01");
    queue->advance(30ms);
    press("K01"); // sends once more; the running task and its timing stand
    press("K02");
    map("K03", repeating(1.0).id);
    press("K03", /*holdRepeat=*/false);
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 1, 40}));
    EXPECT_EQ(model->repeatTaskCount(), 1u);
    queue->advance(30ms);
    EXPECT_EQ(sentKeys(), QList<int>{40});
    release("K01");
    release("K09"); // nothing repeats there: nothing happens
    queue->advance(1s);
    EXPECT_TRUE(sentKeys().isEmpty());
}

TEST_F(RepeatOnHoldTest, AHeldToggleToolCyclesItsStepsWithoutLogging)
{
    map("K01", addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(18, "1"), shortcut(19, "2"), shortcut(20, "3")}, true, 1.0).id);
    press("K01");
    queue->advance(240ms);
    EXPECT_EQ(sentKeys(), (QList<int>{18, 19, 20, 18, 19}));
    EXPECT_EQ(logMessages().filter("Dispatch").size(), 1);
}

TEST_F(RepeatOnHoldTest, ARepeatEndsAtOnceWhenItsButtonWouldSendSomethingElse)
{
    RadiologyTool tool = repeating(0.0);
    const RadiologyTool other = repeating(1.0, 50);
    const auto heldThenChanged = [&](const std::function<void()>& change) {
        map("K01", tool.id);
        press("K01");
        change();
        const bool stopped = !model->isRepeating(keypad, "K01");
        queue->advance(1s);
        release("K01");
        return stopped;
    };
    EXPECT_TRUE(heldThenChanged([&] { map("K01", other.id); }));
    EXPECT_TRUE(heldThenChanged([&] { store().removeMapping(keypad, "K01", activeUser().id); }));
    EXPECT_TRUE(heldThenChanged([&] { editTool(tool, [](RadiologyTool& t) { t.enabled = false; }); }));
    editTool(tool, [](RadiologyTool& t) { t.enabled = true; });
    EXPECT_TRUE(heldThenChanged([&] { store().createUserProfile("Second"); }));
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 40, 40}));

    // Switching repeat-on-hold off leaves the running repeat alone, and its speed is fixed at the press.
    EXPECT_FALSE(heldThenChanged([&] {
        editTool(tool, [](RadiologyTool& t) {
            t.repeatOnHoldEnabled = false;
            t.repeatSpeed = 1.0;
        });
    }));
    EXPECT_EQ(sentKeys(), (QList<int>{40, 40, 40}));

    // The held button's next press repeats its new tool; the model's end ends it too.
    map("K01", other.id);
    press("K01");
    model.reset();
    queue->advance(1s);
    EXPECT_EQ(sentKeys(), QList<int>{50});
}
