// The udev rule scripts/install puts in place covers exactly the devices Velmor
// reads, both of their node kinds, and the virtual keyboard; the desktop entry
// it writes starts the installed program wherever the home folder is.

#include "platform/DesktopEntry.h"
#include "platform/permissions/LinuxPermissions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

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


TEST(InstallScript, AHomeWithSpacesAndShellOrSedCharactersGetsOneExecArgument)
{
    // The script runs from a copy of the checkout's few files it installs.
    QTemporaryDir root;
    const QString checkout = root.filePath("checkout");
    for (const QString file : {"scripts/install", "src/app/resources/VelmorMenuIcon.svg", "resources/linux/velmor.desktop"}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(checkout + '/' + file).path()));
        ASSERT_TRUE(QFile::copy(VELMOR_SOURCE_DIR "/" + file, checkout + '/' + file)) << file.toStdString();
    }
    const QString program = checkout + "/build/release/src/app/velmor";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()));
    ASSERT_TRUE(QFile::copy("/bin/true", program));
    ASSERT_TRUE(QFile::copy("/bin/true", program + "-icon-render"));

    const QString home = root.filePath(R"(a b|c&d\e$f"g`h%i'j #k)");
    ASSERT_TRUE(QDir().mkpath(home));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.remove("XDG_DATA_HOME");
    QProcess install;
    install.setProcessEnvironment(environment);
    install.start("bash", {checkout + "/scripts/install", "--no-rule"});
    ASSERT_TRUE(install.waitForFinished(60'000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    // The icon drawing process goes beside the program, where the program looks for it.
    EXPECT_TRUE(QFileInfo(home + "/.local/bin/velmor-icon-render").isExecutable());

    QFile entry(home + "/.local/share/applications/velmor.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QFile shipped(VELMOR_SOURCE_DIR "/resources/linux/velmor.desktop");
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    const QStringList expected = QString::fromUtf8(shipped.readAll()).split('\n');
    ASSERT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (expected[i] != "Exec=velmor") {
            EXPECT_EQ(lines[i], expected[i]);
            continue;
        }
        ASSERT_TRUE(lines[i].startsWith("Exec=")) << lines[i].toStdString();
        // A path with "%" goes through env: GLib looks for the program before it reads "%%".
        const QStringList arguments = desktopentry::execArguments(lines[i].mid(5)).value_or(QStringList{});
        EXPECT_EQ(arguments, (QStringList{"env", home + "/.local/bin/velmor"})) << lines[i].toStdString();
        EXPECT_TRUE(QFileInfo(arguments.value(1)).isExecutable());
    }
}
