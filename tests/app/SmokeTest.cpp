// The real `velmor` executable, offscreen, in folders of its own; SIGTERM takes
// the same quit path as the menu's "Quit".

#include "platform/RegularFile.h"
#include "platform/cloud/folder/FolderCodec.h"
#include "sync/IconSyncBase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

// SIGTERM while a pass uploads 2,000 icons: the pass ends at its next step, and the
// process within the quit's time, with status 0 and no leak under the sanitizers.
TEST_F(VelmorProcess, ASigtermDuringAPassOver2000IconsEndsCleanly)
{
    environment.insert("VELMOR_READY", "quit");
    start(velmor); // makes the account in the cloud folder
    ASSERT_TRUE(velmor.waitForFinished(120'000));
    ASSERT_EQ(velmor.exitCode(), 0) << errors(velmor);
    const QString account = velmor::cloud::folder::decodeAccount(
        velmor::files::readRegular(path("cloud/account.json"), 4096).bytes.value_or(QByteArray()));
    ASSERT_FALSE(account.isEmpty());

    // 2,000 icons synced before, each drawn anew since: every one goes up.
    QHash<QString, velmor::IconSyncBase::Entry> synced;
    QDir().mkpath(path("data/Velmor/Icons"));
    for (int i = 0; i < 2000; ++i) {
        const QString name = QStringLiteral("i%1").arg(i, 4, 10, QLatin1Char('0'));
        QFile icon(path("data/Velmor/Icons/" + name + ".svg"));
        ASSERT_TRUE(icon.open(QIODevice::WriteOnly));
        icon.write(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width=")" +
                   QByteArray::number(i % 8 + 1) + R"(" height="8"/></svg>)");
        synced.insert(name, {name + ".svg", velmor::IconSyncBase::hashOf(name.toUtf8()), "", {}});
    }
    QFile base(path("data/Velmor/" + velmor::IconSyncBase::fileName));
    ASSERT_TRUE(base.open(QIODevice::WriteOnly));
    base.write(velmor::IconSyncBase::encode(account, synced));
    base.close();

    environment.insert("VELMOR_READY", "print");
    start(second);
    const auto uploaded = [&] { return QDir(path("cloud/records")).entryList({"i*.json"}, QDir::Files).size(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return uploaded() >= 3 || second.state() != QProcess::Running; }, 120'000));
    second.terminate(); // SIGTERM
    QElapsedTimer quitting;
    quitting.start();
    ASSERT_TRUE(second.waitForFinished(60'000));
    const std::string log = errors(second);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit) << log;
    EXPECT_EQ(second.exitCode(), 0) << log;
    EXPECT_EQ(log.find("LeakSanitizer"), std::string::npos) << log;
    EXPECT_LT(uploaded(), 2000) << "quit during the pass";
    EXPECT_LT(quitting.elapsed(), 10'000);
}

} // namespace
