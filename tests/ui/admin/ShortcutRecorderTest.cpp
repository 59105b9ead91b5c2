#include "ui/admin/KeyPressShortcut.h"
#include "ui/admin/ShortcutRecorderModel.h"

#include "model/KeyTables.h"
#include "output/ShortcutExecutor.h"
#include "platform/keys/LinuxKeyCodes.h"
#include "platform/keys/UinputKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"

#include <linux/input-event-codes.h>
#include <linux/uinput.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

namespace velmor {
namespace {

using M = KeyboardShortcut::Modifiers;
using Shortcut = std::optional<KeyboardShortcut>;

KeyPress press(int key, Qt::KeyboardModifiers modifiers = {}, QString text = {}, quint32 evdev = 0)
{
    return {evdev ? evdev + 8 : 0, key, modifiers, std::move(text)};
}

struct Recorder {
    Shortcut value;
    int writes = 0;
    ShortcutRecorderModel model{Binding<Shortcut>([this] { return value; }, [this](const Shortcut& next) {
        value = next;
        ++writes;
    })};
};

TEST(ShortcutRecorder, ListensForOneKeyAndEscapeKeepsWhatWasThere)
{
    Recorder recorder;
    recorder.value = KeyboardShortcut{13, "w", M{}};
    EXPECT_EQ(recorder.model.fieldText(), "W");
    EXPECT_FALSE(recorder.model.keyPressed(press(Qt::Key_A, {}, "a", KEY_A))) << "keys reach it only while listening";

    recorder.model.startRecording();
    recorder.model.startRecording();
    EXPECT_EQ(recorder.model.fieldText(), "Listening…");
    EXPECT_TRUE(recorder.model.keyPressed(press(Qt::Key_Escape, {}, "\x1b", KEY_ESC)));
    EXPECT_FALSE(recorder.model.isRecording());
    EXPECT_EQ(recorder.value, (KeyboardShortcut{13, "w", M{}}));
    EXPECT_EQ(recorder.writes, 0);

    // Escape without a shortcut leaves none; Escape known only by its Qt key cancels too.
    recorder.value.reset();
    recorder.model.startRecording();
    recorder.model.keyPressed(press(Qt::Key_Escape));
    EXPECT_FALSE(recorder.value);
    EXPECT_EQ(recorder.model.fieldText(), "Record");
}

TEST(ShortcutRecorder, ModifiersAloneKeepListeningAndTheNextKeyIsTakenWithThem)
{
    Recorder recorder;
    recorder.model.startRecording();
    EXPECT_TRUE(recorder.model.keyPressed(press(Qt::Key_Control, Qt::ControlModifier, {}, KEY_LEFTCTRL)));
    EXPECT_TRUE(recorder.model.keyPressed(press(Qt::Key_Shift, Qt::ShiftModifier | Qt::ControlModifier)));
    EXPECT_TRUE(recorder.model.keyPressed(press(0, Qt::MetaModifier, {}, KEY_RIGHTMETA)));
    EXPECT_TRUE(recorder.model.keyPressed(press(Qt::Key_CapsLock, {}, {}, KEY_CAPSLOCK)));
    EXPECT_TRUE(recorder.model.isRecording());
    EXPECT_EQ(recorder.writes, 0);

    // Ctrl+A: the letter in lower case, whatever control character the event carries.
    recorder.model.keyPressed(press(Qt::Key_A, Qt::ControlModifier, "\x01", KEY_A));
    EXPECT_FALSE(recorder.model.isRecording());
    EXPECT_EQ(recorder.value, (KeyboardShortcut{0, "a", M::control}));
    EXPECT_EQ(recorder.model.fieldText(), "⌃A");

    // A key without modifiers is a shortcut too; every modifier maps to its flag.
    recorder.model.startRecording();
    recorder.model.keyPressed(press(Qt::Key_F5, {}, {}, KEY_F5));
    EXPECT_EQ(recorder.value, (KeyboardShortcut{96, "F5", M{}}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_A, Qt::AltModifier, "å", KEY_A)).shortcut,
              (KeyboardShortcut{0, "a", M::option}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_A, Qt::MetaModifier, "a", KEY_A)).shortcut,
              (KeyboardShortcut{0, "a", M::command}));
    recorder.model.startRecording();
    recorder.model.keyPressed(press(Qt::Key_Exclam,
                                    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier, "!",
                                    KEY_1));
    EXPECT_EQ(recorder.value, (KeyboardShortcut{18, "1", M{M::shift, M::control, M::option, M::command}}));
    EXPECT_EQ(recorder.model.fieldText(), "⌃⌥⇧⌘1");
}

TEST(ShortcutRecorder, ClearRemovesTheShortcutWithoutTouchingListening)
{
    Recorder recorder;
    recorder.value = KeyboardShortcut{13, "w", M::command};
    recorder.model.clear();
    EXPECT_FALSE(recorder.value);
    EXPECT_FALSE(recorder.model.isRecording());
    EXPECT_EQ(recorder.model.look(), ShortcutRecorderModel::Look::placeholder);

    recorder.model.startRecording();
    recorder.model.clear();
    EXPECT_TRUE(recorder.model.isRecording());
    EXPECT_EQ(recorder.writes, 2);
}

