#include "platform/DesktopEntry.h"
#include "platform/Entitlements.h"
#include "platform/LoginItem.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;
using Status = LoginItem::Status;

namespace {

// A program that exists at `path` (its folders made), so the entry naming it works.
QString program(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    test::writeFile(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString execOf(const QString& entryPath)
{
    return QString::fromUtf8(desktopentry::value(test::readFile(entryPath), "Exec").value_or("(none)"));
}

} // namespace

TEST(XdgAutostartLoginItem, AnyPathIsWrittenSoThatLaunchersRunThatProgram)
{
    ScopedInMemorySettings settings;
    QTemporaryDir home;
    const QString plain = program(home.filePath("My Apps/velmor"));
    XdgAutostartLoginItem item(home.path(), plain, home.path());
    EXPECT_EQ(item.status(), Status::NotRegistered);
    ASSERT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::Enabled);
    const QByteArray entry = test::readFile(home.filePath("autostart/velmor.desktop"));
    EXPECT_EQ(entry, "[Desktop Entry]\nType=Application\nName=Velmor\nExec=\"" + plain.toUtf8()
                         + "\"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");

    // Quoting's escapes, then the value's; "%" doubled, and handed to env, since GLib
    // looks for the program under the text before "%%" is read back.
    EXPECT_EQ(desktopentry::execValue("/opt/100% \"a\" $b `c` d\\e/velmor"),
              R"(env "/opt/100%% \\"a\\" \\$b \\`c\\` d\\\\e/velmor")");
    for (const char* odd : {"/100% sure/velmor", "/it's \"quoted\"/velmor", "/$HOME `x` a\\b/velmor", "/tab\there/velmor"}) {
        ScopedInMemorySettings ownSettings; // each its own user
        QTemporaryDir other;
        const QString path = program(other.path() + QString::fromUtf8(odd));
        XdgAutostartLoginItem oddItem(other.path(), path, other.path());
        ASSERT_TRUE(oddItem.registerItem()) << odd;
        EXPECT_EQ(oddItem.status(), Status::Enabled) << odd;
        const QString exec = execOf(oddItem.entryPath());
        EXPECT_EQ(desktopentry::execProgram(exec), path) << exec.toStdString();
        EXPECT_EQ(exec.startsWith("env \""), path.contains('%')) << exec.toStdString();
        EXPECT_FALSE(exec.contains('\t')) << "a tab is escaped in the value";
    }
}

TEST(XdgAutostartLoginItem, ExecValuesReadAsALauncherReadsThem)
{
    const QList<std::pair<QString, std::optional<QString>>> cases{
        {"velmor", "velmor"},
        {"/usr/bin/velmor --minimized %U", "/usr/bin/velmor"},
        {"\"/a b/velmor\" %f", "/a b/velmor"},
        {"env VELMOR_CLOUD_FOLDER=/x \"/a%%b/velmor\"", "/a%b/velmor"},
        {"\"/a\\sb/velmor\"", "/a b/velmor"}, // the value's escapes first, then the quoting
        {"\"/unclosed", std::nullopt},
        {"", std::nullopt},
        {"env", std::nullopt},
    };
    for (const auto& [exec, expected] : cases)
        EXPECT_EQ(desktopentry::execProgram(exec), expected) << exec.toStdString();
}

TEST(XdgAutostartLoginItem, AnEntryTheUserSwitchedOffOrRemovedStaysSoAndUntouched)
{
    ScopedInMemorySettings settings;
    QTemporaryDir home;
    XdgAutostartLoginItem item(home.path(), program(home.filePath("bin/velmor")), home.path());
    ASSERT_TRUE(item.registerItem());
    const QByteArray registered = test::readFile(item.entryPath());
    const QList<QByteArray> off{
        registered + "Hidden=true\n",
        // What a desktop's start-up settings write, spaces and line ends as they come.
        "[Desktop Entry]\r\nType=Application\r\nExec=/gone/velmor\r\nX-GNOME-Autostart-enabled = false\r\n",
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

    // Removed, as a desktop's start-up settings remove it: it stays removed on this machine.
    ASSERT_TRUE(QFile::remove(item.entryPath()));
    EXPECT_EQ(item.status(), Status::RequiresApproval);
    EXPECT_FALSE(item.registerItem());
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    // Settings brought to another machine: there it is written anew.
    settings->setValue(XdgAutostartLoginItem::rememberedKey, "another machine");
    EXPECT_EQ(item.status(), Status::NotRegistered);
    EXPECT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), Status::Enabled);

