// The real `velmor` executable, offscreen, in folders of its own; SIGTERM takes
// the same quit path as the menu's "Quit".

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class VelmorProcess : public ::testing::Test {
protected:
    // A process still running at the end is killed by its QProcess.
    VelmorProcess()
    {
        for (const auto& [variable, folder] : {std::pair{"HOME", "home"}, {"XDG_DATA_HOME", "data"},
                                               {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "runtime"},
                                               {"VELMOR_CLOUD_FOLDER", "cloud"}}) {
            QDir(root.path()).mkpath(folder);
            environment.insert(variable, path(folder));
        }
        QFile::setPermissions(path("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("VELMOR_READY", "print");
        // No desktop session: no notification service to reach.
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
    }

    QString path(const QString& name) const { return QDir(root.path()).filePath(name); }
    QString profilesPath() const { return path("data/Velmor/profiles.json"); }

    void start(QProcess& process)
    {
        process.setProcessEnvironment(environment);
        process.start(VELMOR_EXECUTABLE, {});
        ASSERT_TRUE(process.waitForStarted(30'000)) << process.errorString().toStdString();
    }
    std::string errors(QProcess& process) { return process.readAllStandardError().toStdString(); }

    QTemporaryDir root;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess velmor;
    QProcess second;
};

TEST_F(VelmorProcess, StartsHandsOverASecondStartQuitsCleanlyOnSigtermAndStartsAgain)
{
    start(velmor);
    while (!velmor.canReadLine())
        ASSERT_TRUE(velmor.waitForReadyRead(120'000)) << errors(velmor);
    const QString ready = QString::fromUtf8(velmor.readLine()).trimmed();
    const QRegularExpression format(R"(^velmor ready: since_exec_ms=\d+ since_main_ms=\d+ rss_kb=\d+$)");
    EXPECT_TRUE(format.match(ready).hasMatch()) << ready.toStdString();
    EXPECT_TRUE(QFile::exists(profilesPath())) << "loaded, seeded and saved at start";

    // A second start in the same data folder asks the first to show itself and ends.
    start(second);
    ASSERT_TRUE(second.waitForFinished(60'000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << errors(second);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty()) << "it never got as far as starting up";
    EXPECT_EQ(velmor.state(), QProcess::Running);

    QFile::remove(profilesPath());
    velmor.terminate(); // SIGTERM
    ASSERT_TRUE(velmor.waitForFinished(60'000));
    EXPECT_EQ(velmor.exitStatus(), QProcess::NormalExit) << errors(velmor);
    EXPECT_EQ(velmor.exitCode(), 0) << errors(velmor);

    EXPECT_TRUE(QFile::exists(profilesPath())) << "written again on the way out";
    EXPECT_TRUE(QFile::exists(path("config/autostart/velmor.desktop"))) << "the login item, in the test's folders";

    // The next start runs on its own, and the measuring hook quits it right after start-up.
    environment.insert("VELMOR_READY", "quit");
    start(second);
    ASSERT_TRUE(second.waitForFinished(120'000));
    EXPECT_EQ(second.exitCode(), 0) << errors(second);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardOutput()).startsWith("velmor ready: "));
}

} // namespace
