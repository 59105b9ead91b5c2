#include "support/AppModelFixture.h"

#include "platform/cloud/Notification.h"
#include "sync/CloudKitProfileSync.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
        const QStringList lines = all.mid(seen);
        seen = all.size();
        return lines;
    }
    // No type: a push that is no cloud notification. An empty id: none.
    static QVariantMap push(std::optional<Type> type, const QString& subscriptionID = {})
    {
        if (!type)
            return {{"aps", QVariantMap{{"alert", "Velmor updated"}}}};
        cloud::Notification notification;
        notification.type = *type;
        if (!subscriptionID.isEmpty())
            notification.subscriptionID = subscriptionID;
        return notification.toRemoteNotificationDictionary();
    }
    void withoutEntitlements()
    {
        Entitlements::setCurrent(Entitlements(QJsonObject{}));
        start();
        ASSERT_EQ(model->cloudSync(), nullptr);
    }

    qsizetype seen = 0;
};

TEST_F(CloudSync, TheModelStartsTheSyncWhichSubscribesAndUploads)
{
    start();
    ASSERT_NE(model->cloudSync(), nullptr);
    EXPECT_TRUE(model->cloudSync()->hasStarted());
    EXPECT_TRUE(newLines().contains("Cloud Sync: CloudKit database subscription created."));
    queue->advance(CloudKitProfileSync::uploadDelay);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), store().makeSyncPayload());

    // An edit goes up a second later; a save that changes nothing does not.
    map("1", addTool(shortcut(1, "a")).id);
    queue->advance(2s);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 2);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), store().makeSyncPayload());
    store().save();
    queue->advance(2s);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 2);
}

TEST_F(CloudSync, PushesAreLoggedAndSyncOnlyForRecordChanges)
{
    start();
    newLines();
    const int fetches = cloud.callCount(Call::fetchRecord);
    model->handleRemoteNotification(push(Type::query));
    model->handleRemoteNotification(push(Type::recordZone, "zone-sub"));
    model->handleRemoteNotification(push(Type::readNotification, "r"));
    model->handleRemoteNotification(push(Type::database, "VelmorProfiles.database.subscription"));
    model->handleRemoteNotification(push(static_cast<Type>(7), "x"));
    model->handleRemoteNotification(push(std::nullopt));
    queue->runUntilIdle();
    EXPECT_EQ(newLines(),
              (QStringList{"CloudKit push received: type=query, subscriptionID=nil",
                           "CloudKit push received: type=zone, subscriptionID=zone-sub",
                           "CloudKit push received: type=read, subscriptionID=r",
                           "CloudKit push received: type=database, subscriptionID=VelmorProfiles.database.subscription",
                           "CloudKit push received: type=unknown, subscriptionID=x",
                           "CloudKit push received: unable to decode notification."}));
    EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, 3);
}

TEST_F(CloudSync, ARegisteredModelTakesAnotherMachinesEditWithoutUploadingItBack)
{
    start();
    queue->advance(2s);
    model->registerForRemoteNotifications();
    queue->runUntilIdle();
    const QStringList registered = newLines().filter("APNs token registered: ");
    ASSERT_EQ(registered.size(), 1);
    EXPECT_EQ(registered[0].size(), QString("APNs token registered: ").size() + 32);

    // Another machine renames the active user profile, with a later date.
    QJsonObject document = QJsonDocument::fromJson(store().makeSyncPayload()).object();
    QJsonArray users = document["userProfiles"].toArray();
    for (qsizetype i = 0; i < users.size(); ++i) {
        QJsonObject user = users[i].toObject();
        user["name"] = "Reading Room " + QString::number(i);
        users[i] = user;
    }
    document["userProfiles"] = users;
    cloud::Record record = cloud.storedRecord("profiles").value();
    record.setValue("payload", QJsonDocument(document).toJson());
    record.setValue("updatedAt", QDateTime::currentDateTimeUtc().addSecs(3600));
    const auto other = cloud.makeClient();
    other->privateCloudDatabase()->saveRecord(record, [](auto, auto) {});
    queue->advance(5s);

    EXPECT_TRUE(activeUser().name.startsWith("Reading Room "));
    EXPECT_EQ(newLines().filter("CloudKit push received: type=").size(), 2);
    ASSERT_EQ(notifier.requests.size(), 1);
    EXPECT_EQ(notifier.requests[0].title, "Velmor profiles updated");
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 2); // the first upload, and the other machine's
}

TEST_F(CloudSync, WithoutTheSyncCommandsWarnAndPushesAreOnlyLogged)
{
    withoutEntitlements();
    for (const auto& command : {&AppModel::syncNow, &AppModel::resetCloudSubscriptions}) {
        (model.get()->*command)();
        const auto alert = model->alertMessage().get();
        ASSERT_TRUE(alert);
        EXPECT_EQ(alert->title, "Cloud Sync Unavailable");
        EXPECT_EQ(alert->message, "CloudKit is not enabled for this build.");
        EXPECT_EQ(alert->severity, AppModel::AlertMessage::Severity::warning);
        EXPECT_EQ(logMessages().last(), "[warning] Cloud Sync Unavailable: CloudKit is not enabled for this build.");
    }
    newLines();
    model->handleRemoteNotification(push(Type::query));
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), QStringList{"CloudKit push received: type=query, subscriptionID=nil"});
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 0);
}

