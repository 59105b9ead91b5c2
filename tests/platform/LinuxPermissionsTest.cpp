#include "platform/permissions/LinuxPermissions.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

class LinuxPermissionsTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return root.filePath(relative); }
    void file(const QString& relative, const QByteArray& bytes = {})
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        test::writeFile(path(relative), bytes);
    }
    LinuxPermissions::Options options()
    {
        LinuxPermissions::Options o;
        o.devRoot = path("dev");
        o.sysRoot = path("sys");
        o.helpFolder = path("help");
        o.openUrl = [this](const QUrl& url) {
            opened << url;
            return openSucceeds;
        };
        return o;
    }

    QTemporaryDir root;
    QList<QUrl> opened;
    bool openSucceeds = true;
};

} // namespace

TEST_F(LinuxPermissionsTest, AccessibilityFollowsTheUinputNode)
{
    LinuxPermissions permissions(options());
    EXPECT_FALSE(permissions.isAccessibilityTrusted());
    EXPECT_FALSE(permissions.promptAccessibilityTrust());
    file("dev/uinput");
    EXPECT_TRUE(permissions.isAccessibilityTrusted());
}

TEST_F(LinuxPermissionsTest, InputMonitoringNeedsEveryNodeOfTheKnownDevices)
{
    LinuxPermissions permissions(options());
    EXPECT_TRUE(permissions.preflightInputMonitoring()); // nothing attached, nothing to read

    file("sys/class/hidraw/hidraw0/device/uevent", "DRIVER=hid-generic\nHID_ID=0003:00001532:00000244\nHID_NAME=pad\n");
    file("sys/class/hidraw/hidraw1/device/uevent", "HID_ID=0003:0000046D:0000C52B\n"); // someone else's mouse
    file("sys/class/hidraw/hidraw2/device/uevent", "HID_ID=garbage\n");
    file("sys/class/input/event3/device/id/vendor", "0911\n");
    file("sys/class/input/event3/device/id/product", "0c1c\n");
    file("sys/class/input/input3/device/id/vendor", "0911\n"); // not a node
    file("sys/class/input/input3/device/id/product", "0c1c\n");
    file("sys/class/input/event4/device/id/vendor", "1532\n"); // known vendor, unknown product
    file("sys/class/input/event4/device/id/product", "0001\n");
    EXPECT_EQ(permissions.knownDeviceNodes(), (QStringList{path("dev/hidraw0"), path("dev/input/event3")}));

    EXPECT_FALSE(permissions.preflightInputMonitoring());
    file("dev/hidraw0");
    EXPECT_FALSE(permissions.requestInputMonitoring()); // one node is still out of reach
    file("dev/input/event3");
    EXPECT_TRUE(permissions.preflightInputMonitoring());
}

TEST_F(LinuxPermissionsTest, OpenSettingsWritesTheHelpAndOpensItAtTheAnchor)
{
    LinuxPermissions permissions(options());
    ASSERT_TRUE(permissions.openSettings(Permissions::inputMonitoringAnchor));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toLocalFile(), path("help/Permissions.html"));
    EXPECT_EQ(opened[0].fragment(), "Privacy_ListenEvent");

    const QString page = QString::fromUtf8(test::readFile(path("help/Permissions.html")));
    EXPECT_TRUE(page.contains(R"(id="Privacy_Accessibility")"));
    EXPECT_TRUE(page.contains(R"(id="Privacy_ListenEvent")"));
    EXPECT_TRUE(page.contains(R"(KERNEL=="uinput")"));
    EXPECT_TRUE(page.contains(R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="0911", ATTRS{idProduct}=="0c1c", TAG+="uaccess")"));
    EXPECT_TRUE(page.contains(R"(SUBSYSTEM=="input", ATTRS{idVendor}=="1532", ATTRS{idProduct}=="022b", TAG+="uaccess")"));

    openSucceeds = false;
    EXPECT_FALSE(permissions.openSettings(Permissions::accessibilityAnchor));
}

TEST_F(LinuxPermissionsTest, OpenSettingsOpensNothingWhenTheHelpCannotBeWritten)
{
    file("help"); // a file where the folder should be
    LinuxPermissions permissions(options());
    EXPECT_FALSE(permissions.openSettings(Permissions::accessibilityAnchor));
    EXPECT_TRUE(opened.isEmpty());
}
