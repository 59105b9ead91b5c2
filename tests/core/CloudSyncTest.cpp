#include "support/AppModelFixture.h"

#include "platform/cloud/Notification.h"
#include "sync/CloudKitProfileSync.h"

#include <QJsonArray>
#include <QRegularExpression>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;
using Type = cloud::Notification::Type;
using Status = NotificationSettings::AuthorizationStatus;
using Setting = NotificationSettings::Setting;

namespace {

class CloudSync : public AppModelFixture {
protected:
    // Log lines appended since the last call.
    QStringList newLines()
    {
        const QStringList all = logMessages();
        return all.mid(std::exchange(seen, all.size()));
    }
    // An empty id: none.
    void push(Type type, const QString& subscriptionID = {})
    {
        cloud::Notification notification;
        notification.type = type;
        if (!subscriptionID.isEmpty())
            notification.subscriptionID = subscriptionID;
        model->handleRemoteNotification(notification.toRemoteNotificationDictionary());
        queue->runUntilIdle();
    }
    // The report's lines, without the notice of its findings that closes it.
    QStringList diagnose()
    {
        model->runCloudDiagnostics();
        queue->runUntilIdle();
        QStringList lines = newLines();
        EXPECT_TRUE(!lines.isEmpty() && lines.takeLast().startsWith("[info] Cloud Sync Diagnostics: CloudKit account "));
        return lines;
    }

    qsizetype seen = 0;
};

TEST_F(CloudSync, RegisteringLogsTheTokenAndTakesThePushesOfAnotherMachine)
{
    start();
    model->registerForRemoteNotifications();
    queue->advance(2s);
    EXPECT_EQ(newLines().filter(QRegularExpression("^APNs token registered: [0-9a-f]{32}$")).size(), 1);

    // Another machine saves the profiles record; its pushes reach the model through the container.
    cloud.makeClient()->privateCloudDatabase()->saveRecord(cloud.storedRecord("profiles").value(), [](auto, auto) {});
    queue->advance(5s);
    EXPECT_EQ(newLines().filter("CloudKit push received: type=").size(), 2);
}

TEST_F(CloudSync, PushesAreLoggedAndSyncOnlyForRecordChanges)
{
    start();
    newLines();
    const int fetches = cloud.callCount(Call::fetchRecord);
    push(Type::query);
    push(Type::recordZone, "zone-sub");
    push(Type::readNotification, "r");
    push(Type::database, "db");
    push(static_cast<Type>(7), "x");
    model->handleRemoteNotification({{"aps", QVariantMap{{"alert", "Velmor updated"}}}});
    EXPECT_EQ(newLines(), (QStringList{"CloudKit push received: type=query, subscriptionID=nil",
                                       "CloudKit push received: type=zone, subscriptionID=zone-sub",
                                       "CloudKit push received: type=read, subscriptionID=r",
                                       "CloudKit push received: type=database, subscriptionID=db",
                                       "CloudKit push received: type=unknown, subscriptionID=x",
                                       "CloudKit push received: unable to decode notification."}));
    EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, 3);
}

TEST_F(CloudSync, WithoutTheSyncCommandsWarnPushesAreOnlyLoggedAndDiagnosticsStillReport)
{
    Entitlements::setCurrent(Entitlements(QJsonObject{}));
    start();
    model->resetCloudSubscriptions(); // a warning alert, logged with its severity
    EXPECT_EQ(logMessages().last(), "[warning] Cloud Sync Unavailable: CloudKit is not enabled for this build.");
    newLines();
    push(Type::query);
    EXPECT_EQ(newLines(), QStringList{"CloudKit push received: type=query, subscriptionID=nil"});
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 0);

    // Every step of the report says what the cloud answered.
    cloud.setAccountStatus(cloud::AccountStatus::noAccount);
    const QString noAccount = "No cloud account is available.";
    EXPECT_EQ(diagnose(), (QStringList{"CloudKit account status: noAccount", "CloudKit user record ID error: " + noAccount,
                                       "CloudKit subscriptions error: " + noAccount,
                                       "CloudKit profiles record error: " + noAccount}));
    cloud.setAccountStatus(cloud::AccountStatus::available);
    cloud.failNext(Call::accountStatus, cloud::Error(cloud::Error::Code::serviceUnavailable));
    cloud.answerNothingNext(Call::fetchUserRecordID);
    EXPECT_EQ(diagnose(), (QStringList{"CloudKit account status error: The cloud database is busy. Try again later.",
                                       "CloudKit user record ID error: An internal error occurred in the cloud database.",
                                       "CloudKit subscriptions: none found.", "CloudKit profiles record: not found."}));

    // An empty folder where the database was gets no database from the diagnostics.
    cloud.setDatabaseGone(true);
    EXPECT_EQ(diagnose(), (QStringList{"CloudKit account status: available",
                                       "CloudKit user record ID: none, “memory:/cloud” holds no database.",
                                       "CloudKit subscriptions: none found.", "CloudKit profiles record: not found."}));
    EXPECT_FALSE(cloud.hasDatabase());
}

