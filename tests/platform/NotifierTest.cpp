#include "platform/notifications/DBusNotifier.h"
#include "support/TestSupport.h"

#include <QDBusArgument>
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
            connection.send(message.createReply(QVariant(uint(notifications.size()))));
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
    unconnected.add({"id", "Title", "Body", {}});
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

    notifier.add({"0A5D0C2E-0000-4000-8000-000000000000", "Velmor profiles updated", "User profiles updated: Night", {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.notifications.isEmpty(); }));
    const QDBusMessage notify = fake.notifications[0];
    EXPECT_EQ(notify.interface(), DBusNotifier::serviceName);
    EXPECT_EQ(notify.signature(), "susssasa{sv}i");
    const QVariantList arguments = notify.arguments();
    EXPECT_EQ(arguments[0].toString(), "Velmor");
    EXPECT_EQ(arguments[1].toUInt(), 0u);
    EXPECT_EQ(arguments[3].toString(), "Velmor profiles updated");
    EXPECT_EQ(arguments[4].toString(), "User profiles updated: Night");
    EXPECT_EQ(arguments[5].toStringList(), (QStringList{"default", ""})) << "a click is the default action";
    EXPECT_EQ(qdbus_cast<QVariantMap>(arguments[6]), QVariantMap()) << "shown every way without a delegate";
    EXPECT_EQ(arguments[7].toInt(), -1);
}

// A synced profile's name reaches the service as text: escaped for a service
// that reads markup, as it is for one that does not, control characters visible
// for both; the request the delegate hears of keeps the name.
TEST_F(NotifierOverDBus, NamesInTheBodyAreNeverMarkupOrExtraLines)
{
    offerService();
    const QString names = "User profiles updated: <b>Night</b>, <a href=\"https://example.org/\">Day</a> & Co\n"
                          "Active PACS profile: x";
    fake.capabilities = {"body", "body-markup", "body-hyperlinks"};
    notifier.add({"markup", "Velmor profiles updated", names, {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.notifications.size() == 1; }));
    EXPECT_EQ(fake.notifications[0].arguments()[4].toString(),
              "User profiles updated: &lt;b&gt;Night&lt;/b&gt;, &lt;a href=\"https://example.org/\"&gt;Day&lt;/a&gt; "
              "&amp; Co\\nActive PACS profile: x");

    fake.capabilities = {"body", "body-hyperlinks"};
    notifier.add({"plain", QString("Velmor\n") + QChar(0x202E) + "updated", names, {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.notifications.size() == 2; }));
    const QVariantList plain = fake.notifications[1].arguments();
    EXPECT_EQ(plain[3].toString(), "Velmor\\n\\u{202E}updated");
    EXPECT_EQ(plain[4].toString(), "User profiles updated: <b>Night</b>, <a href=\"https://example.org/\">Day</a> & Co"
                                   "\\nActive PACS profile: x");
    EXPECT_EQ(DBusNotifier::bodyText("a \"b\" 'c'", true), "a \"b\" 'c'") << "quotes are text in the markup";
}

// Answers with the options the test sets and records what it hears.
struct ScriptedDelegate final : NotificationCenterDelegate {
    PresentationOptions options;
    QList<NotificationResponse> responses;
    void willPresent(const NotificationRequest&, std::function<void(PresentationOptions)> completion) override
    {
        completion(options);
    }
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override
    {
        responses.append(response);
        completion();
    }
};

TEST_F(NotifierOverDBus, TheDelegateChoosesHowItIsShownAndHearsClicksOnOursUntilTheyClose)
{
    offerService();
    ScriptedDelegate delegate;
    notifier.setDelegate(&delegate);
    const auto signal = [&](const QString& name, uint id, const QVariant& second) {
        QDBusMessage message = QDBusMessage::createSignal(DBusNotifier::objectPath, DBusNotifier::serviceName, name);
        message << id << second;
        ASSERT_TRUE(service.send(message));
    };

    delegate.options = {};
    notifier.add({"hidden", "T", "B", {}});
    delegate.options = PresentationOption::banner;
    const NotificationRequest pushed{"shown", "Velmor updated", "", {{"cloud", QVariantMap{{"type", 4}}}}};
    notifier.add(pushed);
    delegate.options = PresentationOption::sound | PresentationOption::list;
    notifier.add({"listed", "T", "B", {}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake.notifications.size() == 2; }));
    EXPECT_EQ(fake.notifications[0].arguments()[3].toString(), "Velmor updated") << "none: not shown at all";
    EXPECT_EQ(qdbus_cast<QVariantMap>(fake.notifications[0].arguments()[6]),
              (QVariantMap{{"transient", true}, {"suppress-sound", true}}));
    EXPECT_EQ(qdbus_cast<QVariantMap>(fake.notifications[1].arguments()[6]), QVariantMap());

    // Ids 1 and 2 are ours (the service answered before it sends these); 9 is another application's.
    signal("ActionInvoked", 9, "default");
    signal("ActionInvoked", 1, "default");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delegate.responses.isEmpty(); }));
    ASSERT_EQ(delegate.responses.size(), 1);
    EXPECT_EQ(delegate.responses.first().request, pushed);
    EXPECT_EQ(delegate.responses.first().actionIdentifier, "default");

    // Closed: a late click on it is not ours any more; the other still is.
    signal("NotificationClosed", 1, 2u);
    signal("ActionInvoked", 1, "default");
    signal("ActionInvoked", 2, "default");
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.responses.size() > 1; }));
    ASSERT_EQ(delegate.responses.size(), 2);
    EXPECT_EQ(delegate.responses.last().request.identifier, "listed");
    notifier.setDelegate(nullptr);
}

} // namespace