TEST_F(CloudSync, TokenAndAuthorizationLines)
{
    start();
    newLines();
    model->didRegisterForRemoteNotifications(QByteArray::fromHex("0aff0001"));
    model->didRegisterForRemoteNotifications({});
    const NotificationSettings authorized{Status::authorized, Setting::enabled, Setting::enabled, Setting::notSupported};
    model->logNotificationAuthorization(true, std::nullopt, authorized);
    model->logNotificationAuthorization(false, std::nullopt, {Status::provisional});
    model->logNotificationAuthorization(true, QString("The service is gone."), authorized);
    model->logNotificationAuthorization(false, std::nullopt, {static_cast<Status>(9)});
    EXPECT_EQ(newLines(), (QStringList{"APNs token registered: 0aff0001", "APNs token registered: ",
                                       "Notification auth status: authorized, granted: true",
                                       "Notification auth status: provisional, granted: false",
                                       "Notification auth error: The service is gone.",
                                       "Notification auth status: unknown, granted: false"}));

    // The settings line is appended on the main queue.
    model->logNotificationSettings({Status::denied, Setting::disabled, Setting::disabled, Setting::notSupported});
    EXPECT_TRUE(newLines().isEmpty());
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), QStringList{"Notification settings: status=denied, alert=1, sound=1, badge=0"});
}

TEST_F(CloudSync, EntitlementLines)
{
    start();
    newLines();
    model->logEntitlements();
    EXPECT_EQ(newLines(), (QStringList{"Entitlements aps-environment: production",
                                       "Entitlements iCloud containers: [\"iCloud.Velmor\"]",
                                       "Entitlements iCloud services: [\"CloudKit\"]"}));
    Entitlements::setCurrent(Entitlements(QJsonObject{{"com.apple.developer.icloud-services", QJsonArray{"CloudKit", 1}}}));
    model->logEntitlements();
    EXPECT_EQ(newLines(), (QStringList{"Entitlements aps-environment: nil", "Entitlements iCloud containers: nil",
                                       "Entitlements iCloud services: [\"CloudKit\",1]"}));
    Entitlements::setCurrent(std::nullopt);
    model->logEntitlements();
    EXPECT_TRUE(newLines().isEmpty());
}

TEST_F(CloudSync, DiagnosticsReportOnAnAvailableAccount)
{
    start();
    cloud.setUserRecordName("_user");
    cloud::Record record("VelmorProfiles", "profiles");
    record.setValue("payload", QByteArray("{}"));
    record.setServerMetadata({}, QDateTime(QDate(2024, 3, 5), QTime(6, 7, 8, 999), Qt::UTC));
    cloud.putRecord(record);
    cloud.putSubscription(cloud::Subscription::recordZone("Zone"));
    notifier.settings = {Status::denied, Setting::disabled, Setting::disabled, Setting::notSupported};
    newLines();
    model->startCloudDiagnostics();
    queue->runUntilIdle();
    // The settings line comes whenever the desktop answers.
    QStringList lines = newLines();
    EXPECT_TRUE(lines.removeOne("Notification settings: status=denied, alert=1, sound=1, badge=0"));
    EXPECT_EQ(lines,
              (QStringList{"Cloud Sync Diagnostics: starting.", "Entitlements aps-environment: production",
                           "Entitlements iCloud containers: [\"iCloud.Velmor\"]",
                           "Entitlements iCloud services: [\"CloudKit\"]", "CloudKit account status: available", "CloudKit user record ID: _user",
                           "CloudKit subscriptions: 3 found.",
                           "Subscription VelmorProfiles.database.subscription: type=database, contentAvailable=true, "
                           "alertBody=Velmor updated",
                           "Subscription VelmorProfiles.query.subscription: type=query, contentAvailable=true, "
                           "alertBody=Velmor updated",
                           "Subscription Zone: type=zone, contentAvailable=false, alertBody=nil",
                           "CloudKit profiles record updatedAt=nil, modified=2024-03-05 06:07:08 +0000"}));

    record.setValue("updatedAt", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    cloud.putRecord(record);
    model->runCloudDiagnostics();
    queue->runUntilIdle();
    EXPECT_EQ(newLines().last(), "CloudKit profiles record updatedAt=1999-12-31 23:59:59 +0000, modified=2024-03-05 06:07:08 +0000");
}

// Without a sync object too, every step reports what the cloud answered.
TEST_F(CloudSync, DiagnosticsReportOnAnUnavailableAccount)
{
    withoutEntitlements();
    cloud.setAccountStatus(cloud::AccountStatus::noAccount);
    newLines();
    model->runCloudDiagnostics();
    queue->runUntilIdle();
    const QString noAccount = "No cloud account is available.";
    EXPECT_EQ(newLines(), (QStringList{"CloudKit account status: noAccount", "CloudKit user record ID error: " + noAccount,
                                       "CloudKit subscriptions error: " + noAccount,
                                       "CloudKit profiles record error: " + noAccount}));

    cloud.setAccountStatus(cloud::AccountStatus::available);
    cloud.failNext(Call::accountStatus, cloud::Error(cloud::Error::Code::serviceUnavailable));
    cloud.answerNothingNext(Call::fetchUserRecordID);
    model->runCloudDiagnostics();
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), (QStringList{"CloudKit account status error: The cloud database is busy. Try again later.",
                                       "CloudKit user record ID error: An internal error occurred in the cloud database.",
                                       "CloudKit subscriptions: none found.", "CloudKit profiles record: not found."}));
}

TEST_F(CloudSync, SubscriptionResetIsLoggedAndItsFailureAlerts)
{
    start();
    newLines();
    model->resetCloudSubscriptions();
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), QStringList{"Cloud Sync: CloudKit subscriptions reset."});
    EXPECT_FALSE(model->alertMessage().get());

    cloud.failNext(Call::saveSubscription, cloud::Error(cloud::Error::Code::permissionFailure));
    model->resetCloudSubscriptions();
    queue->runUntilIdle();
    EXPECT_EQ(newLines(), QStringList{"[error] Cloud Sync Error: The cloud database could not be written."});
    EXPECT_EQ(cloud.storedSubscriptions().size(), 0);
}

} // namespace