TEST_F(CloudSync, DiagnosticsTokenAuthorizationAndEntitlementLines)
{
    start();
    cloud.setUserRecordName("_user");
    cloud::Record record("VelmorProfiles", "profiles");
    record.setServerMetadata({}, QDateTime(QDate(2024, 3, 5), QTime(6, 7, 8, 999), Qt::UTC));
    cloud.putRecord(record);
    newLines();
    model->startCloudDiagnostics();
    queue->runUntilIdle();
    QStringList lines = newLines();
    // The settings line comes on the main queue, whenever the desktop answers.
    EXPECT_TRUE(lines.removeOne("Notification settings: status=authorized, alert=2, sound=2, badge=0"));
    EXPECT_EQ(lines, (QStringList{"Cloud Sync Diagnostics: starting.", "Entitlements aps-environment: production",
                                  "Entitlements iCloud containers: [\"iCloud.Velmor\"]",
                                  "Entitlements iCloud services: [\"CloudKit\"]",
                                  "CloudKit account status: available", "CloudKit user record ID: _user",
                                  "CloudKit subscriptions: 2 found.",
                                  "Subscription VelmorProfiles.database.subscription: type=database, "
                                  "contentAvailable=true, alertBody=Velmor updated",
                                  "Subscription VelmorProfiles.query.subscription: type=query, "
                                  "contentAvailable=true, alertBody=Velmor updated",
                                  "CloudKit profiles record updatedAt=nil, modified=2024-03-05 06:07:08 +0000",
                                  "[info] Cloud Sync Diagnostics: CloudKit account status: available; CloudKit user "
                                  "record ID: _user; CloudKit subscriptions: 2 found; CloudKit profiles record "
                                  "updatedAt=nil, modified=2024-03-05 06:07:08 +0000. The whole report is in the "
                                  "Event Log."}));
    ASSERT_TRUE(model->alertMessage().get());
    EXPECT_EQ(model->alertMessage().get()->title, "Cloud Sync Diagnostics") << "shown where the user looks";
    record.setValue("updatedAt", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    cloud.putRecord(record);
    EXPECT_EQ(diagnose().last(),
              "CloudKit profiles record updatedAt=1999-12-31 23:59:59 +0000, modified=2024-03-05 06:07:08 +0000");

    model->didRegisterForRemoteNotifications(QByteArray::fromHex("0aff0001"));
    model->logNotificationAuthorization(false, std::nullopt, {static_cast<Status>(9)});
    model->logNotificationSettings({Status::denied, Setting::disabled, Setting::disabled, Setting::notSupported});
    Entitlements::setCurrent(Entitlements(QJsonObject{{"com.apple.developer.icloud-services", QJsonArray{"CloudKit", 1}}}));
    model->logEntitlements();
    Entitlements::setCurrent(std::nullopt);
    model->logEntitlements();
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), (QStringList{"APNs token registered: 0aff0001",
                                       "Notification auth status: unknown, granted: false",
                                       "Entitlements aps-environment: nil", "Entitlements iCloud containers: nil",
                                       "Entitlements iCloud services: [\"CloudKit\",1]",
                                       "Notification settings: status=denied, alert=1, sound=1, badge=0"}));
}

} // namespace