TEST(KeyPressShortcut, TheKeysPlaceGivesTheCodeAndTheLayoutGivesTheText)
{
    // On a French layout the key at the Q place types "a": the code is that of the place.
    RecordedKey key = recordKeyPress(press(Qt::Key_A, {}, "a", KEY_Q));
    EXPECT_EQ(key.shortcut, (KeyboardShortcut{12, "a", M{}}));
    // An unshifted character of the layout is kept as typed.
    key = recordKeyPress(press(Qt::Key_Eacute, {}, "é", KEY_2));
    EXPECT_EQ(key.shortcut, (KeyboardShortcut{19, "é", M{}}));
    // Ctrl with a digit: the digit, not a control character.
    key = recordKeyPress(press(Qt::Key_1, Qt::ControlModifier, {}, KEY_1));
    EXPECT_EQ(key.shortcut, (KeyboardShortcut{18, "1", M::control}));
    // Keys without a character show what the built-in shortcuts show.
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Up, {}, {}, KEY_UP)).shortcut, (KeyboardShortcut{126, "↑", M{}}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Return, {}, "\r", KEY_ENTER)).shortcut, (KeyboardShortcut{36, "⏎", M{}}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Space, {}, " ", KEY_SPACE)).shortcut, (KeyboardShortcut{49, "␣", M{}}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Home, {}, {}, KEY_HOME)).shortcut.keyCode, 115);
}

TEST(KeyPressShortcut, WithoutAScanCodeTheQtKeyDecides)
{
    EXPECT_EQ(recordKeyPress(press(Qt::Key_W, Qt::ShiftModifier, "W")).shortcut, (KeyboardShortcut{13, "w", M::shift}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Question, Qt::ShiftModifier, "?")).shortcut,
              (KeyboardShortcut{44, "/", M::shift}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_F12)).shortcut, (KeyboardShortcut{111, "F12", M{}}));
    EXPECT_EQ(recordKeyPress(press(Qt::Key_5, Qt::KeypadModifier, "5")).shortcut.keyCode, 0x57);
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Enter, Qt::KeypadModifier, "\r")).shortcut.keyCode, 0x4C);
    // A key no shortcut can send is no answer: the recorder keeps listening.
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Launch0)).kind, RecordedKey::Kind::ignore);
    EXPECT_EQ(recordKeyPress(press(Qt::Key_Launch0, {}, {}, KEY_PROG1)).kind, RecordedKey::Kind::ignore);
}

// Every key the key tables know, pressed with Ctrl, is recorded with its own code
// and sent back through the virtual keyboard as the same evdev key.
TEST(KeyPressShortcut, ARecordedKeyIsPostedAsTheSameEvdevKey)
{
    std::set<std::uint16_t> macCodes;
    for (std::uint16_t code = 0; code < 128; ++code)
        if (keys::linuxKeyCode(code))
            macCodes.insert(code);
    for (const std::uint16_t code : keyCodesByName())
        macCodes.insert(code);
    for (const std::uint16_t code : specialKeyCodes())
        macCodes.insert(code);

    ScriptedPermissions permissions;
    permissions.accessibility = true;
    int tried = 0;
    for (const std::uint16_t mac : macCodes) {
        const auto evdev = keys::linuxKeyCode(mac);
        ASSERT_TRUE(evdev) << "no Linux key for code " << mac;
        const RecordedKey recorded = recordKeyPress(press(0, Qt::ControlModifier, {}, *evdev));
        if (mac == 53) {
            EXPECT_EQ(recorded.kind, RecordedKey::Kind::cancel);
            continue;
        }
        if (mac >= 0x36 && mac <= 0x3E) {
            EXPECT_EQ(recorded.kind, RecordedKey::Kind::ignore) << "modifier key " << mac;
            continue;
        }
        ASSERT_EQ(recorded.kind, RecordedKey::Kind::take) << mac;
        EXPECT_EQ(recorded.shortcut.keyCode, mac);

        const int device = ::memfd_create("uinput", MFD_CLOEXEC);
        keys::UinputKeyOutput output([device] { return UniqueFd(::dup(device)); });
        ShortcutExecutor executor(output, permissions);
        EXPECT_TRUE(executor.post(recorded.shortcut.keyCode, recorded.shortcut.modifiers));
        input_event events[16]{};
        const ssize_t bytes = ::pread(device, events, sizeof events, 0);
        ::close(device);
        std::vector<std::pair<int, int>> keysDown; // (code, value) of the key events
        for (ssize_t i = 0; i < bytes / ssize_t(sizeof(input_event)); ++i)
            if (events[i].type == EV_KEY)
                keysDown.emplace_back(events[i].code, events[i].value);
        EXPECT_EQ(keysDown, (std::vector<std::pair<int, int>>{{KEY_LEFTCTRL, 1}, {*evdev, 1}, {*evdev, 0}, {KEY_LEFTCTRL, 0}}))
            << "code " << mac;
        ++tried;
    }
    EXPECT_GT(tried, 90);
}

} // namespace
} // namespace velmor
