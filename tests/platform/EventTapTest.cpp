#include "platform/tap/ScriptedEventTap.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmor;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

TEST(EventTap, TheLinuxBackendAlwaysGivesATapThatSeesNothing)
{
    auto tap = EventTap::create(~EventTap::Mask{0}, [](const EventTap::Event&) { return Verdict::drop; });
    ASSERT_NE(tap, nullptr);
    EXPECT_TRUE(tap->attachToMainLoop());
}

TEST(ScriptedEventTap, OnlyAttachedEnabledTapsSeeTheTypesOfTheirMask)
{
    ScopedScriptedEventTaps taps;
    std::vector<Type> seen;
    auto tap = EventTap::create(EventTap::maskOf({Type::keyDown}), [&](const EventTap::Event& event) {
        seen.push_back(event.type);
        return event.keyCode == 7 ? Verdict::drop : Verdict::pass;
    });
    const auto keyDown = scripted::key(Type::keyDown, 7);
    EXPECT_EQ(taps.post(keyDown), Verdict::pass); // created disabled and detached
    tap->setEnabled(true);
    EXPECT_EQ(taps.post(keyDown), Verdict::pass);
    ASSERT_TRUE(tap->attachToMainLoop());
    EXPECT_EQ(taps.post(keyDown), Verdict::drop);
    EXPECT_EQ(taps.post(scripted::key(Type::keyUp, 7)), Verdict::pass); // outside the mask

    // The system times the tap out: it is told, and sees nothing until enabled again.
    taps.timeOut();
    EXPECT_FALSE(tap->isEnabled());
    EXPECT_EQ(taps.post(keyDown), Verdict::pass);
    EXPECT_EQ(seen, (std::vector<Type>{Type::keyDown, Type::tapDisabledByTimeout}));

    tap.reset();
    EXPECT_EQ(taps.liveCount(), 0u);
    taps.setCreateFails(true);
    EXPECT_EQ(EventTap::create(0, {}), nullptr);
    EXPECT_EQ(taps.createCount(), 2);
}
