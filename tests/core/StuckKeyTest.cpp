// Presses on a scripted keypad, through the HID source's decoding, into the
// model's dispatch: a long random session of presses, releases, unplugs,
// profile switches and remappings never leaves a repeat running for a button
// that is not held, and held keys do repeat.
#include "support/AppModelFixture.h"

#include <QSet>

#include <random>

using namespace velmor;
using namespace velmor::test;

namespace {

const QStringList keyIds{"K01", "K02", "K03", "K04", "K05", "K06"};
const QList<std::uint32_t> keyUsages{0x1E, 0x1F, 0x20, 0x21, 0x22, 0x2B};

hid::Element key(int index) { return {20u + index, hid::ElementType::inputButton, 7, keyUsages[index], false}; }

class StuckKeyTest : public AppModelFixture {
protected:
    StuckKeyTest() { start(); }
};

TEST_F(StuckKeyTest, NoRepeatOutlivesItsButtonInARandomSession)
{
    QList<RadiologyTool> tools;
    for (int i = 0; i < keyIds.size(); ++i) {
        tools.append(addTool(shortcut(30 + i, "t"), std::nullopt, true, i / 5.0));
        map(keyIds[i], tools[i].id);
    }
    const UserProfile first = activeUser();
    // The second profile maps some keys to a repeating toggle and leaves K06 unmapped.
    const RadiologyTool toggle = addTool(std::nullopt, QList<KeyboardShortcut>{shortcut(40, "a"), shortcut(41, "b")}, true, 1.0);
    store().createUserProfile("Second", store().activePacsProfileId().get());
    for (int i = 0; i < 5; ++i)
        map(keyIds[i], i % 2 ? toggle.id : tools[5 - i].id);
    store().removeMapping(keypad, "K06", activeUser().id);
    const UserProfile second = activeUser();

    std::shared_ptr<hid::ScriptedDevice> device = plugKeypad();
    std::mt19937 random(20240611);
    const auto pick = [&](int from, int to) { return std::uniform_int_distribution(from, to)(random); };
    QSet<int> held;
    int presses = 0, repeatingSteps = 0;
    for (int step = 0; step < 2000; ++step) {
        const int action = pick(0, 99);
        const int index = pick(0, keyIds.size() - 1);
        if (!device && action < 75) {
            device = plugKeypad();
        } else if (action < 40) {
            device->sendValue(key(index), 1);
            held.insert(index);
            ++presses;
        } else if (action < 75) {
            device->sendValue(key(index), 0);
            held.remove(index);
        } else if (action < 80) {
            if (device)
                hid.unplug(device);
            device.reset();
            held.clear();
        } else if (action < 84) {
            store().selectUserProfile(store().activeUserProfileId().get() == first.id ? second : first);
        } else if (action < 86) {
            map(keyIds[index], tools[pick(0, tools.size() - 1)].id);
        } else {
            queue->advance(std::chrono::milliseconds(pick(1, 500)));
        }
        queue->runUntilIdle();
        repeatingSteps += model->repeatTaskCount() > 0;
        for (int i = 0; i < keyIds.size(); ++i)
            ASSERT_FALSE(!held.contains(i) && model->isRepeating(keypad, keyIds[i])) << "step " << step << ", key " << i;
    }
    EXPECT_GT(presses, 600);
    EXPECT_GT(repeatingSteps, 1000) << "held keys do repeat";
    EXPECT_FALSE(sentKeys().isEmpty());
}

} // namespace
