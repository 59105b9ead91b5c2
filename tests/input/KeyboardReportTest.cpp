#include "input/KeyboardReport.h"
#include "input/TartarusTables.h"

#include <QVariant>

#include <gtest/gtest.h>

using namespace velmor;
using Usages = QSet<std::uint32_t>;

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}
} // namespace

TEST(KeyboardReport, TheBestScoringReadingThatFitsWinsAndTiesKeepTheEarlierOne)
{
    // Boot layout with left shift and 'a': A scores 22, nothing beats it.
    EXPECT_EQ(decodeKeyboardReport(bytes({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00})), (Usages{0x04, 0xE1}));
    // Bitmap from byte 1 (14) beats the boot reading {0x1E} (11); bitmap from byte 2 (11) does not.
    EXPECT_EQ(decodeKeyboardReport(bytes({0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00})),
              (Usages{0x09, 0x0A, 0x0B, 0x0C}));
    // Bitmap from byte 2 wins when only it lands on a keypad key.
    EXPECT_EQ(decodeKeyboardReport(bytes({0x00, 0x00, 0x10, 0x00})), (Usages{0x04}));
    // A ({0x2C}) and B ({0xE1}) both score 11: the boot reading without report id stays.
    EXPECT_EQ(decodeKeyboardReport(bytes({0x00, 0x02, 0x2C, 0x00})), (Usages{0x2C}));
    EXPECT_TRUE(decodeKeyboardReport(QByteArray(8, '\0')).isEmpty());
    EXPECT_TRUE(decodeKeyboardReport({}).isEmpty());

    // Short reports have only the readings that fit.
    const QByteArray two = bytes({0xFF, 0x01});
    EXPECT_TRUE(bootReportUsages(two, 0, 2).isEmpty());
    EXPECT_TRUE(bootReportUsages(two, 1, 3).isEmpty());
    EXPECT_EQ(bitmapReportUsages(two, 1), (Usages{0}));
    EXPECT_TRUE(bitmapReportUsages(two, 2).isEmpty());

    const QByteArray one = bytes({0xFF});
    EXPECT_TRUE(bitmapReportUsages(one, 1).isEmpty());
    EXPECT_TRUE(decodeKeyboardReport(one).isEmpty());

    // Key codes 0 to 3 are "no key" and error codes; every modifier bit counts.
    EXPECT_EQ(bootReportUsages(bytes({0x81, 0x00, 0x01, 0x02, 0x03, 0x04}), 0, 2), (Usages{0xE0, 0xE7, 0x04}));
    EXPECT_EQ(bitmapReportUsages(bytes({0x00, 0x80, 0x01}), 1), (Usages{7, 8}));
}

TEST(KeyboardReport, LogLinesKeyboardInterfacesAndTheirReportBuffers)
{
    const QByteArray report = bytes({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(keyboardReportLogLine(0, report, decodeKeyboardReport(report)),
              "Tartarus Pro keyboard report id 0 len 8 bytes [02 00 04 00 00 00 00 00] usages [0x0004, 0x00E1]");
    EXPECT_EQ(keyboardReportLogLine(3, QByteArray(2, '\0'), {}),
              "Tartarus Pro keyboard report id 3 len 2 bytes [00 00] usages []");

    QByteArray longReport;
    for (int i = 0; i < 20; ++i)
        longReport.append(static_cast<char>(0xA0 + i));
    EXPECT_EQ(keyboardReportLogLine(4294967295u, longReport, {0x1234, 0x05}),
              "Tartarus Pro keyboard report id 4294967295 len 20 bytes "
              "[A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF] usages [0x0005, 0x1234]");

    // Keyboard interfaces and their report buffers.
    EXPECT_TRUE(isKeyboardInterface(1, 6.0));
    EXPECT_FALSE(isKeyboardInterface(1, 2)); // mouse
    EXPECT_FALSE(isKeyboardInterface(QStringLiteral("1"), QStringLiteral("6")));
    EXPECT_EQ(keyboardReportBufferLength(90), 90);
    EXPECT_EQ(keyboardReportBufferLength(63), 64);
    EXPECT_EQ(keyboardReportBufferLength(QStringLiteral("128")), 64);
    EXPECT_EQ(keyboardReportBufferLength(QVariant(1LL << 40)), 65536);
}

TEST(TartarusTables, EveryFactoryKeyCodeBelongsToAKeypadButton)
{
    for (auto it = tartarusUsageToKeycode().cbegin(); it != tartarusUsageToKeycode().cend(); ++it) {
        EXPECT_TRUE(tartarusUsageMap().contains(0x70000 | it.key())) << it.key();
        EXPECT_TRUE(tartarusKeycodes().contains(it.value())) << it.key();
    }
}
