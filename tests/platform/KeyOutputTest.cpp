#include "platform/keys/LinuxKeyCodes.h"
#include "platform/keys/UinputKeyOutput.h"

#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

using namespace velmor::keys;
using velmor::UniqueFd;

namespace {

struct Ev {
    int type;
    int code;
    int value;
    bool operator==(const Ev&) const = default;
};
void PrintTo(const Ev& e, std::ostream* os) { *os << '{' << e.type << ',' << e.code << ',' << e.value << '}'; }

std::vector<Ev> press(int key, int value) { return {{EV_KEY, key, value}, {EV_SYN, SYN_REPORT, 0}}; }
std::vector<Ev> concat(std::initializer_list<std::vector<Ev>> parts)
{
    std::vector<Ev> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A memfd standing in for the uinput device: every opener call hands out a new descriptor of it.
class FakeDevice {
public:
    FakeDevice() : fd_(::memfd_create("uinput", MFD_CLOEXEC)) {}
    UinputKeyOutput::Opener opener()
    {
        return [this] {
            ++opens;
            return UniqueFd(::dup(fd_.get()));
        };
    }
    std::vector<Ev> written(bool* stampsZero = nullptr) const
    {
        std::vector<input_event> raw(64);
        const ssize_t n = ::pread(fd_.get(), raw.data(), raw.size() * sizeof(input_event), 0);
        EXPECT_EQ(n % ssize_t(sizeof(input_event)), 0);
        std::vector<Ev> events;
        bool zero = true;
        for (ssize_t i = 0; i < n / ssize_t(sizeof(input_event)); ++i) {
            events.push_back({raw[i].type, raw[i].code, raw[i].value});
            zero = zero && raw[i].time.tv_sec == 0 && raw[i].time.tv_usec == 0;
        }
        if (stampsZero)
            *stampsZero = zero;
        return events;
    }
    int opens = 0;

private:
    UniqueFd fd_;
};

} // namespace

TEST(LinuxKeyCodes, EveryCatalogueKeyTypesTheKeyAtItsPlace)
{
    struct Row {
        const char* name;
        std::uint16_t mac;
        int evdev;
    };
    // The named keys and special keys shortcuts are built from, with the Linux key at the same place.
    const Row rows[] = {
        {"a", 0, KEY_A}, {"s", 1, KEY_S}, {"d", 2, KEY_D}, {"f", 3, KEY_F}, {"h", 4, KEY_H}, {"g", 5, KEY_G},
        {"z", 6, KEY_Z}, {"x", 7, KEY_X}, {"c", 8, KEY_C}, {"v", 9, KEY_V}, {"b", 11, KEY_B}, {"q", 12, KEY_Q},
        {"w", 13, KEY_W}, {"e", 14, KEY_E}, {"r", 15, KEY_R}, {"y", 16, KEY_Y}, {"t", 17, KEY_T}, {"1", 18, KEY_1},
        {"2", 19, KEY_2}, {"3", 20, KEY_3}, {"4", 21, KEY_4}, {"6", 22, KEY_6}, {"5", 23, KEY_5},
        {"=", 24, KEY_EQUAL}, {"9", 25, KEY_9}, {"7", 26, KEY_7}, {"-", 27, KEY_MINUS}, {"8", 28, KEY_8},
        {"0", 29, KEY_0}, {"]", 30, KEY_RIGHTBRACE}, {"o", 31, KEY_O}, {"u", 32, KEY_U}, {"[", 33, KEY_LEFTBRACE},
        {"i", 34, KEY_I}, {"p", 35, KEY_P}, {"return", 36, KEY_ENTER}, {"l", 37, KEY_L}, {"j", 38, KEY_J},
        {"'", 39, KEY_APOSTROPHE}, {"k", 40, KEY_K}, {";", 41, KEY_SEMICOLON}, {"\\", 42, KEY_BACKSLASH},
        {",", 43, KEY_COMMA}, {"/", 44, KEY_SLASH}, {"n", 45, KEY_N}, {"m", 46, KEY_M}, {".", 47, KEY_DOT},
        {"tab", 48, KEY_TAB}, {"space", 49, KEY_SPACE}, {"`", 50, KEY_GRAVE}, {"backspace", 51, KEY_BACKSPACE},
        {"escape", 53, KEY_ESC},
        {"left", 123, KEY_LEFT}, {"right", 124, KEY_RIGHT}, {"down", 125, KEY_DOWN}, {"up", 126, KEY_UP},
        {"page up", 116, KEY_PAGEUP}, {"page down", 121, KEY_PAGEDOWN},
        {"F1", 122, KEY_F1}, {"F2", 120, KEY_F2}, {"F3", 99, KEY_F3}, {"F4", 118, KEY_F4}, {"F5", 96, KEY_F5},
        {"F6", 97, KEY_F6}, {"F7", 98, KEY_F7}, {"F8", 100, KEY_F8}, {"F9", 101, KEY_F9}, {"F10", 109, KEY_F10},
        {"F11", 103, KEY_F11}, {"F12", 111, KEY_F12},
        // further keys a recorded shortcut can hold
        {"forward delete", 117, KEY_DELETE}, {"home", 115, KEY_HOME}, {"end", 119, KEY_END},
        {"F13", 105, KEY_F13}, {"F16", 106, KEY_F16}, {"F17", 64, KEY_F17}, {"F20", 90, KEY_F20},
        {"keypad 0", 0x52, KEY_KP0}, {"keypad 1", 0x53, KEY_KP1}, {"keypad 7", 0x59, KEY_KP7},
        {"keypad 8", 0x5B, KEY_KP8}, {"keypad enter", 0x4C, KEY_KPENTER}, {"keypad clear", 0x47, KEY_NUMLOCK},
    };
    for (const Row& row : rows)
        EXPECT_EQ(linuxKeyCode(row.mac), std::optional<std::uint16_t>(row.evdev)) << row.name;

    // Gaps of the virtual key codes, the function key and codes beyond the keyboard type nothing.
    for (const std::uint16_t unmapped : {0x34, 0x3F, 0x42, 0x44, 0x46, 0x4D, 0x6C, 0x70, 0x7F, 0x80, 0xFFFF})
        EXPECT_EQ(linuxKeyCode(unmapped), std::nullopt) << unmapped;

    // No two virtual key codes type the same Linux key.
    const QList<std::uint16_t> codes = mappedLinuxKeyCodes();
    EXPECT_EQ(QSet<std::uint16_t>(codes.begin(), codes.end()).size(), codes.size());
    EXPECT_TRUE(codes.contains(KEY_LEFTCTRL) && codes.contains(KEY_LEFTALT) && codes.contains(KEY_LEFTSHIFT)
                && codes.contains(KEY_LEFTMETA));
}

TEST(UinputKeyOutput, ModifiersGoDownControlOptionShiftCommandAroundTheKeyEachSynced)
{
    FakeDevice device;
    UinputKeyOutput output(device.opener());
    const EventFlags all = shiftFlag | controlFlag | optionFlag | commandFlag;
    ASSERT_TRUE(output.postKey(0x24, true, all));
    ASSERT_TRUE(output.postKey(0x24, false, all));
    // The numeric-pad flag and bits without a modifier key add no events.
    ASSERT_TRUE(output.postKey(0x52, true, numericPadFlag | 0x10000 | 0x1));
    bool stampsZero = false;
    EXPECT_EQ(device.written(&stampsZero),
              concat({press(KEY_LEFTCTRL, 1), press(KEY_LEFTALT, 1), press(KEY_LEFTSHIFT, 1), press(KEY_LEFTMETA, 1),
                      press(KEY_ENTER, 1), press(KEY_ENTER, 0), press(KEY_LEFTMETA, 0), press(KEY_LEFTSHIFT, 0),
                      press(KEY_LEFTALT, 0), press(KEY_LEFTCTRL, 0), press(KEY_KP0, 1)}));
    EXPECT_TRUE(stampsZero);
}

TEST(UinputKeyOutput, AKeystrokeIsOneWriteOfTheDownThenTheUp)
{
    // A datagram socket keeps each write apart.
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const UniqueFd device(ends[0]);
    const UniqueFd reader(ends[1]);
    UinputKeyOutput output([&] { return UniqueFd(::dup(device.get())); });
    ASSERT_TRUE(output.postKeyStroke(0x08, controlFlag | shiftFlag));
    EXPECT_FALSE(output.postKeyStroke(0x3F, 0)); // an unmapped key writes nothing

    std::vector<input_event> raw(32);
    const ssize_t n = ::recv(reader.get(), raw.data(), raw.size() * sizeof(input_event), MSG_DONTWAIT);
    ASSERT_GT(n, 0);
    std::vector<Ev> events;
    for (ssize_t i = 0; i < n / ssize_t(sizeof(input_event)); ++i)
        events.push_back({raw[i].type, raw[i].code, raw[i].value});
    EXPECT_EQ(events, concat({press(KEY_LEFTCTRL, 1), press(KEY_LEFTSHIFT, 1), press(KEY_C, 1), press(KEY_C, 0),
                              press(KEY_LEFTSHIFT, 0), press(KEY_LEFTCTRL, 0)}));
    EXPECT_LT(::recv(reader.get(), raw.data(), raw.size() * sizeof(input_event), MSG_DONTWAIT), 0);

    // The longest stroke: all four modifiers around the key, twenty events in one write.
    ASSERT_TRUE(output.postKeyStroke(0x24, shiftFlag | controlFlag | optionFlag | commandFlag | numericPadFlag));
    const ssize_t longest = ::recv(reader.get(), raw.data(), raw.size() * sizeof(input_event), MSG_DONTWAIT);
    ASSERT_EQ(longest, ssize_t(20 * sizeof(input_event)));
    events.clear();
    for (int i = 0; i < 20; ++i)
        events.push_back({raw[i].type, raw[i].code, raw[i].value});
    EXPECT_EQ(events, concat({press(KEY_LEFTCTRL, 1), press(KEY_LEFTALT, 1), press(KEY_LEFTSHIFT, 1),
                              press(KEY_LEFTMETA, 1), press(KEY_ENTER, 1), press(KEY_ENTER, 0), press(KEY_LEFTMETA, 0),
                              press(KEY_LEFTSHIFT, 0), press(KEY_LEFTALT, 0), press(KEY_LEFTCTRL, 0)}));
}

TEST(UinputKeyOutput, KeepsOneDeviceAndPostsNothingForAnUnmappedKey)
{
    FakeDevice device;
    UinputKeyOutput output(device.opener());
    EXPECT_EQ(device.opens, 1); // created up front, before the first shortcut
    EXPECT_FALSE(output.postKey(0x3F, true, commandFlag));
    EXPECT_FALSE(output.postKey(0x3F, false, commandFlag));
    EXPECT_TRUE(device.written().empty()); // not even the modifier
    EXPECT_TRUE(output.postKey(13, true, 0));
    EXPECT_TRUE(output.postKey(13, false, 0));
    EXPECT_EQ(device.written(), concat({press(KEY_W, 1), press(KEY_W, 0)}));
    EXPECT_EQ(device.opens, 1);
}

TEST(UinputKeyOutput, RetriesTheDeviceAfterAFailedOpenOrWrite)
{
    FakeDevice device;
    int attempts = 0;
    UinputKeyOutput output([&]() -> UniqueFd {
        switch (attempts++) {
        case 0: return {};                                        // no device yet
        case 1: return UniqueFd(::open("/dev/null", O_RDONLY)); // a descriptor that refuses writes
        default: return device.opener()();
        }
    });
    EXPECT_FALSE(output.isOpen());
    EXPECT_FALSE(output.postKey(13, true, 0)); // opens the read-only one, the write fails
    EXPECT_FALSE(output.isOpen());
    EXPECT_TRUE(output.postKey(13, true, 0));
    EXPECT_EQ(attempts, 3);
    EXPECT_EQ(device.written(), press(KEY_W, 1));
}

TEST(UinputKeyOutput, CreatingTheKeyboardFailsOnAMissingNodeOrANonDevice)
{
    QTemporaryDir dir;
    EXPECT_FALSE(createVirtualKeyboard(QFile::encodeName(dir.filePath("uinput")).constData()));
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(createVirtualKeyboard(QFile::encodeName(plain.fileName()).constData()));
}

TEST(UinputKeyOutput, RealDeviceDeliversTheShortcutToItsEventNode)
{
    if (::access(defaultUinputPath, W_OK) != 0)
        GTEST_SKIP() << "no writable " << defaultUinputPath;
    UniqueFd fd = createVirtualKeyboard();
    ASSERT_TRUE(fd);
    char sysname[64] = {};
    ASSERT_GE(::ioctl(fd.get(), UI_GET_SYSNAME(sizeof sysname), sysname), 0);
    const QStringList nodes = QDir(QStringLiteral("/sys/devices/virtual/input/") + sysname)
                                  .entryList({QStringLiteral("event*")}, QDir::Dirs);
    UniqueFd reader;
    if (!nodes.isEmpty())
        reader.reset(::open(QFile::encodeName("/dev/input/" + nodes.first()).constData(), O_RDONLY | O_NONBLOCK));

    UinputKeyOutput output([&] { return std::move(fd); });
    ASSERT_TRUE(output.postKey(13, true, commandFlag));
    ASSERT_TRUE(output.postKey(13, false, commandFlag));
    if (!reader)
        GTEST_SKIP() << "the virtual keyboard's event node is not readable here";
    std::vector<Ev> keys;
    input_event event{};
    while (::read(reader.get(), &event, sizeof event) == ssize_t(sizeof event))
        if (event.type == EV_KEY)
            keys.push_back({event.type, event.code, event.value});
    EXPECT_EQ(keys, (std::vector<Ev>{{EV_KEY, KEY_LEFTMETA, 1}, {EV_KEY, KEY_W, 1}, {EV_KEY, KEY_W, 0},
                                     {EV_KEY, KEY_LEFTMETA, 0}}));
}
