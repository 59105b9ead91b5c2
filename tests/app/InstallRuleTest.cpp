// The udev rule scripts/install puts in place covers exactly the devices Velmor
// reads, both of their node kinds, and the virtual keyboard.

#include "platform/permissions/LinuxPermissions.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velmor;

TEST(InstallRule, GivesTheSeatUserUinputAndBothNodesOfEveryKnownDevice)
{
    QFile file(QStringLiteral(VELMOR_SOURCE_DIR "/resources/linux/70-velmor.rules"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList rules;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n'))
        if (!line.isEmpty() && !line.startsWith('#'))
            rules << line;

    QStringList expected{R"(KERNEL=="uinput", SUBSYSTEM=="misc", TAG+="uaccess", OPTIONS+="static_node=uinput")"};
    for (const LinuxPermissions::UsbId& id : LinuxPermissions::knownDevices())
        for (const QString subsystem : {"hidraw", "input"})
            expected << QString(R"(SUBSYSTEM=="%1", ATTRS{idVendor}=="%2", ATTRS{idProduct}=="%3", TAG+="uaccess")")
                            .arg(subsystem)
                            .arg(id.vendor, 4, 16, QLatin1Char('0'))
                            .arg(id.product, 4, 16, QLatin1Char('0'));
    rules.sort();
    expected.sort();
    EXPECT_EQ(rules, expected);
}
