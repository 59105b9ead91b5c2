// A long random session on a scripted keypad: presses, releases, unplugs,
// re-plugs, profile switches and remappings, with time passing. Whatever the
// order, a button that is not held has no repeat running.
#include "AppModelFixture.h"

#include <QSet>

#include <random>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

constexpr int keyCount = 6;
const QStringList keyIds{"K01", "K02", "K03", "K04", "K05", "K06"};
const std::uint32_t keyUsages[keyCount]{0x1E, 0x1F, 0x20, 0x21, 0x22, 0x2B};

hid::Element keyElement(int index)
{
    return {static_cast<std::uint32_t>(20 + index), hid::ElementType::inputButton, 7, keyUsages[index], false};
}

class StuckKeyTest : public AppModelFixture {
protected:
    std::shared_ptr<hid::ScriptedDevice> plugKeypad()
    {
        auto device = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
        queue->runUntilIdle();
        return device;
    }

    void expectNoRepeatWithoutItsButton(const QSet<int>& held, int step)
    {
        for (int i = 0; i < keyCount; ++i) {
            if (!held.contains(i)) {
                ASSERT_FALSE(model->isRepeating(keypad, keyIds[i])) << "step " << step << ": " << keyIds[i].toStdString();
            }
        }
        if (held.isEmpty()) {
            ASSERT_EQ(model->repeatTaskCount(), 0u) << "step " << step;
        }
    }
};

} // namespace

TEST_F(StuckKeyTest, NoRepeatOutlivesItsButton)
{
    start();
    // Repeating tools on every key, at several speeds; the second profile maps
    // some keys elsewhere and leaves one unmapped.
    QList<RadiologyTool> tools;
    for (int i = 0; i < keyCount; ++i)
        tools.append(addTool(QStringLiteral("Tool %1").arg(i), shortcut(static_cast<std::uint16_t>(30 + i), "t"),
                             std::nullopt, true, i / 5.0));
    const RadiologyTool toggle = addTool("Toggle", std::nullopt,
                                         QList<KeyboardShortcut>{shortcut(40, "a"), shortcut(41, "b")}, true, 1.0);
    for (int i = 0; i < keyCount; ++i)
        map(keyIds[i], tools[i].id);
    const QUuid firstUser = activeUser().id;
    store().createUserProfile("Second", store().activePacsProfileId.get());
    queue->runUntilIdle();
    for (int i = 0; i < keyCount - 1; ++i)
        map(keyIds[i], i % 2 ? toggle.id : tools[keyCount - 1 - i].id);
    store().removeMapping(keypad, keyIds[keyCount - 1], activeUser().id);
    const QUuid secondUser = activeUser().id;

    std::shared_ptr<hid::ScriptedDevice> device = plugKeypad();
    std::mt19937 random(20240611);
    QSet<int> held;
    int presses = 0;
    for (int step = 0; step < 2000; ++step) {
        const int action = std::uniform_int_distribution(0, 99)(random);
        const int key = std::uniform_int_distribution(0, keyCount - 1)(random);
        if (!device && action < 75) {
            device = plugKeypad();
        } else if (action < 40) {
            if (device) {
                device->sendValue(keyElement(key), 1);
                held.insert(key);
                ++presses;
            }
        } else if (action < 75) {
            if (device) {
                device->sendValue(keyElement(key), 0);
                held.remove(key);
            }
        } else if (action < 80) {
            if (device) {
                hid.unplug(device);
                device.reset();
                held.clear();
            } else {
                device = plugKeypad();
            }
        } else if (action < 84) {
            const QUuid target = store().activeUserProfileId.get() == firstUser ? secondUser : firstUser;
            for (const UserProfile& profile : store().userProfiles.get())
                if (profile.id == target)
                    store().selectUserProfile(profile);
        } else if (action < 86) {
            map(keyIds[key], tools[std::uniform_int_distribution(0, keyCount - 1)(random)].id);
        } else {
            advance(std::chrono::milliseconds(std::uniform_int_distribution(1, 500)(random)));
        }
        queue->runUntilIdle();
        expectNoRepeatWithoutItsButton(held, step);
    }
    EXPECT_GT(presses, 600);
    EXPECT_FALSE(output.posts.isEmpty());

    // Everything let go: time passes and nothing more is sent.
    if (device)
        for (int i = 0; i < keyCount; ++i)
            device->sendValue(keyElement(i), 0);
    queue->runUntilIdle();
    output.posts.clear();
    advance(5s);
    EXPECT_TRUE(output.posts.isEmpty());
    EXPECT_EQ(model->repeatTaskCount(), 0u);
}
