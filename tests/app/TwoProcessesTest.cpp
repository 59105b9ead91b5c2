// Two real `velmor` processes, each with folders of its own, sharing one cloud
// folder as two machines of one user would. A change is made the way a machine
// that was off makes it: in its profiles file, dated, before it starts.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int patienceMs = 120'000;

class TwoProcesses : public ::testing::Test {
protected:
    struct Machine {
        QString root;
        QProcessEnvironment environment;
        // Killed by its QProcess when still running at the end.
        QProcess process;
        QString profilesPath() const { return root + "/data/Velmor/profiles.json"; }
    };

    std::unique_ptr<Machine> makeMachine(const QString& name, const QString& cloudFolder)
    {
        auto machine = std::make_unique<Machine>();
        machine->root = QDir(root.path()).filePath(name);
        machine->environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [variable, folder] : {std::pair{"HOME", "home"}, {"XDG_DATA_HOME", "data"},
                                               {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "runtime"}}) {
            QDir(machine->root).mkpath(folder);
            machine->environment.insert(variable, machine->root + '/' + folder);
        }
        QFile::setPermissions(machine->root + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        machine->environment.insert("VELMOR_CLOUD_FOLDER", cloudFolder);
        machine->environment.insert("QT_QPA_PLATFORM", "offscreen");
        machine->environment.insert("VELMOR_READY", "print");
        machine->environment.remove("DBUS_SESSION_BUS_ADDRESS");
        return machine;
    }
    QString cloudFolder() const { return QDir(root.path()).filePath("cloud"); }

    // A machine whose profiles a first start made without a cloud folder (a configured
    // folder that is missing pauses the sync); its next start uses the shared one.
    std::unique_ptr<Machine> firstStartedWithoutCloud(const QString& name)
    {
        EXPECT_TRUE(QDir().mkpath(cloudFolder()));
        auto machine = makeMachine(name, QDir(root.path()).filePath("missing-cloud"));
        machine->environment.insert("VELMOR_READY", "quit");
        start(*machine);
        EXPECT_TRUE(machine->process.waitForFinished(patienceMs));
        machine->environment.insert("VELMOR_READY", "print");
        machine->environment.insert("VELMOR_CLOUD_FOLDER", cloudFolder());
        return machine;
    }

    // Started and through its start-up.
    static void start(Machine& machine)
    {
        machine.process.setProcessEnvironment(machine.environment);
        machine.process.start(VELMOR_EXECUTABLE, {});
        ASSERT_TRUE(machine.process.waitForStarted(patienceMs)) << machine.process.errorString().toStdString();
        while (!machine.process.canReadLine())
            ASSERT_TRUE(machine.process.waitForReadyRead(patienceMs)) << errors(machine);
        ASSERT_TRUE(machine.process.readLine().startsWith("velmor ready: "));
    }
    static void stop(Machine& machine)
    {
        machine.process.terminate();
        ASSERT_TRUE(machine.process.waitForFinished(patienceMs));
        ASSERT_EQ(machine.process.exitCode(), 0) << errors(machine);
    }
    static std::string errors(Machine& machine) { return machine.process.readAllStandardError().toStdString(); }

    static QJsonObject profiles(const Machine& machine)
    {
        QFile file(machine.profilesPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }
    // The name of the active user profile in the machine's profiles file.
    static QString userName(const Machine& machine)
    {
        const QJsonObject document = profiles(machine);
        for (const QJsonValue user : document.value("userProfiles").toArray()) {
            if (user["id"] == document.value("activeUserProfileId"))
                return user["name"].toString();
        }
        return {};
    }
    // The machine's profiles file with the active user renamed, changed `secondsAgo`.
    static void rename(const Machine& machine, const QString& name, int secondsAgo)
    {
        QJsonObject document = profiles(machine);
        QJsonArray users = document.value("userProfiles").toArray();
        for (qsizetype i = 0; i < users.size(); ++i) {
            QJsonObject user = users[i].toObject();
            if (user["id"] == document.value("activeUserProfileId")) {
                user["name"] = name;
                users[i] = user;
            }
        }
        document["userProfiles"] = users;
        QFile file(machine.profilesPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(document).toJson());
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo),
                                     QFileDevice::FileModificationTime));
    }
    // Waits, handling events, until the machine's active user has that name.
    static bool reaches(const Machine& machine, const QString& name)
    {
        return QTest::qWaitFor([&] { return userName(machine) == name; }, patienceMs / 2);
    }

    QTemporaryDir root;
};

TEST_F(TwoProcesses, AChangeReachesTheOtherMachineAndTheLaterOfTwoEditsWins)
{
    // Both machines begin with the same profiles, made by A's first start.
    const auto a = firstStartedWithoutCloud("a");
    const auto b = makeMachine("b", cloudFolder());
    QDir().mkpath(b->root + "/data/Velmor");
    ASSERT_TRUE(QFile::copy(a->profilesPath(), b->profilesPath()));

    // B's edit is the later one, but A uploads first: B's edit wins on both.
    rename(*a, "From A", 20);
    rename(*b, "From B", 10);
    start(*a);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(cloudFolder() + "/records/profiles.json"); }, patienceMs));
    start(*b);
    EXPECT_TRUE(reaches(*a, "From B")) << userName(*a).toStdString();
    EXPECT_EQ(userName(*b).toStdString(), "From B");

    // A change made while A runs on: older than A's taking B's profiles, newer than
    // B's edit that it holds, so it reaches A.
    stop(*b);
    rename(*b, "From B again", 5);
    start(*b);
    EXPECT_TRUE(reaches(*a, "From B again")) << userName(*a).toStdString();
    stop(*a);
    stop(*b);
}

// A machine installed later starts with built-in profiles that nobody changed: it
// takes the user's profiles from the cloud instead of sending its own there.
TEST_F(TwoProcesses, AFreshInstallTakesTheProfilesInTheCloud)
{
    const auto a = firstStartedWithoutCloud("a");
    rename(*a, "From A", 60);
    start(*a);
    const QString record = cloudFolder() + "/records/profiles.json";
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(record); }, patienceMs));
    const auto recordBytes = [&record] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray uploaded = recordBytes();

    const auto b = makeMachine("b", cloudFolder());
    start(*b);
    EXPECT_TRUE(reaches(*b, "From A")) << userName(*b).toStdString();
    stop(*b);
    stop(*a);
    EXPECT_EQ(userName(*a).toStdString(), "From A");
    EXPECT_TRUE(recordBytes() == uploaded) << "the profiles record in the cloud was written again";
}

} // namespace
