// The udev rule scripts/install puts in place covers exactly the devices Velmor
// reads, both of their node kinds, and the virtual keyboard.

#include "platform/permissions/LinuxPermissions.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;

TEST(InstallRule, GivesTheSeatUserUinputAndBothNodesOfEveryKnownDevice)
{
    QFile file(QStringLiteral(VELMOR_SOURCE_DIR "/resources/linux/70-velmor.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');

    const QRegularExpression device(
        R"re(^SUBSYSTEM=="(hidraw|input)", ATTRS\{idVendor\}=="([0-9a-f]{4})", ATTRS\{idProduct\}=="([0-9a-f]{4})", TAG\+="uaccess"$)re");
    QSet<QString> covered;
    bool uinput = false;
    for (const QString& line : lines) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith("KERNEL==\"uinput\"")) {
            uinput = line.contains("TAG+=\"uaccess\"") && line.contains("static_node=uinput");
            continue;
        }
        const QRegularExpressionMatch match = device.match(line);
        ASSERT_TRUE(match.hasMatch()) << "not a rule of the expected form: " << line.toStdString();
        covered.insert(match.captured(1) + ':' + match.captured(2) + ':' + match.captured(3));
    }
    EXPECT_TRUE(uinput);

    QSet<QString> expected;
    for (const LinuxPermissions::UsbId& id : LinuxPermissions::knownDevices())
        for (const char* subsystem : {"hidraw", "input"})
            expected.insert(QStringLiteral("%1:%2:%3")
                                .arg(QLatin1String(subsystem))
                                .arg(id.vendor, 4, 16, QLatin1Char('0'))
                                .arg(id.product, 4, 16, QLatin1Char('0')));
    EXPECT_EQ(covered, expected);
}
