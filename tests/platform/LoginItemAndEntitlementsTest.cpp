#include "platform/Entitlements.h"
#include "platform/LoginItem.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;
using Status = LoginItem::Status;

TEST(XdgAutostartLoginItem, RegisteringWritesAQuotedDesktopEntry)
{
    QTemporaryDir home;
    XdgAutostartLoginItem item(home.path(), QStringLiteral("/opt/My Apps/velmor"));
    EXPECT_EQ(item.status(), Status::NotRegistered);
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::Enabled);
    const QByteArray entry = test::readFile(home.filePath("autostart/velmor.desktop"));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/My Apps/velmor\"\n")) << entry.constData();

    // Quoting's escapes, then the value's, and '%' doubled so it is no field code.
    XdgAutostartLoginItem odd(home.path(), QStringLiteral("/opt/100% \"a\" $b `c` d\\e/velmor"));
    ASSERT_TRUE(odd.registerItem());
    EXPECT_TRUE(test::readFile(odd.entryPath()).contains(R"(Exec="/opt/100%% \\"a\\" \\$b \\`c\\` d\\\\e/velmor")"))
        << test::readFile(odd.entryPath()).constData();
}

TEST(XdgAutostartLoginItem, AnEntryTheUserSwitchedOffStaysOffAndUntouched)
{
    QTemporaryDir home;
    XdgAutostartLoginItem item(home.path(), QStringLiteral("/usr/bin/velmor"));
    ASSERT_TRUE(item.registerItem());
    const QByteArray registered = test::readFile(item.entryPath());
    const QList<QByteArray> off{
        registered + "Hidden=true\n",
        // What a desktop's start-up settings write, spaces and line ends as they come.
        "[Desktop Entry]\r\nType=Application\r\nExec=/usr/bin/velmor\r\nX-GNOME-Autostart-enabled = false\r\n",
        "[Desktop Entry]\nHidden=false\nHidden=1\n[Desktop Action x]\nHidden=false\n",
        registered + "X-GNOME-Autostart-enabled=no\n",
    };
    for (const QByteArray& entry : off) {
        test::writeFile(item.entryPath(), entry);
        EXPECT_EQ(item.status(), Status::RequiresApproval) << entry.constData();
        EXPECT_FALSE(item.registerItem());
        EXPECT_EQ(item.status(), Status::RequiresApproval);
        EXPECT_EQ(test::readFile(item.entryPath()), entry) << "rewritten";
    }
    const QList<QByteArray> on{
        registered + "Hidden=false\n",
        registered + "#Hidden=true\n",
        registered + "[Desktop Action x]\nHidden=true\nX-GNOME-Autostart-enabled=false\n",
        registered + "X-GNOME-Autostart-enabled=false\nX-GNOME-Autostart-enabled=true\n",
    };
    for (const QByteArray& entry : on) {
        test::writeFile(item.entryPath(), entry);
        EXPECT_EQ(item.status(), Status::Enabled) << entry.constData();
    }
}

TEST(XdgAutostartLoginItem, RegisterFailsWhenTheFolderCannotBeMade)
{
    QTemporaryDir home;
    test::writeFile(home.filePath("autostart"), "a file where the folder should be");
    XdgAutostartLoginItem item(home.path(), QStringLiteral("/usr/bin/velmor"));
    EXPECT_FALSE(item.registerItem());
    EXPECT_EQ(item.status(), Status::NotRegistered);
}

TEST(Entitlements, TheShippedBuildNamesTheVelmorContainer)
{
    Entitlements::resetCurrent();
    const auto current = Entitlements::current();
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->value("com.apple.developer.icloud-container-identifiers"), QJsonValue(QJsonArray{"iCloud.Velmor"}));
    EXPECT_EQ(current->value("com.apple.developer.icloud-services"), QJsonValue(QJsonArray{"CloudKit"}));
}

TEST(Entitlements, TestsCanReplaceOrRemoveThem)
{
    Entitlements::setCurrent(Entitlements(QJsonObject{{"key", QJsonArray{"a"}}}));
    ASSERT_TRUE(Entitlements::current());
    EXPECT_EQ(Entitlements::current()->value("key"), QJsonValue(QJsonArray{"a"}));
    Entitlements::setCurrent(std::nullopt);
    EXPECT_FALSE(Entitlements::current().has_value());
    Entitlements::resetCurrent();
    EXPECT_TRUE(Entitlements::current().has_value());
}
