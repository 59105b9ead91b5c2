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
#include <QUuid>

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
    QString profilesRecord() const { return cloudFolder() + "/records/profiles.json"; }
    QByteArray profilesRecordBytes() const
    {
        QFile file(profilesRecord());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

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
    // The machine's profiles file with one more user profile, a copy of the active one.
    static void addUser(const Machine& machine, const QString& name)
    {
        QJsonObject document = profiles(machine);
        QJsonArray users = document.value("userProfiles").toArray();
        for (const QJsonValue user : document.value("userProfiles").toArray()) {
            if (user["id"] == document.value("activeUserProfileId")) {
                QJsonObject copy = user.toObject();
                copy["id"] = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
                copy["name"] = name;
                users.append(copy);
            }
        }
        document["userProfiles"] = users;
        QFile file(machine.profilesPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(document).toJson());
    }
    static QStringList userNames(const Machine& machine)
    {
        QStringList names;
        for (const QJsonValue user : profiles(machine).value("userProfiles").toArray())
            names.append(user["name"].toString());
        names.sort();
        return names;
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(profilesRecord()); }, patienceMs));
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(profilesRecord()); }, patienceMs));
    const QByteArray uploaded = profilesRecordBytes();

    const auto b = makeMachine("b", cloudFolder());
    start(*b);
    EXPECT_TRUE(reaches(*b, "From A")) << userName(*b).toStdString();
    stop(*b);
    stop(*a);
    EXPECT_EQ(userName(*a).toStdString(), "From A");
    EXPECT_TRUE(profilesRecordBytes() == uploaded) << "the profiles record in the cloud was written again";
}

} // namespace

namespace {

// A machine whose first start found no cloud folder (a share mounted after login),
// and whose user then made a profile, meets the shared folder: it takes the profiles
// there, writes nothing over them, and keeps its own profile as an importable file.
TEST_F(TwoProcesses, AMachineEditedOfflineTakesTheCloudAndKeepsItsOwnProfileAsAFile)
{
    const auto a = firstStartedWithoutCloud("a");
    rename(*a, "From A", 60);
    start(*a);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(profilesRecord()); }, patienceMs));
    const QByteArray uploaded = profilesRecordBytes();
    const QStringList namesOnA = userNames(*a);

    const auto b = firstStartedWithoutCloud("b");
    addUser(*b, "BEdit");
    start(*b);
    EXPECT_TRUE(reaches(*b, "From A")) << userName(*b).toStdString();
    const QString kept = b->root + "/data/Velmor/BEdit (user profile).json";
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(kept); }, patienceMs));
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll())["profile"]["name"].toString().toStdString(), "BEdit");
    EXPECT_EQ(userNames(*b), namesOnA);

    // Started again, B changes nothing and keeps nothing twice.
    stop(*b);
    start(*b);
    stop(*b);
    stop(*a);
    EXPECT_EQ(userNames(*a), namesOnA);
    EXPECT_TRUE(profilesRecordBytes() == uploaded) << "the profiles record in the cloud was written again";
    EXPECT_EQ(QDir(b->root + "/data/Velmor").entryList({"*(user profile)*"}), QStringList{"BEdit (user profile).json"});
}

} // namespace

namespace {

// Two sessions (or two computers) with one home folder: each its own runtime folder,
// so neither sees the other's single-instance socket. The second start says who
// holds the data folder and quits without writing there; once the first has quit, it runs.
TEST_F(TwoProcesses, OneDataFolderHasOneRunningWriter)
{
    ASSERT_TRUE(QDir().mkpath(cloudFolder()));
    const auto a = makeMachine("a", cloudFolder());
    const auto b = makeMachine("b", cloudFolder());
    b->environment.insert("XDG_DATA_HOME", a->root + "/data");
    start(*a);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(profilesRecord()); }, patienceMs));
    const QDir data(a->root + "/data/Velmor");
    const QJsonObject profilesBefore = profiles(*a);

    b->process.setProcessEnvironment(b->environment);
    b->process.start(VELMOR_EXECUTABLE, {});
    ASSERT_TRUE(b->process.waitForFinished(patienceMs));
    EXPECT_EQ(b->process.exitCode(), 1);
    const QString told = QString::fromUtf8(b->process.readAllStandardError());
    EXPECT_NE(told.indexOf(QStringLiteral("Velmor is already running with the data folder")), -1) << told.toStdString();
    EXPECT_NE(told.indexOf(QStringLiteral("(process %1)").arg(a->process.processId())), -1) << told.toStdString();
    EXPECT_TRUE(b->process.readAllStandardOutput().isEmpty()) << "the second start got ready";

    QFile lock(data.filePath("velmor.lock"));
    ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
    EXPECT_TRUE(lock.readAll().startsWith(QByteArray::number(a->process.processId()) + '\n'));
    EXPECT_TRUE(data.entryList({"profiles.json.external*", "profiles.json.damaged*"}).isEmpty())
        << data.entryList().join(' ').toStdString();
    EXPECT_EQ(profiles(*a), profilesBefore);
    EXPECT_EQ(a->process.state(), QProcess::Running);

    stop(*a);
    start(*b);
    stop(*b);
    EXPECT_TRUE(data.entryList({"profiles.json.external*"}).isEmpty()) << data.entryList().join(' ').toStdString();
}

} // namespace
