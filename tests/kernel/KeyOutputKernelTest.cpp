// Shortcuts against the kernel: what the shortcut executor posts through the
// uinput key output comes out of its virtual keyboard's evdev node as exactly
// these key events, in this order.

#include "KernelNodes.h"
#include "output/ShortcutExecutor.h"
#include "platform/keys/UinputKeyOutput.h"
#include "platform/permissions/Permissions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

using namespace velmor::test::kernel;
using namespace velmor::keys;

namespace {

// The evdev node of the input device named `name`; empty when there is none.
QString evdevNodeNamed(const QByteArray& name)
{
    const QString root = QStringLiteral("/sys/class/input");
    for (const QString& input : QDir(root).entryList({QStringLiteral("input*")}, QDir::Dirs | QDir::System)) {
        QFile file(root + QLatin1Char('/') + input + QStringLiteral("/name"));
        if (file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == name)
            return evdevNodeOfInput(input);
    }
    return {};
}

} // namespace

TEST(ShortcutsInKernel, PostedShortcutComesOutAsTheExactKeyEvents)
{
    if (::access(defaultUinputPath, W_OK) != 0) {
        if (insideTestVm())
            FAIL() << "/dev/uinput is missing in the test VM";
        GTEST_SKIP() << "no /dev/uinput here; this test runs through scripts/kernel-test";
    }
    UinputKeyOutput output;
    ASSERT_TRUE(output.isOpen());
    const QString node = evdevNodeNamed("Velmor Virtual Keyboard");
    ASSERT_FALSE(node.isEmpty());
    const FileDescriptor reader = FileDescriptor::open(node, O_RDONLY);

    // Accessibility on Linux: /dev/uinput is writable.
    velmor::ShortcutExecutor executor(output, velmor::Permissions::instance());
    ASSERT_TRUE(executor.hasAccessibilityPermission().get());
    using Modifiers = velmor::KeyboardShortcut::Modifiers;
    constexpr std::uint16_t keyC = 0x08;
    ASSERT_TRUE(executor.post(keyC, Modifiers{Modifiers::command, Modifiers::shift, Modifiers::control}));

    // Modifiers down as ⌃⇧⌘, the key, then all up in reverse; one frame each.
    const std::vector<std::pair<int, int>> expected{
        {KEY_LEFTCTRL, 1}, {KEY_LEFTSHIFT, 1}, {KEY_LEFTMETA, 1}, {KEY_C, 1},
        {KEY_C, 0},        {KEY_LEFTMETA, 0},  {KEY_LEFTSHIFT, 0}, {KEY_LEFTCTRL, 0},
    };
    for (const auto& [code, value] : expected) {
        const auto frame = readInputFrame(reader.get());
        ASSERT_TRUE(frame) << "no event for key " << code;
        EXPECT_EQ(*frame, (std::vector<InputEvent>{{EV_KEY, quint16(code), value}, {EV_SYN, SYN_REPORT, 0}}));
    }
}
