#include "platform/tap/ScriptedEventTap.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velmor;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

TEST(EventTap, TheLinuxTapSeesNothingSoNothingIsDropped)
{
    std::vector<EventTap::Event> seen;
    auto tap = EventTap::create(~EventTap::Mask{0}, [&](const EventTap::Event& event) {
        seen.push_back(event);
        return Verdict::drop;
    });
    ASSERT_NE(tap, nullptr);
    EXPECT_TRUE(tap->attachToMainLoop());
    tap->setEnabled(true);
    EXPECT_TRUE(tap->isEnabled());
    EXPECT_TRUE(seen.empty());
}

TEST(ScriptedEventTap, OnlyAttachedEnabledTapsSeeTheTypesOfTheirMask)
{
    ScopedScriptedEventTaps taps;
    std::vector<Type> seen;
    auto tap = EventTap::create(EventTap::maskOf({Type::keyDown, Type::scrollWheel}), [&](const EventTap::Event& event) {
        seen.push_back(event.type);
        return event.keyCode == 7 ? Verdict::drop : Verdict::pass;
    });
    ASSERT_NE(tap, nullptr);
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 7)), Verdict::pass); // created disabled
    ASSERT_TRUE(tap->attachToMainLoop());
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 7)), Verdict::pass);
    tap->setEnabled(true);
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 7)), Verdict::drop);
    EXPECT_EQ(taps.post(scripted::key(Type::keyUp, 7)), Verdict::pass); // outside the mask
    EXPECT_EQ(taps.post(scripted::scroll(1)), Verdict::pass);
    tap->detachFromMainLoop();
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 7)), Verdict::pass);
    EXPECT_EQ(seen, (std::vector<Type>{Type::keyDown, Type::scrollWheel}));

    tap.reset();
    EXPECT_EQ(taps.liveCount(), 0u);
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 7)), Verdict::pass);
}

TEST(ScriptedEventTap, TimeOutDisablesTheTapAndTellsItsCallback)
{
    ScopedScriptedEventTaps taps;
    std::vector<Type> seen;
    std::unique_ptr<EventTap> tap;
    tap = EventTap::create(EventTap::maskOf({Type::keyDown}), [&](const EventTap::Event& event) {
        seen.push_back(event.type);
        return Verdict::drop;
    });
    tap->attachToMainLoop();
    tap->setEnabled(true);
    taps.timeOut();
    EXPECT_FALSE(tap->isEnabled());
    EXPECT_EQ(seen, (std::vector<Type>{Type::tapDisabledByTimeout}));
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 1)), Verdict::pass);
    tap->setEnabled(true);
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 1)), Verdict::drop);
    EXPECT_EQ(taps.current()->enableCount(), 2);
}

TEST(ScriptedEventTap, CreationAndAttachmentFailuresAreScripted)
{
    ScopedScriptedEventTaps taps;
    taps.setCreateFails(true);
    EXPECT_EQ(EventTap::create(0, {}), nullptr);
    taps.setCreateFails(false);
    taps.setAttachFails(true);
    auto tap = EventTap::create(EventTap::maskOf({Type::keyDown}), [](const EventTap::Event&) { return Verdict::drop; });
    ASSERT_NE(tap, nullptr);
    EXPECT_FALSE(tap->attachToMainLoop());
    tap->setEnabled(true);
    EXPECT_EQ(taps.post(scripted::key(Type::keyDown, 1)), Verdict::pass);
    EXPECT_EQ(taps.createCount(), 2);
}