    // An entry the user added through the desktop counts as seen: removed, it stays removed.
    settings->remove(XdgAutostartLoginItem::rememberedKey);
    test::writeFile(item.entryPath(), registered + "Comment=added by the desktop\n");
    EXPECT_EQ(item.status(), Status::Enabled);
    QFile::remove(item.entryPath());
    EXPECT_EQ(item.status(), Status::RequiresApproval);
}

TEST(XdgAutostartLoginItem, PointsAtTheInstalledProgramAndIsRepairedWhenItsProgramIsGone)
{
    ScopedInMemorySettings settings;
    QTemporaryDir config;
    QTemporaryDir data;
    const QString built = program(data.filePath("build/velmor"));
    XdgAutostartLoginItem fromBuild(config.path(), built, data.path());
    ASSERT_TRUE(fromBuild.registerItem());
    EXPECT_EQ(execOf(fromBuild.entryPath()), '"' + built + '"');

    // Installed: the menu's entry names the installed program, and Velmor's own entry,
    // whichever copy runs, is written again for it.
    const QString installed = program(data.filePath("home 100%/.local/bin/velmor"));
    QDir().mkpath(data.filePath("applications"));
    test::writeFile(data.filePath("applications/velmor.desktop"),
                    "[Desktop Entry]\nName=Velmor\nExec=" + desktopentry::execValue(installed).toUtf8() + "\n");
    EXPECT_EQ(fromBuild.program(), installed);
    EXPECT_EQ(fromBuild.status(), Status::NotRegistered);
    ASSERT_TRUE(fromBuild.registerItem());
    EXPECT_EQ(desktopentry::execProgram(execOf(fromBuild.entryPath())), installed);
    EXPECT_EQ(fromBuild.status(), Status::Enabled);

    // An entry the user edited is theirs while its program runs.
    const QByteArray edited = "[Desktop Entry]\nType=Application\nExec=\"" + built.toUtf8() + "\" --quiet\n";
    test::writeFile(fromBuild.entryPath(), edited);
    EXPECT_EQ(fromBuild.status(), Status::Enabled);
    EXPECT_TRUE(fromBuild.registerItem());
    EXPECT_EQ(test::readFile(fromBuild.entryPath()), edited);

    // Its program gone (the build folder removed): written again, for the installed one.
    ASSERT_TRUE(QDir(data.filePath("build")).removeRecursively());
    EXPECT_EQ(fromBuild.status(), Status::NotRegistered);
    ASSERT_TRUE(fromBuild.registerItem());
    EXPECT_EQ(desktopentry::execProgram(execOf(fromBuild.entryPath())), installed);

    // Uninstalled too: the entry names the program that runs.
    ASSERT_TRUE(QFile::remove(installed));
    const QString other = program(config.filePath("elsewhere/velmor"));
    XdgAutostartLoginItem running(config.path(), other, data.path());
    EXPECT_EQ(running.status(), Status::NotRegistered);
    ASSERT_TRUE(running.registerItem());
    EXPECT_EQ(execOf(running.entryPath()), '"' + other + '"');
}

TEST(XdgAutostartLoginItem, RegisterFailsWhenTheFolderCannotBeMade)
{
    ScopedInMemorySettings settings;
    QTemporaryDir home;
    test::writeFile(home.filePath("autostart"), "a file where the folder should be");
    XdgAutostartLoginItem item(home.path(), QStringLiteral("/usr/bin/velmor"), home.path());
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
