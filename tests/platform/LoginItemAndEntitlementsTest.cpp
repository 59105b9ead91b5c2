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
}

TEST(XdgAutostartLoginItem, AnEntryTheUserDisabledIsNotEnabled)
{
    QTemporaryDir home;
    XdgAutostartLoginItem item(home.path(), QStringLiteral("/usr/bin/velmor"));
    ASSERT_TRUE(item.registerItem());
    test::writeFile(item.entryPath(), "[Desktop Entry]\nType=Application\nHidden=true\n");
    EXPECT_EQ(item.status(), Status::RequiresApproval);
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
