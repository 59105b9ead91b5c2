#include "platform/notifications/DBusNotifier.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace velmor;
using namespace velmor::test;
using Status = NotificationSettings::AuthorizationStatus;
using Setting = NotificationSettings::Setting;

namespace {

// A notification service of our own: answers with the capabilities it is given
// and records every Notify call.
class FakeNotificationService final : public QDBusVirtualObject {
public:
    QStringList capabilities;
    QList<QDBusMessage> notifications;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QVariant(capabilities)));
        } else if (message.member() == "Notify") {
            notifications.append(message);
            connection.send(message.createReply(QVariant(1u)));
        } else {
            return false;
        }
        return true;
    }
};

// A session bus of the test's own, so nothing reaches the desktop's.
class NotifierOverDBus : public PlatformFixture {
protected:
    void SetUp() override
    {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        const QString config = supportPath("bus.conf");
        writeFile(config, QString("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                                  "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\"><busconfig>"
                                  "<type>session</type><listen>unix:dir=%1</listen><policy context=\"default\">"
                                  "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                                  "<allow own=\"*\"/></policy></busconfig>")
                              .arg(supportDir.path())
                              .toUtf8());
        bus.start(daemon, {"--config-file=" + config, "--print-address", "--nofork"});
        ASSERT_TRUE(bus.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        ASSERT_TRUE(QDBusConnection::connectToBus(address, clientName).isConnected());
        service = QDBusConnection::connectToBus(address, serviceName);
        ASSERT_TRUE(service.isConnected());
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(clientName);
        QDBusConnection::disconnectFromBus(serviceName);
        bus.kill();
        bus.waitForFinished();
    }
    void offerService()
    {
        ASSERT_TRUE(service.registerVirtualObject(DBusNotifier::objectPath, &fake));
        ASSERT_TRUE(service.registerService(DBusNotifier::serviceName));
    }
    // Waits for the answer, which comes on a later turn of the main loop.
    template <typename T>
    T answer(const std::function<void(std::function<void(T)>)>& ask)
    {
        std::optional<T> result;
        ask([&](T value) { result = value; });
        EXPECT_FALSE(result);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            queue->runUntilIdle();
            return result.has_value();
        }));
        return result.value_or(T{});
    }
    NotificationSettings settings(Notifier& n)
    {
        return answer<NotificationSettings>([&](auto done) { n.getNotificationSettings(done); });
    }
    bool granted(Notifier& n)
    {
        return answer<bool>([&](auto done) { n.requestAuthorization([done](bool g, auto) { done(g); }); });
    }

    const QString clientName = "velmor-test-client";
    const QString serviceName = "velmor-test-service";
    QProcess bus;
    QDBusConnection service{QString()};
    FakeNotificationService fake;
    DBusNotifier notifier{clientName};
};

TEST_F(NotifierOverDBus, DeniedWhileNoServiceIsOnTheBus)
{
    const NotificationSettings denied{Status::denied, Setting::disabled, Setting::disabled, Setting::notSupported};
    EXPECT_EQ(settings(notifier), denied);
    EXPECT_FALSE(granted(notifier));
    DBusNotifier unconnected("no-such-connection");
    EXPECT_EQ(settings(unconnected), denied);
    unconnected.add({"id", "Title", "Body"});
}

TEST_F(NotifierOverDBus, AuthorizedWhileTheServiceAnswersAndNotificationsReachIt)
{
    offerService();
    fake.capabilities = {"body"};
    EXPECT_EQ(settings(notifier), (NotificationSettings{Status::authorized, Setting::enabled, Setting::notSupported,
                                                        Setting::notSupported}));
    fake.capabilities = {"body", "sound"};
    EXPECT_EQ(settings(notifier).soundSetting, Setting::enabled);
    EXPECT_TRUE(granted(notifier));

    notifier.add({"0A5D0C2E-0000-4000-8000-000000000000", "Velmor profiles updated", "User profiles updated: Night"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.notifications.isEmpty(); }));
    const QDBusMessage notify = fake.notifications[0];
    EXPECT_EQ(notify.interface(), DBusNotifier::serviceName);
    EXPECT_EQ(notify.signature(), "susssasa{sv}i");
    const QVariantList arguments = notify.arguments();
    EXPECT_EQ(arguments[0].toString(), "Velmor");
    EXPECT_EQ(arguments[1].toUInt(), 0u);
    EXPECT_EQ(arguments[3].toString(), "Velmor profiles updated");
    EXPECT_EQ(arguments[4].toString(), "User profiles updated: Night");
    EXPECT_EQ(arguments[7].toInt(), -1);
}

} // namespace
